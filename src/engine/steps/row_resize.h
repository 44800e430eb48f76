#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// The resize step for a streamed page: the page arrives as bands of rows, top band first, and the
// resized page leaves the same way, each band as soon as the source rows its filter window reaches
// have arrived. Its pixels are FreeImage_Rescale's for the same page, size and filter, byte for
// byte: the same weights, the same order of the two passes (it depends on the sizes), the same
// rounding of the first pass to bytes and the same order of every sum. Only a window of rows is
// held, never the page.
//
// A band, going in or out, is a bitmap of the page's width, type, depth and palette holding some of
// its rows in FreeImage's bottom-up order (the band's top row is its last scan line). `format`
// below is any bitmap of the source page's type, depth, palette and transparency (its header, or a
// band of it): its own size does not matter.

// The sizes and the filter of a resize.
struct RowResize {
    int sourceWidth = 0;
    int sourceHeight = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    FREE_IMAGE_FILTER filter = FILTER_BICUBIC;
};

// The resize the settings ask of a width x height page (transform.h's resizeTarget and
// resizeFilter), or nullopt when they leave the page alone.
std::optional<RowResize> rowResizeFor(int width, int height, const Settings& settings);

// Whether `resize` of a page of `format` streams with FreeImage's bytes. Standard bitmaps of 1, 4,
// 8, 24 and 32 bits do, with these exceptions, which keep the in-memory path: a page already of the
// target size (FreeImage converts it rather than filtering), 16-bit 555/565 pages and the other
// image types, 4-bit pages with a linear grey palette (which FreeImage reads without a palette)
// and 1-bit pages with a grey palette other than black-and-white when the column pass comes first
// (FreeImage scales that pass's levels by 255 a second time).
bool rowResizerTakes(const Bitmap& format, const RowResize& resize);

// The most a RowResizer for these arguments holds at once, in bytes: its row window, its working
// rows, its weights and the output band it fills (not the bands it is fed). 0 when it does not take
// them.
std::uint64_t rowResizerHeldBytes(const Bitmap& format, const RowResize& resize);

// An empty band of `rows` rows of the resized page: FreeImage_Rescale's target type, depth (8 bits
// for grey pages, 24 or 32 for colour palettes, otherwise the page's own) and palette. The resized
// page's header takes its depth and palette from it; FreeImage_Rescale gives the resized page the
// source's resolution and metadata models except animation, and no ICC profile. Empty when the
// format is not one the resizer takes.
Bitmap rowResizedBand(const Bitmap& format, int targetWidth, int rows);

class RowResizer {
  public:
    // Receives each finished band of the resized page, top band first; false stops the resize.
    using BandSink = std::function<bool(const Bitmap& band)>;

    RowResizer(const Bitmap& format, const RowResize& resize, BandSink sink);
    ~RowResizer();
    RowResizer(const RowResizer&) = delete;
    RowResizer& operator=(const RowResizer&) = delete;

    // False when rowResizerTakes is false for the arguments or the working memory could not be had.
    bool valid() const noexcept;

    // The next source rows, below those given so far, in a band of any height. Hands the sink every
    // target band whose rows can now be finished. False when the resizer is not valid, the band does
    // not match the page (width, type, depth), it runs past the page's last row, or the sink said
    // stop; the resizer then takes nothing more.
    bool pushBand(const Bitmap& band);

    // True when every source row has arrived and every target band was handed out.
    bool finish() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};
