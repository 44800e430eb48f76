#pragma once

#include <QByteArray>
#include <QString>

// Writes `bytes` as the whole content of `path` (the writers' temporary file); false when the file
// cannot be opened or not every byte was written.
bool writeWholeFile(const QString& path, const QByteArray& bytes);
