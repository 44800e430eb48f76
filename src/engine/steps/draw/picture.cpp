#include "engine/steps/draw/picture.h"

#include "engine/formats/format_catalogue.h"

#include <QImageReader>

namespace draw {

std::optional<Picture> loadPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!isWatermarkPictureFormat(QString::fromLatin1(reader.format().toLower()))) {
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
