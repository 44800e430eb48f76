#include "themes/theme_pack.h"

#include "themes/zip_archive.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

namespace {

const QString themeConfigEntry = QStringLiteral("theme.cfg");
constexpr qint64 displayNameBytes = 255;
constexpr int largeAndIconPixels = 16;

// The ZIP files of gfx/, sorted like pack names. The ".zip" pattern ignores letter case, as the
// packs' users expect from the systems they were made on.
QFileInfoList packFiles(const QString& gfxFolder)
{
    QFileInfoList files = QDir(gfxFolder).entryInfoList({QStringLiteral("*.zip")}, QDir::Files, QDir::NoSort);
    std::sort(files.begin(), files.end(), [](const QFileInfo& left, const QFileInfo& right) {
        return PackNameLess()(left.fileName(), right.fileName());
    });
    return files;
}

QString packNameOf(const QFileInfo& file)
{
    return file.fileName().chopped(4); // without ".zip" in whatever letter case
}

// The file of a pack: gfx/<pack>.zip, or else the last of <pack>.ZIP, <pack>.Zip, ... (the
// same one whose display name discovery keeps). Empty when there is none.
QString packPath(const QString& gfxFolder, const QString& packName)
{
    const QString exact = QDir(gfxFolder).filePath(packName + ".zip");
    if (QFileInfo(exact).isFile()) {
        return exact;
    }
    QString found;
    for (const QFileInfo& file : packFiles(gfxFolder)) {
        if (packNameOf(file) == packName) {
            found = file.filePath();
        }
    }
    return found;
}

// theme.cfg is 8-bit text: UTF-8 when it is valid UTF-8 (an incomplete sequence cut off at the
// end of a partial read does not count), Latin-1 otherwise. Text ends at a zero byte.
QString themeConfigText(const QByteArray& bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    const QByteArray text = zero < 0 ? bytes : bytes.left(zero);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(text);
    return utf8.hasError() ? QString::fromLatin1(text) : decoded;
}

void trimBoth(QString& text, QChar character)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == character) {
        ++first;
    }
    while (last > first && text[last - 1] == character) {
        --last;
    }
    text = text.mid(first, last - first);
}

} // namespace

