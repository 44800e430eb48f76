// Renders the program's own artwork from its SVG sources (resources/artwork/):
//   make-artwork builtin ARTWORK OUT       the built-in pictures below OUT/builtin/ and their
//                                          resource list OUT/builtin_images.qrc
//   make-artwork pack ARTWORK ZIP NAME     the default theme pack: theme.cfg with display name NAME
//                                          and every icon at every toolbar size
//   make-artwork appicon ARTWORK OUT       the application icon for the desktop's hicolor theme:
//                                          OUT/<N>x<N>/apps/tessaline.png at the usual sizes and
//                                          OUT/scalable/apps/tessaline.svg
// An icon is drawn from icons/<Name>.svg; at 16 px a simplified icons16/<Name>.svg is preferred
// where one exists, and a large picture prefers large/<Name>.svg.
#include "themes/image_sets.h"
#include "themes/zip_archive.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr std::array<int, 5> toolbarPixels{16, 24, 32, 48, 64};
constexpr QSize bannerSize(360, 40);

class Artwork {
  public:
    explicit Artwork(const QString& folder) : folder_(folder) {}

    std::optional<QImage> icon(const QString& name, int pixels) const
    {
        const QString simplified = source("icons16/" + name);
        return render(pixels <= builtInIconPixels && QFileInfo::exists(simplified) ? simplified
                                                                                   : source("icons/" + name),
                      QSize(pixels, pixels));
    }

    std::optional<QImage> large(const QString& name) const
    {
        const QString own = source("large/" + name);
        const int pixels = builtInLargePixels(name);
        return render(QFileInfo::exists(own) ? own : source("icons/" + name), QSize(pixels, pixels));
    }

    std::optional<QImage> banner() const { return render(source("about_banner"), bannerSize); }

    std::optional<QImage> applicationIcon(int pixels) const
    {
        return render(applicationIconSource(), QSize(pixels, pixels));
    }
    QString applicationIconSource() const { return source("app_icon"); }

  private:
    QString source(const QString& stem) const { return QDir(folder_).filePath(stem + ".svg"); }

    static std::optional<QImage> render(const QString& path, QSize size)
    {
        QSvgRenderer renderer(path);
        if (!renderer.isValid()) {
            std::fprintf(stderr, "make-artwork: cannot read %s\n", qPrintable(path));
            return std::nullopt;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), size));
        painter.end();
        return image.convertToFormat(QImage::Format_ARGB32);
    }

    QString folder_;
};

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Name -> file name in the pack's theme.cfg: icons by the size-suffix rule, large pictures by
// their full name (their size is their own, whatever the icon size).
QString iconStem(const QString& name)
{
    return name.toLower();
}

QString largeFileName(const QString& name)
{
    return name.toLower() + "_large.png";
}

QString pngFileName(const QString& stem, int pixels)
{
    return stem + '_' + QString::number(pixels) + ".png";
}

bool writeBuiltIn(const Artwork& artwork, const QString& outFolder)
{
    struct Picture {
        QString resource;
        std::optional<QImage> image;
    };
    std::vector<Picture> pictures;
    for (const QString& name : imageNames(ImageSet::Large)) {
        pictures.push_back({"builtin/large/" + name + ".png", artwork.large(name)});
    }
    for (const QString& name : imageNames(ImageSet::Icons)) {
        pictures.push_back({"builtin/icons/" + name + ".png", artwork.icon(name, builtInIconPixels)});
    }
    pictures.push_back({"builtin/about_banner.png", artwork.banner()});

    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const Picture& picture : pictures) {
        if (!picture.image || !writeFile(QDir(outFolder).filePath(picture.resource), pngBytes(*picture.image))) {
            return false;
        }
        qrc += "  <file>" + picture.resource.toUtf8() + "</file>\n";
    }
    qrc += "</qresource>\n</RCC>\n";
    return writeFile(QDir(outFolder).filePath("builtin_images.qrc"), qrc);
}

QByteArray themeConfig(const QString& displayName)
{
    QByteArray text = "[Theme]\r\nName=" + displayName.toUtf8() + "\r\n\r\n[Buttons]\r\n";
    for (const QString& name : imageNames(ImageSet::Large)) {
        text += name.toUtf8() + '=' + largeFileName(name).toUtf8() + "\r\n";
    }
    text += "\r\n[Icons]\r\n";
    for (const QString& name : imageNames(ImageSet::Icons)) {
        text += name.toUtf8() + '=' + iconStem(name).toUtf8() + "\r\n";
    }
    return text;
}

bool writePack(const Artwork& artwork, const QString& zipPath, const QString& displayName)
{
    std::vector<ZipEntry> entries{{"theme.cfg", themeConfig(displayName)}};
    for (const QString& name : imageNames(ImageSet::Large)) {
        const std::optional<QImage> image = artwork.large(name);
        if (!image) {
            return false;
        }
        entries.push_back({largeFileName(name), pngBytes(*image)});
    }
    for (const QString& name : imageNames(ImageSet::Icons)) {
        for (int pixels : toolbarPixels) {
            const std::optional<QImage> image = artwork.icon(name, pixels);
            if (!image) {
                return false;
            }
            entries.push_back({pngFileName(iconStem(name), pixels), pngBytes(*image)});
        }
    }
    QDir().mkpath(QFileInfo(zipPath).path());
    if (const std::optional<QString> error = writeZipArchive(zipPath, entries)) {
        std::fprintf(stderr, "make-artwork: %s\n", qPrintable(*error));
        return false;
    }
    return true;
}

bool writeApplicationIcons(const Artwork& artwork, const QString& outFolder)
{
    constexpr std::array<int, 7> iconPixels{16, 24, 32, 48, 64, 128, 256};
    for (int pixels : iconPixels) {
        const std::optional<QImage> image = artwork.applicationIcon(pixels);
        const QString size = QString::number(pixels) + 'x' + QString::number(pixels);
        if (!image || !writeFile(QDir(outFolder).filePath(size + "/apps/tessaline.png"), pngBytes(*image))) {
            return false;
        }
    }
    QFile svg(artwork.applicationIconSource());
    return svg.open(QIODevice::ReadOnly) &&
           writeFile(QDir(outFolder).filePath("scalable/apps/tessaline.svg"), svg.readAll());
}

int usage()
{
    std::fprintf(stderr, "usage: make-artwork builtin ARTWORK OUT\n"
                         "       make-artwork pack ARTWORK ZIP NAME\n"
                         "       make-artwork appicon ARTWORK OUT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // The drawings hold no text, so rendering needs neither fonts nor an application object.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (arguments.size() == 3 && arguments[0] == "builtin") {
        return writeBuiltIn(Artwork(arguments[1]), arguments[2]) ? 0 : 1;
    }
    if (arguments.size() == 4 && arguments[0] == "pack") {
        return writePack(Artwork(arguments[1]), arguments[2], arguments[3]) ? 0 : 1;
    }
    if (arguments.size() == 3 && arguments[0] == "appicon") {
        return writeApplicationIcons(Artwork(arguments[1]), arguments[2]) ? 0 : 1;
    }
    return usage();
}
