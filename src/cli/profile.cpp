#include "cli/profile.h"

#include "cli/option_table.h"
#include "cli/option_values.h"
#include "cli/option_warnings.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace {

// A profile is a few lines; anything beyond this is not one and is read only up to here.
constexpr qint64 maximumProfileSize = 64 * 1024 * 1024;

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The configuration file's rule (a byte order mark means UTF-8, anything else is Latin-1), except
// that a file which is valid UTF-8 is read as UTF-8: profiles are written with Linux editors,
// which write UTF-8 without a mark, and reading those as Latin-1 would mangle every non-ASCII
// watermark text or file name.
QString decodeProfile(const QByteArray& bytes)
{
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    if (bytes.startsWith(byteOrderMark)) {
        return QString::fromUtf8(bytes.constData() + byteOrderMark.size(), bytes.size() - byteOrderMark.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(bytes);
}

struct ProfileEntry {
    QString key;   // upper case, trailing blanks removed
    QString value; // leading blanks and tabs removed
};

struct CliGroup {
    bool found = false; // the file has a [CLI] group header
    std::vector<ProfileEntry> entries;
};

// The entries of the first [CLI] group in file order, read with the configuration file's line
// syntax: lines end at CR, LF or CR LF; ";" starts a comment; "[" a group header.
CliGroup cliGroup(const QString& text)
{
    std::vector<ProfileEntry> entries;
    bool inCli = false;
    bool seenCli = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') {
            continue;
        }
        QStringView line = QStringView(text).mid(start, i - start);
        start = i + 1;
        while (!line.isEmpty() && isBlankOrTab(line.front())) {
            line = line.mid(1);
        }
        if (line.isEmpty() || line.front() == u';') {
            continue;
        }
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const bool isCli = line.mid(1, close < 0 ? -1 : close - 1).compare(u"CLI", Qt::CaseInsensitive) == 0;
            // Only the first occurrence of a group is seen, as in the configuration file.
            inCli = isCli && !seenCli;
            seenCli = seenCli || isCli;
            continue;
        }
        if (!inCli) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        QStringView key = equals < 0 ? line : line.left(equals);
        while (!key.isEmpty() && isBlankOrTab(key.back())) {
            key.chop(1);
        }
        QStringView value = equals < 0 ? QStringView() : line.mid(equals + 1);
        while (!value.isEmpty() && isBlankOrTab(value.front())) {
            value = value.mid(1);
        }
        entries.push_back({key.toString().toUpper(), value.toString()});
    }
    return {seenCli, std::move(entries)};
}

QString withoutQuotes(QString value)
{
    while (value.startsWith(u'"')) {
        value.remove(0, 1);
    }
    while (value.endsWith(u'"')) {
        value.chop(1);
    }
    return value;
}

} // namespace

ConsoleError loadProfile(const QString& path, Settings& settings, RunLimits& limits, std::vector<Warning>* warnings)
{
    const auto invalidFile = [&path](const QString& reason) {
        return ConsoleError{QStringLiteral("Invalid profile file"),
                            QStringLiteral("  %1 %2; --profile names a text file with a [CLI] group of options")
                                .arg(QFileInfo(path).absoluteFilePath(), reason)};
    };
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return invalidFile(QStringLiteral("does not exist"));
    }
    if (info.isDir()) {
        return invalidFile(QStringLiteral("is a folder"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return invalidFile(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    }
    const QString text = decodeProfile(file.read(std::min(file.size(), maximumProfileSize)));
    file.close();

    const CliGroup group = cliGroup(text);
    if (!group.found && warnings != nullptr) {
        // Keys written straight away, without the group header, are not read: say so rather than
        // run with none of them.
        warnings->push_back({QStringLiteral("profile %1 holds no [CLI] group").arg(path),
                             QStringLiteral("nothing was read from it (put the options below a line [CLI])")});
    }
    for (const ProfileEntry& entry : group.entries) {
        const OptionSpec* option = findProfileKey(entry.key);
        if (option == nullptr) {
            if (warnings != nullptr) {
                warnings->push_back(unknownProfileKeyWarning(entry.key, path));
            }
            continue;
        }
        if (option->isRunLimit()) {
            if (ConsoleError error = applyRunLimit(*option, stripBlanks(entry.value), limits); !error.isEmpty()) {
                error.detail += QStringLiteral(" (profile %1)").arg(path);
                return error;
            }
            continue;
        }
        QString value = entry.value;
        if (option->longName == QLatin1StringView("--FILENAME-MASK")) {
            value = withoutQuotes(value);
        } else if (option->kind == OptionKind::Text || option->kind == OptionKind::Keyword) {
            value = stripBlanks(value);
        }
        if (warnings != nullptr && option->kind != OptionKind::Switch) {
            const QString subject = QStringLiteral("profile key %1=%2").arg(entry.key, value);
            if (const auto warning = valueWarning(*option, value, subject)) {
                warnings->push_back(*warning);
            }
        }
        applySetting(*option, value, settings);
    }
    return {};
}
