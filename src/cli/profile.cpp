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

// The entries of the first [CLI] group in file order, read with the configuration file's line
// syntax.
std::vector<ProfileEntry> cliEntries(const QString& text)
{
    std::vector<ProfileEntry> entries;
    readConfigLines(text, [&entries](const ConfigLine& line) {
        if (!line.group.isNull() && line.group.compare(u"CLI", Qt::CaseInsensitive) == 0) {
            entries.push_back({line.key.toString().toUpper(), line.value.toString()});
        }
    });
    return entries;
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

QString loadProfile(const QString& path, Settings& settings, RunLimits& limits, QStringList* warnings)
{
    const QString invalidFile = QStringLiteral("Invalid profile file");
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        return invalidFile;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return invalidFile;
    }
    const QString text = decodeProfile(file.read(std::min(file.size(), maximumProfileSize)));
    file.close();

    for (const ProfileEntry& entry : cliEntries(text)) {
        const OptionSpec* option = findProfileKey(entry.key);
        if (option == nullptr) {
            if (warnings != nullptr) {
                *warnings << unknownProfileKeyWarning(entry.key, path);
            }
            continue;
        }
        if (option->isRunLimit()) {
            if (QString error = applyRunLimit(*option, stripBlanks(entry.value), limits); !error.isEmpty()) {
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
                *warnings << *warning;
            }
        }
        applySetting(*option, value, settings);
    }
    return QString();
}
