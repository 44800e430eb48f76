#include "engine/steps/draw/picture.h"

#include <QImageReader>

namespace draw {

std::optional<Picture> loadPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    if (format != "png" && format != "bmp" && format != "jpeg" && format != "jpg") {
        return std::nullopt;
    }
    // Pictures are drawn as they are stored; an EXIF orientation would move them off their anchor.
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    Picture picture;
    if (image.hasAlphaChannel()) {
        picture.depth = 32;
    } else if (image.depth() == 1) {
        picture.depth = 1;
    } else if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16) {
        picture.depth = 8;
    } else {
        picture.depth = 24;
    }
    picture.canvas = Canvas::fromImage(image);
    if (picture.canvas.isNull()) {
        return std::nullopt;
    }
    return picture;
}

} // namespace draw
