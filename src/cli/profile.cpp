#include "cli/profile.h"

#include "app/config_lines.h"
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
// syntax.
CliGroup cliGroup(const QString& text)
{
    const auto isCli = [](QStringView group) {
        return !group.isNull() && group.compare(u"CLI", Qt::CaseInsensitive) == 0;
    };
    CliGroup group;
    readConfigLines(
        text,
        [&](const ConfigLine& line) {
            if (isCli(line.group)) {
                group.entries.push_back({line.key.toString().toUpper(), line.value.toString()});
            }
        },
        [&](QStringView name) { group.found = group.found || isCli(name); });
    return group;
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
