#include "engine/steps/row_resize.h"

#include "engine/steps/resample_weights.h"
#include "engine/steps/transform.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

// Every sum below is FreeImage's to the last bit: a sum taken in another order, or a multiply fused
// with its add (CMakeLists.txt builds this file and the weights with -ffp-contract=off), can move a
// level by one.

namespace {

// --- Pixel layout ---------------------------------------------------------------------------------

enum class GreyOrder { Rising, Falling, Neither };

struct PaletteKind {
    bool grey = false;
    GreyOrder order = GreyOrder::Neither;
};

bool isGrey(const RGBQUAD& entry)
{
    return entry.rgbRed == entry.rgbGreen && entry.rgbRed == entry.rgbBlue;
}

// FreeImage's resize judges a palette by its full 2^bpp entries: grey or not, and for grey ones
// whether the index is the level (Rising), its complement (Falling) or neither, when the palette is
// read. A 1-bit palette is Rising only as black then white; a longer one stays Falling once an
// entry is the complement of its index and the others are their index or its complement.
PaletteKind paletteKind(const RGBQUAD* palette, unsigned bpp)
{
    const unsigned size = 1U << bpp;
    if (!std::all_of(palette, palette + size, isGrey)) {
        return {false, GreyOrder::Neither};
    }
    if (bpp == 1) {
        if (palette[0].rgbBlue == 255 && palette[1].rgbBlue == 0) {
            return {true, GreyOrder::Falling};
        }
        const bool rising = palette[0].rgbBlue == 0 && palette[1].rgbBlue == 255;
        return {true, rising ? GreyOrder::Rising : GreyOrder::Neither};
    }
    GreyOrder order = GreyOrder::Rising;
    for (unsigned i = 0; i < size && order != GreyOrder::Neither; ++i) {
        if (palette[i].rgbBlue != i) {
            order = palette[i].rgbBlue == size - 1 - i ? GreyOrder::Falling : GreyOrder::Neither;
        }
    }
    return {true, order};
}

// How the first pass reads the source, and the bytes both passes write: grey pages become 8-bit
// grey, colour palettes 24-bit, anything with transparency 32-bit; 24 and 32 bits stay.
struct PixelLayout {
    unsigned sourceBpp = 0;
    unsigned channels = 0;                          // bytes of a target pixel, in the bitmap's own order
    bool lookup = false;                            // source pixels are indices read through `entries`
    bool bilevel = false;                           // 1-bit levels are 0 and 1, scaled to 255 after filtering
    bool reversedGrey = false;                      // the 8-bit target's palette runs from white to black
    std::array<std::array<BYTE, 4>, 256> entries{}; // palette entries as FreeImage reads them

