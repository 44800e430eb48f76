#include "engine/write/whole_file.h"

#include <QFile>

bool writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written = target.write(bytes) == bytes.size();
    target.close();
    return written && target.error() == QFileDevice::NoError;
}
