#include "app/config_lines.h"

#include <QSet>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView withoutLeadingBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.mid(1);
    }
    return text;
}

} // namespace

QString asciiFolded(QString text)
{
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = QChar(c.unicode() + (u'a' - u'A'));
        }
    }
    return text;
}

void readConfigLines(QStringView text, const std::function<void(const ConfigLine&)>& line,
                     const std::function<void(QStringView group)>& groupBegins)
{
    QSet<QString> seenGroups; // folded names
    QStringView group;
    bool skipping = false; // inside a repeated group
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') {
            continue;
        }
        // Blank lines are skipped, so CR LF, LF and CR all end a line the same way.
        const QStringView content = withoutLeadingBlanks(text.mid(start, i - start));
        start = i + 1;
        if (content.isEmpty() || content.front() == u';') {
            continue;
        }
        if (content.front() == u'[') {
            const qsizetype close = content.indexOf(u']');
            group = content.mid(1, close < 0 ? -1 : close - 1);
            const QString folded = asciiFolded(group.toString());
            skipping = seenGroups.contains(folded);
            seenGroups.insert(folded);
            if (!skipping && groupBegins) {
                groupBegins(group);
            }
            continue;
        }
        if (skipping) {
            continue;
        }
        const qsizetype equals = content.indexOf(u'=');
        QStringView key = equals < 0 ? content : content.left(equals);
        while (!key.isEmpty() && isBlank(key.back())) {
            key.chop(1);
        }
        const QStringView value = equals < 0 ? QStringView() : withoutLeadingBlanks(content.mid(equals + 1));
        line({group, key, value});
    }
}