    unsigned targetBpp() const { return channels * 8; }
    bool expands() const { return lookup || sourceBpp < 8; }
};

// The entries FreeImage filters: the palette's bytes, with the transparency table as alpha when
// the target keeps transparency.
void fillEntries(FIBITMAP* page, PixelLayout& layout)
{
    const RGBQUAD* palette = FreeImage_GetPalette(page);
    const unsigned used = std::min(FreeImage_GetColorsUsed(page), 256U);
    const unsigned alphas = std::min(used, FreeImage_GetTransparencyCount(page));
    const BYTE* table = FreeImage_GetTransparencyTable(page);
    for (unsigned i = 0; i < used; ++i) {
        std::memcpy(layout.entries[i].data(), &palette[i], 4);
        if (layout.channels == 4) {
            layout.entries[i][FI_RGBA_ALPHA] = i < alphas ? table[i] : 255;
        }
    }
}

std::optional<PixelLayout> pixelLayout(FIBITMAP* page)
{
    if (page == nullptr || FreeImage_GetImageType(page) != FIT_BITMAP) {
        return std::nullopt;
    }
    PixelLayout layout;
    layout.sourceBpp = FreeImage_GetBPP(page);
    if (layout.sourceBpp == 24 || layout.sourceBpp == 32) {
        layout.channels = layout.sourceBpp / 8;
        return layout;
    }
    if ((layout.sourceBpp != 1 && layout.sourceBpp != 4 && layout.sourceBpp != 8) ||
        FreeImage_GetPalette(page) == nullptr) {
        return std::nullopt;
    }
    const PaletteKind kind = paletteKind(FreeImage_GetPalette(page), layout.sourceBpp);
    if (FreeImage_IsTransparent(page)) {
        layout.channels = 4;
        layout.lookup = true;
    } else if (!kind.grey) {
        layout.channels = 3;
        layout.lookup = true;
    } else {
        layout.channels = 1;
        layout.lookup = kind.order == GreyOrder::Neither;
        layout.reversedGrey = kind.order == GreyOrder::Falling;
    }
    // FreeImage reads a 4-bit page through its palette even when it has decided to pass none.
    if (layout.sourceBpp == 4 && !layout.lookup) {
        return std::nullopt;
    }
    layout.bilevel = layout.sourceBpp == 1 && !layout.lookup;
    if (layout.lookup) {
        fillEntries(page, layout);
    }
    return layout;
}

unsigned indexAt(const BYTE* bits, unsigned x, unsigned bpp)
{
    switch (bpp) {
    case 1:
        return (bits[x >> 3] >> (7 - (x & 7))) & 1U;
    case 4:
        return (x & 1) != 0 ? bits[x >> 1] & 0x0FU : bits[x >> 1] >> 4;
    default:
        return bits[x];
    }
}

// One source scan line as the bytes the filters read: the level or palette entry of each pixel.
void expandRow(const PixelLayout& layout, const BYTE* bits, unsigned width, BYTE* out)
{
    if (!layout.expands()) {
        std::memcpy(out, bits, static_cast<std::size_t>(width) * layout.channels);
        return;
    }
    for (unsigned x = 0; x < width; ++x) {
        const unsigned index = indexAt(bits, x, layout.sourceBpp);
        if (layout.lookup) {
            out = std::copy_n(layout.entries[index].data(), layout.channels, out);
        } else {
            *out++ = static_cast<BYTE>(index);
        }
    }
}

// --- Passes ---------------------------------------------------------------------------------------

// A filtered sum as a byte, rounded as FreeImage rounds: half added, truncated, then clamped.
template <bool Bilevel> BYTE levelOf(double sum)
{
    const double value = Bilevel ? sum * 255 : sum;
    return static_cast<BYTE>(std::clamp(static_cast<int>(value + 0.5), 0, 255));
}

// The row pass: each target pixel is the weighted sum of its source pixels, left to right.
template <unsigned Channels, bool Bilevel>
void filterRowWith(const WeightTable& table, const BYTE* source, BYTE* target)
{
    const double* weights = table.weights.data();
    for (const Taps& taps : table.taps) {
        const BYTE* pixel = source + static_cast<std::size_t>(taps.first) * Channels;
        const double* weight = weights + taps.offset;
        double sum[Channels] = {};
        for (unsigned i = 0; i < taps.count; ++i) {
            for (unsigned c = 0; c < Channels; ++c) {
                sum[c] += weight[i] * static_cast<double>(pixel[c]);
            }
            pixel += Channels;
        }
        for (unsigned c = 0; c < Channels; ++c) {
            *target++ = levelOf<Bilevel>(sum[c]);
        }
    }
}

using RowFilter = void (*)(const WeightTable&, const BYTE*, BYTE*);

RowFilter rowFilter(unsigned channels, bool bilevel)
{
    if (bilevel) {
        return filterRowWith<1, true>;
    }
    switch (channels) {
    case 1:
        return filterRowWith<1, false>;
    case 3:
        return filterRowWith<3, false>;
    default:
        return filterRowWith<4, false>;
    }
}

// The column pass for one target row: its source rows weighted from the lowest scan line up, as
// FreeImage walks a column. Each byte keeps its own sum, so the rows can be taken whole, four at a
// time, with the same result as column by column.
template <typename RowAt>
void filterColumns(const Taps& taps, const double* weights, RowAt rowAt, std::size_t length, double* sums, BYTE* target,
                   bool bilevel)
{
    std::fill(sums, sums + length, 0.0);
    unsigned i = 0;
    for (; i + 4 <= taps.count; i += 4) {
        const BYTE* row0 = rowAt(taps.first + i);
        const BYTE* row1 = rowAt(taps.first + i + 1);
        const BYTE* row2 = rowAt(taps.first + i + 2);
        const BYTE* row3 = rowAt(taps.first + i + 3);
        const double w0 = weights[i];
        const double w1 = weights[i + 1];
        const double w2 = weights[i + 2];
        const double w3 = weights[i + 3];
        for (std::size_t k = 0; k < length; ++k) {
            double sum = sums[k];
            sum += w0 * static_cast<double>(row0[k]);
            sum += w1 * static_cast<double>(row1[k]);
            sum += w2 * static_cast<double>(row2[k]);
            sum += w3 * static_cast<double>(row3[k]);
            sums[k] = sum;
        }
    }
    for (; i < taps.count; ++i) {
        const BYTE* row = rowAt(taps.first + i);
        const double weight = weights[i];
        for (std::size_t k = 0; k < length; ++k) {
            sums[k] += weight * static_cast<double>(row[k]);
        }
    }
    if (bilevel) {
        std::transform(sums, sums + length, target, levelOf<true>);
    } else {
        std::transform(sums, sums + length, target, levelOf<false>);
    }
}

// --- Plan -----------------------------------------------------------------------------------------

// Rows of the target handed out in one band at most (fewer when fewer are ready).
constexpr std::size_t targetBandBytes = std::size_t{1} << 20;

std::size_t pitchOf(unsigned width, unsigned bpp)
{
    return (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4;
}

// Everything fixed by the page, the sizes and the filter. Rows are counted from the top here
// (the order they arrive in); the weight tables count scan lines from the bottom, as FreeImage does.
struct Plan {
    unsigned sourceWidth = 0;
    unsigned sourceHeight = 0;
    unsigned targetWidth = 0;
    unsigned targetHeight = 0;
    PixelLayout layout;
    bool filterRows = false;    // the widths differ
    bool filterColumns = false; // the heights differ
    bool rowsFirst = false;     // FreeImage filters rows first unless the page widens
    WeightTable rowWeights;
    WeightTable columnWeights;
    std::vector<unsigned> lastSourceRow; // per target row: the source row that completes its window
    unsigned windowRows = 0;             // source rows held for the column pass
    unsigned windowWidth = 0;            // pixels of a held row
    unsigned bandRows = 0;

    std::size_t windowRowBytes() const { return static_cast<std::size_t>(windowWidth) * layout.channels; }
    // The column pass reads rows the row pass made (levels 0..255) or source rows as they came.
    bool rowsBeforeColumns() const { return rowsFirst && filterRows; }
    bool columnsBilevel() const { return layout.bilevel && !rowsBeforeColumns(); }
    bool rowsBilevel() const { return layout.bilevel && (rowsFirst || !filterColumns); }
    // A row between the column pass and the row pass, when the columns come first.
    bool holdsBetweenRow() const { return filterColumns && filterRows && !rowsFirst; }
};

void planWindow(Plan& plan)
{
    plan.windowWidth = plan.rowsBeforeColumns() ? plan.targetWidth : plan.sourceWidth;
    plan.lastSourceRow.resize(plan.targetHeight);
    plan.windowRows = 1;
    for (unsigned row = 0; row < plan.targetHeight; ++row) {
        const Taps& taps = plan.columnWeights.taps[plan.targetHeight - 1 - row];
        const unsigned last = plan.sourceHeight - 1 - taps.first;
        const unsigned first = taps.count > 0 ? plan.sourceHeight - (taps.first + taps.count) : last;
        plan.lastSourceRow[row] = last;
        plan.windowRows = std::max(plan.windowRows, last - first + 1);
    }
}

std::optional<Plan> makePlan(const Bitmap& format, const RowResize& resize)
{
    if (resize.sourceWidth < 1 || resize.sourceHeight < 1 || resize.targetWidth < 1 || resize.targetHeight < 1 ||
        kernelSupport(resize.filter) == 0.0) {
        return std::nullopt;
    }
    std::optional<PixelLayout> layout = pixelLayout(format.get());
    if (!layout) {
        return std::nullopt;
    }
    Plan plan;
    plan.sourceWidth = static_cast<unsigned>(resize.sourceWidth);
    plan.sourceHeight = static_cast<unsigned>(resize.sourceHeight);
    plan.targetWidth = static_cast<unsigned>(resize.targetWidth);
    plan.targetHeight = static_cast<unsigned>(resize.targetHeight);
    plan.layout = *layout;
    plan.filterRows = plan.sourceWidth != plan.targetWidth;
    plan.filterColumns = plan.sourceHeight != plan.targetHeight;
    plan.rowsFirst = plan.targetWidth <= plan.sourceWidth;
    if (!plan.filterRows && !plan.filterColumns) {
        return std::nullopt;
    }
    // FreeImage's column pass scales a 1-bit page's palette levels by 255 once more: the result is
    // not the page resized, so such pages keep the in-memory path rather than copy the mistake.
    if (plan.layout.sourceBpp == 1 && plan.layout.lookup && plan.layout.channels == 1 && plan.filterColumns &&
        !plan.rowsBeforeColumns()) {
        return std::nullopt;
    }
    if (plan.filterRows) {
        plan.rowWeights = weightTable(resize.filter, plan.targetWidth, plan.sourceWidth);
    }
    if (plan.filterColumns) {
        plan.columnWeights = weightTable(resize.filter, plan.targetHeight, plan.sourceHeight);
        planWindow(plan);
    }
    const std::size_t pitch = pitchOf(plan.targetWidth, plan.layout.targetBpp());
    plan.bandRows = static_cast<unsigned>(std::clamp<std::size_t>(targetBandBytes / pitch, 1, plan.targetHeight));
    return plan;
}

std::uint64_t heldBytes(const Plan& plan)
{
    const std::uint64_t channels = plan.layout.channels;
    std::uint64_t bytes = plan.rowWeights.bytes() + plan.columnWeights.bytes() +
                          plan.lastSourceRow.size() * sizeof(unsigned) +
                          plan.bandRows * pitchOf(plan.targetWidth, plan.layout.targetBpp());
    if (plan.filterColumns) {
        bytes += static_cast<std::uint64_t>(plan.windowRows) * plan.windowRowBytes() +
                 plan.windowRowBytes() * sizeof(double);
    }
    if (plan.layout.expands()) {
        bytes += plan.sourceWidth * channels;
    }
    if (plan.holdsBetweenRow()) {
        bytes += plan.sourceWidth * channels;
    }
    return bytes;
}

// A band of the target's depth and palette.
Bitmap allocateBand(const PixelLayout& layout, unsigned width, unsigned rows)
{
    Bitmap band(FreeImage_AllocateT(FIT_BITMAP, static_cast<int>(width), static_cast<int>(rows),
                                    static_cast<int>(layout.targetBpp())));
    // An 8-bit bitmap comes with a black-to-white palette.
    if (!band.empty() && layout.reversedGrey) {
        RGBQUAD* palette = FreeImage_GetPalette(band.get());
        for (unsigned i = 0; i < 256; ++i) {
            const BYTE level = static_cast<BYTE>(255 - i);
            palette[i] = RGBQUAD{level, level, level, 0};
        }
    }
    return band;
}

} // namespace

std::optional<RowResize> rowResizeFor(int width, int height, const Settings& settings)
{
    const ResizeTarget target = resizeTarget(width, height, settings);
    if (target == ResizeTarget{width, height}) {
        return std::nullopt;
    }
    return RowResize{width, height, target.width, target.height, resizeFilter(settings.transform.imageResizeAlgorithm)};
}

bool rowResizerTakes(const Bitmap& format, const RowResize& resize)
{
    return makePlan(format, resize).has_value();
}

std::uint64_t rowResizerHeldBytes(const Bitmap& format, const RowResize& resize)
{
    const std::optional<Plan> plan = makePlan(format, resize);
    return plan ? heldBytes(*plan) : 0;
}

Bitmap rowResizedBand(const Bitmap& format, int targetWidth, int rows)
{
    const std::optional<PixelLayout> layout = pixelLayout(format.get());
    if (!layout || targetWidth < 1 || rows < 1) {
        return Bitmap();
    }
    return allocateBand(*layout, static_cast<unsigned>(targetWidth), static_cast<unsigned>(rows));
}

// --- RowResizer -------------------------------------------------------------------------------------

struct RowResizer::State {
    Plan plan;
    BandSink sink;
    RowFilter rowFilter = nullptr;
    std::vector<BYTE> window;   // the last plan.windowRows source rows, source row r in slot r % windowRows
    std::vector<double> sums;   // the column pass's sums for one target row
    std::vector<BYTE> expanded; // one source row as bytes to filter, when the source is packed or indexed
    std::vector<BYTE> between;  // the column pass's row before its row pass, when columns come first
    Bitmap band;                // the target band being filled
    unsigned bandFirst = 0;     // its top row in the target
    unsigned rowsIn = 0;
    unsigned rowsOut = 0;
    unsigned readyRows = 0; // target rows finished once the band being pushed is in
    bool failed = false;

