#include "engine/run/turned_bands.h"

#include "engine/core/page_header.h"
#include "engine/decode/column_scratch.h"
#include "engine/decode/tiff_band_source.h"
#include "engine/decode/tiff_page_header.h"
#include "engine/steps/transform.h"

#include <algorithm>
#include <utility>

namespace {

int quarterTurnDepth(int bpp)
{
    return bpp == 32 ? 32 : 24; // the rotate step turns every other standard page at 24 bits
}

// Columns of the page in one band of a quarter turn: whole units (a tile's width, or 8 columns of
// the scratch file), about `bandBytes` of source pixels, at least one unit.
std::uint32_t columnsPerBand(std::uint32_t width, std::uint32_t height, int bpp, std::uint32_t unit,
                             std::uint64_t bandBytes)
{
    const std::uint64_t columnBits = std::uint64_t{height} * static_cast<unsigned>(std::max(bpp, 1));
    const std::uint64_t units = std::max<std::uint64_t>(1, bandBytes * 8 / columnBits / unit);
    const std::uint64_t widthInUnits = (std::uint64_t{width} + unit - 1) / unit;
    return static_cast<std::uint32_t>(std::min(units, widthInUnits) * unit);
}

class TurnedBands final : public BandReader {
  public:
    TurnedBands(std::unique_ptr<TiffBandSource> page, int turn, std::uint64_t bandBytes)
        : page_(std::move(page)), turn_(turn)
    {
        const Bitmap& stored = page_->layout();
        const bool quarter = turn_ != 180;
        width_ = quarter ? page_->height() : page_->width();
        height_ = quarter ? page_->width() : page_->height();
        if (quarter) {
            const std::uint32_t unit = page_->tileWidth() != 0 ? page_->tileWidth() : 8;
            columns_ = columnsPerBand(page_->width(), page_->height(), static_cast<int>(stored.bpp()), unit, bandBytes);
        }
        const int depth = quarterTurnDepth(static_cast<int>(stored.bpp()));
        layout_ = depth == 32 ? allocatePageHeader(static_cast<int>(width_), static_cast<int>(height_), depth,
                                                   FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK)
                              : allocatePageHeader(static_cast<int>(width_), static_cast<int>(height_), depth);
        if (layout_) {
            // What the rotate step's page keeps: the metadata models and the resolution (FreeImage_Rotate
            // clones them), not the thumbnail. The profile goes along for the page's metadata, which
            // puts it on the written page where it still describes the colours.
            FreeImage_CloneMetadata(layout_.get(), stored.get());
            const FIICCPROFILE* profile = FreeImage_GetICCProfile(stored.get());
            if (profile->data != nullptr && profile->size > 0) {
                FreeImage_CreateICCProfile(layout_.get(), profile->data, profile->size);
            }
        }
    }

    // False when the turned page's header could not be had, or the scratch file not written.
    bool prepare(const std::function<bool()>& goOn)
    {
        if (!layout_) {
            return false;
        }
        if (turn_ == 180 || page_->tileWidth() != 0) {
            return true;
        }
        ColumnScratch::Fill fill = ColumnScratch::Fill::Unwritable;
        scratch_ = ColumnScratch::copy(*page_, columns_, goOn, fill);
        unreadable_ = fill == ColumnScratch::Fill::Damaged || fill == ColumnScratch::Fill::Stopped;
        return scratch_ != nullptr || unreadable_;
    }

    const Bitmap& layout() const override { return layout_; }
    std::uint32_t width() const override { return width_; }
    std::uint32_t height() const override { return height_; }

    int bandCount() const override
    {
        if (turn_ == 180) {
            return page_->bandCount();
        }
        return static_cast<int>((page_->width() + columns_ - 1) / columns_);
    }

