#include "support/converted_page.h"

#include "support/pixel_probe.h"

#include <QFile>

#include <cstdlib>

namespace e2e {

Bitmap loadImage(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.constData(), 0);
    if (format == FIF_UNKNOWN) {
        return {};
    }
    return Bitmap(FreeImage_Load(format, name.constData(), 0));
}

QString writePage(const Sandbox& box, const QString& name, const Bitmap& page)
{
    const QString path = box.makeFolder(QStringLiteral("in")) + u'/' + name + QStringLiteral(".tif");
    if (!QFile::exists(path)) {
        Bitmap copy(FreeImage_Clone(page.get()));
        std::vector<Bitmap> pages;
        pages.push_back(std::move(copy));
        fixtures::writeTiff(path, pages);
    }
    return path;
}

ConvertedPage convertPage(const Sandbox& box, const QString& name, const QString& tag, const QStringList& options)
{
    const QString folder = QStringLiteral("out/") + tag;
    box.makeFolder(folder);
    ConvertedPage result;
    result.run = box.run(QStringList{"-q", "-i", "in/" + name + ".tif", "-o", folder, "-c", "png"} + options);
    result.written = box.filesBelow(folder);
    result.image = loadImage(box.path(folder + u'/' + name + QStringLiteral(".png")));
    return result;
}

std::vector<fixtures::Rgb> pixelsOf(const Bitmap& image)
{
    std::vector<fixtures::Rgb> pixels;
    if (image.empty()) {
        return pixels;
    }
    const auto width = static_cast<int>(image.width());
    const auto height = static_cast<int>(image.height());
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(fixtures::colourAt(image, x, y));
        }
    }
    return pixels;
}

std::string describe(const fixtures::Rgb& colour)
{
    return "(" + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," + std::to_string(colour.blue) +
           ")";
}

bool near(const fixtures::Rgb& a, const fixtures::Rgb& b, int tolerance)
{
    const auto close = [tolerance](unsigned x, unsigned y) {
        return std::abs(static_cast<int>(x) - static_cast<int>(y)) <= tolerance;
    };
    return close(a.red, b.red) && close(a.green, b.green) && close(a.blue, b.blue);
}

} // namespace e2e