    State(Plan made, BandSink handOut)
        : plan(std::move(made)), sink(std::move(handOut)),
          rowFilter(::rowFilter(plan.layout.channels, plan.rowsBilevel()))
    {
        if (plan.filterColumns) {
            window.resize(plan.windowRows * plan.windowRowBytes());
            sums.resize(plan.windowRowBytes());
        }
        if (plan.layout.expands()) {
            expanded.resize(static_cast<std::size_t>(plan.sourceWidth) * plan.layout.channels);
        }
        if (plan.holdsBetweenRow()) {
            between.resize(static_cast<std::size_t>(plan.sourceWidth) * plan.layout.channels);
        }
    }

    unsigned readyAfter(unsigned sourceRows) const
    {
        if (!plan.filterColumns) {
            return sourceRows;
        }
        const auto end = std::upper_bound(plan.lastSourceRow.begin(), plan.lastSourceRow.end(), sourceRows - 1);
        return static_cast<unsigned>(end - plan.lastSourceRow.begin());
    }

    BYTE* windowRow(unsigned sourceRow)
    {
        return window.data() + (sourceRow % plan.windowRows) * plan.windowRowBytes();
    }

    // The source scan line's bytes to filter: the line itself, or expanded into `expanded`.
    const BYTE* filterable(const BYTE* bits)
    {
        if (!plan.layout.expands()) {
            return bits;
        }
        expandRow(plan.layout, bits, plan.sourceWidth, expanded.data());
        return expanded.data();
    }

