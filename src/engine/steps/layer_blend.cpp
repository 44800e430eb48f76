#include "engine/steps/layer_blend.h"

#include <cstdint>

bool compositeLayerAt(Bitmap& target, const Bitmap& layer, int x, int y)
{
    const std::int64_t w = layer.width();
    const std::int64_t h = layer.height();
    if (!target || !layer || x < 0 || y < 0 || x + w > std::int64_t{target.width()} ||
        y + h > std::int64_t{target.height()}) {
        return false;
    }
    const int right = x + static_cast<int>(w);
    const int bottom = y + static_cast<int>(h);
    const Bitmap under(FreeImage_Copy(target.get(), x, y, right, bottom));
    if (!under) {
        return false;
    }
    const Bitmap blended(FreeImage_Composite(layer.get(), FALSE, nullptr, under.get()));
    // An alpha above 255 makes FreeImage copy the pixels; 255 itself would blend and lose a level.
    return blended && FreeImage_Paste(target.get(), blended.get(), x, y, 256) != FALSE;
}
