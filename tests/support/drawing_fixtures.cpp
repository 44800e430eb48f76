#include "support/drawing_fixtures.h"

#include <QImage>

namespace fixtures {

QString writeMarkPicture(const QString& path)
{
    QImage image(90, 70, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = x < 20 && y < 15 ? 0 : 60 + (x * 3 + y) % 196;
            image.setPixel(x, y, qRgba(x * 255 / 89, y * 255 / 69, (x * y) % 256, alpha));
        }
    }
    return image.save(path, "PNG") ? path : QString();
}

void useFrame(Settings& settings, int left, int right, int top, int bottom)
{
    FrameSettings& frame = settings.frame;
    frame.doFrame = 1;
    frame.solidLeft = left;
    frame.solidRight = right;
    frame.solidTop = top;
    frame.solidBottom = bottom;
    frame.solidLeftColor = "FF0000";
    frame.solidRightColor = "00FF00";
    frame.solidTopColor = "0000FF";
    frame.solidBottomColor = "FFFF00";
}

} // namespace fixtures