    // The next target row's place in the band, opening a band as large as the ready rows allow.
    BYTE* targetRow()
    {
        if (band.empty()) {
            const unsigned rows = std::min(plan.bandRows, readyRows - rowsOut);
            band = allocateBand(plan.layout, plan.targetWidth, rows);
            bandFirst = rowsOut;
            if (band.empty()) {
                failed = true;
                return nullptr;
            }
        }
        return FreeImage_GetScanLine(band.get(), static_cast<int>(band.height() - 1 - (rowsOut - bandFirst)));
    }

    void targetRowDone()
    {
        ++rowsOut;
        if (rowsOut - bandFirst == band.height()) {
            failed = !sink(band);
            band.reset();
        }
    }

    // The column pass of target row `row`, then its row pass when the columns come first.
    void finishTargetRow(unsigned row)
    {
        BYTE* target = targetRow();
        if (target == nullptr) {
            return;
        }
        const Taps& taps = plan.columnWeights.taps[plan.targetHeight - 1 - row];
        const auto rowAt = [this](unsigned scanLine) { return windowRow(plan.sourceHeight - 1 - scanLine); };
        const double* weights = plan.columnWeights.weights.data() + taps.offset;
        if (plan.holdsBetweenRow()) {
            filterColumns(taps, weights, rowAt, between.size(), sums.data(), between.data(), plan.columnsBilevel());
            rowFilter(plan.rowWeights, between.data(), target);
        } else {
            filterColumns(taps, weights, rowAt, sums.size(), sums.data(), target, plan.columnsBilevel());
        }
        targetRowDone();
    }

