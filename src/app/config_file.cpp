#include "app/config_file.h"

#include "app/config_lines.h"
#include "app/settings_table.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <vector>

namespace {

// A configuration file is a few kilobytes; anything beyond this is not one and is read only up
// to here, so a runaway file cannot exhaust memory.
constexpr qint64 maximumFileSize = 64 * 1024 * 1024;

const QByteArray byteOrderMark("\xEF\xBB\xBF");

// The entries of a parsed file. A group seen twice keeps only its first occurrence, a key seen
// twice in a group its first value; entries before the first header belong to no group.
class IniEntries {
  public:
    explicit IniEntries(const QString& text)
    {
        readConfigLines(text, [this](const ConfigLine& line) {
            if (line.group.isNull()) {
                return;
            }
            const QString group = asciiFolded(line.group.toString());
            auto groupAt = groupIndex_.constFind(group);
            if (groupAt == groupIndex_.constEnd()) {
                groupAt = groupIndex_.insert(group, static_cast<int>(groups_.size()));
                groups_.emplace_back();
            }
            QHash<QString, QString>& entries = groups_[static_cast<std::size_t>(*groupAt)];
            const QString key = asciiFolded(line.key.toString());
            if (!entries.contains(key)) {
                entries.insert(key, line.value.toString());
            }
        });
    }

    const QString* find(const char* group, const char* key) const
    {
        const auto groupAt = groupIndex_.constFind(asciiFolded(QString::fromLatin1(group)));
        if (groupAt == groupIndex_.constEnd()) {
            return nullptr;
        }
        const QHash<QString, QString>& entries = groups_[static_cast<std::size_t>(*groupAt)];
        const auto entryAt = entries.constFind(asciiFolded(QString::fromLatin1(key)));
        return entryAt == entries.constEnd() ? nullptr : &*entryAt;
    }

  private:
    QHash<QString, int> groupIndex_; // folded group name -> index into groups_
    std::vector<QHash<QString, QString>> groups_;
};

QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith(byteOrderMark)) {
        return QString::fromUtf8(bytes.constData() + byteOrderMark.size(), bytes.size() - byteOrderMark.size());
    }
    return QString::fromLatin1(bytes);
}

// Layouts before 11 had no "%ext%" in the mask; before 14 the raw load choices were two fewer.
void upgradeLayout(Settings& settings)
{
    if (settings.general.cfg < 11 && !settings.advanced.filenameMask.contains(QLatin1String("%ext%"))) {
        settings.advanced.filenameMask += QLatin1String(".%ext%");
    }
    if (settings.general.cfg < 14 && settings.input.rawLoadAs != 0) {
        settings.input.rawLoadAs += 2;
    }
}

void translateCsvDelimiter(Settings& settings)
{
    QString& delimiter = settings.file.csvDelimiter;
    const QString word = asciiFolded(delimiter);
    if (word == QLatin1String("tab")) {
        delimiter = QStringLiteral("\t");
    } else if (word == QLatin1String("space")) {
        delimiter = QStringLiteral(" ");
    } else if (word == QLatin1String("crlf")) {
        delimiter = QStringLiteral("\r\n");
    }
}

// mkpath, not mkdir: a fresh account may have no configuration folder yet, and the file could
// then never be saved.
void makeFolderUnlessPresent(const QString& folder)
{
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
    }
}

} // namespace

QString configurationPath()
{
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).trimmed();
    // Without a configuration folder the path starts from the root.
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    path += QLatin1String("Morvane/");
    makeFolderUnlessPresent(path);
    path += QLatin1String("tessaline/");
    makeFolderUnlessPresent(path);
    return path + QLatin1String("config.ini");
}

void readConfiguration(Settings& settings, const QByteArray& bytes)
{
    const IniEntries entries(decode(bytes));
    for (const SettingDescriptor& setting : settingsTable()) {
        if (const QString* value = entries.find(setting.group, setting.key)) {
            setSettingFromText(settings, setting, *value);
            continue;
        }
        switch (setting.missing) {
        case MissingRule::Zero:
            setSettingFromText(settings, setting, QStringLiteral("0"));
            break;
        case MissingRule::Hundred:
            setSettingFromText(settings, setting, QStringLiteral("100"));
            break;
        case MissingRule::AsReset:
            resetSetting(settings, setting, false, QSize());
            break;
        }
    }
    upgradeLayout(settings);
    translateCsvDelimiter(settings);
}

void loadConfiguration(Settings& settings, const QString& path, QSize desktop)
{
    // Only a regular file is a configuration file: a folder, a pipe or a device reads as missing.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        resetToDefaults(settings, false, desktop);
        translateCsvDelimiter(settings);
        return;
    }
    readConfiguration(settings, file.read(std::min(file.size(), maximumFileSize)));
}

QByteArray serialiseConfiguration(const Settings& settings)
{
    QString text;
    const char* group = nullptr;
    auto closeGroup = [&] {
        if (group != nullptr) {
            text += QLatin1String("; \r\n");
        }
    };
    for (const SettingDescriptor& setting : settingsTable()) {
        if (group == nullptr || qstrcmp(group, setting.group) != 0) {
            closeGroup();
            group = setting.group;
            text += u'[' + QLatin1String(group) + QLatin1String("]\r\n");
        }
        QString value;
        switch (setting.write) {
        case WriteRule::Never:
            continue;
        case WriteRule::WithWindowPosition:
            if (settings.general.saveWindowPosition == 0) {
                continue;
            }
            value = settingToText(settings, setting);
            break;
        case WriteRule::LayoutVersion:
            value = QString::number(currentConfigurationLayout);
            break;
        case WriteRule::Always:
            value = settingToText(settings, setting);
            break;
        }
        text += QLatin1String(setting.key) + QLatin1String(" = ") + value + QLatin1String("\r\n");
    }
    closeGroup();
    return byteOrderMark + "\r\n" + text.toUtf8();
}

bool saveConfiguration(const Settings& settings, const QString& path)
{
    QSaveFile file(path);
    // Unbuffered, and the size checked before the rename: a buffered write that the file
    // system cuts short (a full disk, a size limit) is otherwise not reported, and the
    // truncated file would replace the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray bytes = serialiseConfiguration(settings);
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