bool PackNameLess::operator()(const QString& left, const QString& right) const
{
    const int folded = QString::compare(left, right, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : left < right;
}

namespace {

QString displayNameOfPack(const QString& path, const QString& packName)
{
    const std::optional<ZipArchive> pack = ZipArchive::open(path);
    if (!pack || !pack->index().contains(themeConfigEntry)) {
        return packName;
    }
    const QString config = themeConfigText(pack->read(themeConfigEntry, displayNameBytes));
    return iniValue(config, QStringLiteral("Theme"), QStringLiteral("Name"));
}

} // namespace

QString themeDisplayName(const QString& gfxFolder, const QString& packName)
{
    return displayNameOfPack(packPath(gfxFolder, packName), packName);
}

ThemeTable discoverThemes(const QString& gfxFolder)
{
    ThemeTable themes;
    // Later files replace earlier ones with the same pack name (x.ZIP, then x.zip).
    for (const QFileInfo& file : packFiles(gfxFolder)) {
        themes[packNameOf(file)] = displayNameOfPack(file.filePath(), packNameOf(file));
    }
    return themes;
}

QString iniValue(const QString& text, const QString& section, const QString& key)
{
    static const QString lineBreak = QStringLiteral("\r\n");
    const QString header = '[' + section + ']';
    const qsizetype headerStart = text.indexOf(header, 0, Qt::CaseInsensitive);
    if (headerStart < 0) {
        return {};
    }
    // The section ends at the next "[" anywhere, even one inside a value.
    qsizetype sectionEnd = text.indexOf('[', headerStart + 1);
    if (sectionEnd < 0) {
        sectionEnd = text.size();
    }
    // Only the first key line after the header counts; a match in a later section means none.
    const qsizetype keyLine = text.indexOf(lineBreak + key, headerStart, Qt::CaseInsensitive);
    if (keyLine < headerStart + header.size() || keyLine >= sectionEnd) {
        return {};
    }
    const qsizetype lineEnd = text.indexOf(lineBreak, keyLine + lineBreak.size());
    if (lineEnd < 0) {
        return {};
    }
    const QString line = text.mid(keyLine, lineEnd - keyLine);
    const qsizetype firstEquals = line.indexOf('=');
    if (firstEquals < 0) {
        return {};
    }
    const qsizetype secondEquals = line.indexOf('=', firstEquals + 1);
    QString value = line.mid(firstEquals + 1, secondEquals < 0 ? -1 : secondEquals - firstEquals - 1);
    // One character kind after the other, so blanks inside tabs stay: "\t x \t" gives " x ".
    for (QChar character : {QChar(' '), QChar('\t'), QChar('\r'), QChar('\n')}) {
        trimBoth(value, character);
    }
    return value;
}

QString pictureFileName(const QString& value, int pixels)
{
    if (value.toLower().contains(QStringLiteral(".png"))) {
        return value;
    }
    return value + '_' + QString::number(pixels) + QStringLiteral(".png");
}

namespace {

struct SetRequest {
    ImageSet set;
    QString section;
    int pixels;
};

std::vector<SetRequest> requestedSets(ThemeImageChoice which, int toolbarPixels)
{
    std::vector<SetRequest> requests;
    if (which.large) {
        requests.push_back({ImageSet::Large, QStringLiteral("Buttons"), largeAndIconPixels});
    }
    if (which.icons) {
        requests.push_back({ImageSet::Icons, QStringLiteral("Icons"), largeAndIconPixels});
    }
    if (which.toolbar) {
        requests.push_back({ImageSet::Toolbar, QStringLiteral("Icons"), toolbarPixels});
    }
    return requests;
}

// The pack to load; a missing configured pack is replaced by the last installed one.
QString chosenPackPath(Settings& settings, const ThemeTable& themes, const QString& gfxFolder)
{
    QString path = packPath(gfxFolder, settings.interface.uiTheme);
    if (path.isEmpty() && !themes.empty()) {
        settings.interface.uiTheme = themes.rbegin()->first;
        path = packPath(gfxFolder, settings.interface.uiTheme);
    }
    return path;
}

} // namespace

namespace {

// Which pack file becomes which picture: the files of the chosen sets that the pack holds.
struct Assignment {
    ImageSet set;
    QString name;
    QString file;
};

std::vector<Assignment> plannedPictures(const QString& config, const QHash<QString, qint64>& index,
                                        ThemeImageChoice which, int toolbarPixels)
{
    std::vector<Assignment> assignments;
    for (const SetRequest& request : requestedSets(which, toolbarPixels)) {
        for (const QString& name : imageNames(request.set)) {
            const QString file = pictureFileName(iniValue(config, request.section, name), request.pixels);
            if (index.contains(file)) {
                assignments.push_back({request.set, name, file});
            }
        }
    }
    return assignments;
}

} // namespace

void loadThemeImages(ImageSets& images, Settings& settings, const ThemeTable& themes, const QString& gfxFolder,
                     ThemeImageChoice which)
{
    const std::optional<ZipArchive> pack = ZipArchive::open(chosenPackPath(settings, themes, gfxFolder));
    if (!pack || !pack->index().contains(themeConfigEntry)) {
        return;
    }
    const QString config = themeConfigText(pack->read(themeConfigEntry));
    const std::vector<Assignment> assignments =
        plannedPictures(config, pack->index(), which, iconPixels(settings.interface.uiSize));

    QSet<QString> files;
    for (const Assignment& assignment : assignments) {
        files.insert(assignment.file);
    }
    const QHash<QString, QByteArray> pictures = pack->read(files);
    for (const Assignment& assignment : assignments) {
        // A picture that does not decode keeps the name's present picture rather than none.
        const QImage picture = QImage::fromData(pictures.value(assignment.file));
        if (!picture.isNull()) {
            images.setImage(assignment.set, assignment.name, picture);
        }
    }
}