    void takeSourceRow(const BYTE* bits)
    {
        const unsigned row = rowsIn++;
        if (!plan.filterColumns) {
            if (BYTE* target = targetRow()) {
                rowFilter(plan.rowWeights, filterable(bits), target);
                targetRowDone();
            }
            return;
        }
        if (plan.rowsBeforeColumns()) {
            rowFilter(plan.rowWeights, filterable(bits), windowRow(row));
        } else {
            expandRow(plan.layout, bits, plan.sourceWidth, windowRow(row));
        }
        while (!failed && rowsOut < plan.targetHeight && plan.lastSourceRow[rowsOut] <= row) {
            finishTargetRow(rowsOut);
        }
    }
};

RowResizer::RowResizer(const Bitmap& format, const RowResize& resize, BandSink sink)
{
    try {
        std::optional<Plan> plan = makePlan(format, resize);
        if (plan && sink) {
            state_ = std::make_unique<State>(std::move(*plan), std::move(sink));
        }
    } catch (const std::exception&) {
        state_.reset();
    }
}

RowResizer::~RowResizer() = default;

bool RowResizer::valid() const noexcept
{
    return state_ != nullptr;
}

bool RowResizer::pushBand(const Bitmap& band)
{
    if (!state_ || state_->failed) {
        return false;
    }
    State& state = *state_;
    const Plan& plan = state.plan;
    const bool matches = !band.empty() && FreeImage_HasPixels(band.get()) &&
                         FreeImage_GetImageType(band.get()) == FIT_BITMAP && band.width() == plan.sourceWidth &&
                         band.bpp() == plan.layout.sourceBpp && band.height() <= plan.sourceHeight - state.rowsIn;
    if (!matches) {
        state.failed = true;
        return false;
    }
    state.readyRows = state.readyAfter(state.rowsIn + band.height());
    for (unsigned line = band.height(); line-- > 0 && !state.failed;) {
        state.takeSourceRow(FreeImage_GetScanLine(band.get(), static_cast<int>(line)));
    }
    return !state.failed;
}

bool RowResizer::finish() const noexcept
{
    return state_ != nullptr && !state_->failed && state_->rowsIn == state_->plan.sourceHeight &&
           state_->rowsOut == state_->plan.targetHeight && state_->band.empty();
}