    Bitmap readBand(int band) override
    {
        if (unreadable_ || band < 0 || band >= bandCount()) {
            return {};
        }
        // The top band of a turn by 90 degrees (counter-clockwise) is the rightmost columns; by 180
        // the bottom rows; by 270 the leftmost columns.
        const int from = turn_ == 270 ? band : bandCount() - 1 - band;
        Bitmap piece;
        if (turn_ == 180) {
            piece = page_->readBand(from);
        } else if (scratch_) {
            piece = scratch_->readSlab(from);
        } else {
            const std::uint32_t left = static_cast<std::uint32_t>(from) * columns_;
            piece = page_->readColumns(left, std::min(columns_, page_->width() - left));
        }
        return turned(std::move(piece));
    }

  private:
    // The rotate step's own conversion and turn (transform.h), on a part of the page.
    Bitmap turned(Bitmap piece) const
    {
        if (!piece) {
            return piece;
        }
        if (piece.bpp() != 24 && piece.bpp() != 32) {
            piece = Bitmap(FreeImage_ConvertTo24Bits(piece.get()));
        }
        Bitmap band = piece ? Bitmap(FreeImage_Rotate(piece.get(), turn_, nullptr)) : Bitmap();
        if (band) {
            FreeImage_SetDotsPerMeterX(band.get(), FreeImage_GetDotsPerMeterX(layout_.get()));
            FreeImage_SetDotsPerMeterY(band.get(), FreeImage_GetDotsPerMeterY(layout_.get()));
        }
        return band;
    }

    std::unique_ptr<TiffBandSource> page_;
    int turn_;
    Bitmap layout_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t columns_ = 0; // source columns to a band of a quarter turn
    std::unique_ptr<ColumnScratch> scratch_;
    bool unreadable_ = false; // damaged, or its copy stopped
};

} // namespace

int bandTurn(const TransformSettings& transform)
{
    if (transform.doImageRotation == 0 || transform.imageRotationType != 0) {
        return 0;
    }
    const int angle = transform.imageRotation;
    return angle == 90 || angle == 180 || angle == 270 ? angle : 0;
}

std::unique_ptr<BandReader> turnedBands(std::unique_ptr<TiffBandSource> page, int turn, std::uint64_t bandBytes,
                                        const std::function<bool()>& goOn)
{
    if (!page || turn == 0) {
        return page;
    }
    auto turned = std::make_unique<TurnedBands>(std::move(page), turn, bandBytes);
    return turned->prepare(goOn) ? std::move(turned) : nullptr;
}

TurnedBandsMemory turnedBandsMemory(const TiffPageHeader& header, int turn, std::uint64_t bandBytes)
{
    if (turn == 0) {
        return {};
    }
    const int bpp = header.bitsPerPixel;
    const std::uint64_t turnedPixel = static_cast<unsigned>(quarterTurnDepth(bpp)) / 8;
    const auto pitch = [bpp](std::uint64_t pixels) { return (pixels * static_cast<unsigned>(bpp) + 31) / 32 * 4; };
    if (turn == 180) {
        // The band as read, at 24 or 32 bits, and turned.
        const std::uint64_t rows =
            std::max<std::uint64_t>(1, std::min<std::uint64_t>(header.height, bandBytes / pitch(header.width)));
        return {rows * (pitch(header.width) + 2 * header.width * turnedPixel), rows};
    }
    const std::uint32_t unit = header.tiled ? header.tileWidth : 8;
    const std::uint32_t columns = std::min(
        header.width, columnsPerBand(header.width, header.height, bpp, std::max<std::uint32_t>(unit, 1), bandBytes));
    // The columns as read (with a tile's buffer, or the scratch's buffers), at 24 or 32 bits, and turned.
    const std::uint64_t turnedBand = std::uint64_t{columns} * header.height * turnedPixel;
    std::uint64_t reading = std::uint64_t{header.height} * pitch(columns);
    if (header.tiled) {
        reading += std::uint64_t{header.tileLength} * pitch(header.tileWidth);
    } else {
        const std::uint64_t stripRows = std::max<std::uint64_t>(1, bandBytes / pitch(header.width));
        reading += ColumnScratch::heldBytes(
            header.width, header.height, bpp,
            static_cast<std::uint32_t>(std::min<std::uint64_t>(stripRows, header.height)), columns);
    }
    return {reading + 2 * turnedBand, columns};
}
