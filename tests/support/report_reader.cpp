#include "support/report_reader.h"

#include <QFile>
#include <QJsonDocument>

namespace reports {

QList<QStringList> parseCsv(const QByteArray& text, bool& ok)
{
    ok = true;
    QList<QStringList> rows;
    QStringList row;
    QByteArray field;
    bool quoted = false;
    bool afterQuote = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                afterQuote = true;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"' && field.isEmpty() && !afterQuote) {
            quoted = true;
        } else if (c == ',') {
            row << QString::fromUtf8(field);
            field.clear();
            afterQuote = false;
        } else if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            row << QString::fromUtf8(field);
            rows << row;
            row.clear();
            field.clear();
            afterQuote = false;
            ++i;
        } else if (afterQuote) {
            ok = false;
            return rows;
        } else {
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || !row.isEmpty()) {
        ok = false; // the last row must end with CR LF
    }
    return rows;
}

QList<QJsonObject> parseJsonLines(const QByteArray& text, bool& ok)
{
    ok = text.isEmpty() || text.endsWith('\n');
    QList<QJsonObject> objects;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            ok = false;
            continue;
        }
        objects << document.object();
    }
    return objects;
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace reports
