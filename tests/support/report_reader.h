#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// Reads the reports of a run back, as a program consuming them would.
namespace reports {

// The rows of an RFC 4180 CSV text (quoted fields may hold commas, quotes and line breaks; rows
// end with CR LF). ok is false on a malformed text (an unclosed quote, text after a closing quote).
QList<QStringList> parseCsv(const QByteArray& text, bool& ok);

// One object per line; ok is false when a line is not a JSON object.
QList<QJsonObject> parseJsonLines(const QByteArray& text, bool& ok);

// The whole content of a file (empty when it cannot be read).
QByteArray fileContent(const QString& path);

} // namespace reports
