#include "engine/steps/band_drawing.h"

#include "engine/steps/frame.h"

BandDrawing::BandDrawing(int width, int height, const RunContext& context)
    : settings_(context.settings), width_(width), height_(height)
{
    if (settings_.watermark.doWatermark != 0) {
        watermark_ = placeWatermark(width, height, settings_, context.watermark, watermarkText(context));
    }
}

Bitmap BandDrawing::draw(Bitmap band)
{
    if (!band) {
        return band;
    }
    const int firstRow = nextRow_;
    nextRow_ += static_cast<int>(band.height());
    band = drawFrameRows(std::move(band), firstRow, width_, height_, settings_);
    if (settings_.watermark.doWatermark == 0 || !band) {
        return band;
    }
    band = toWatermarkable(std::move(band));
    if (band && watermark_) {
        blendWatermarkRows(band, firstRow, width_, *watermark_);
    }
    return band;
}

std::uint64_t bandDrawingMemory(int width, int height, const Settings& settings, std::uint64_t rows)
{
    return frameRowsMemory(width, height, settings, rows) + watermarkMemoryEstimate(width, height, settings, rows);
}
