// The streamed resize against FreeImage_Rescale on one 24-megapixel page (6000 x 4000, 24 bit),
// each filter, to 50 % and to 150 %. The streamed resize is fed bands of 64 rows cut beforehand
// (a band source's strips) and its bands are checked against FreeImage's result, byte for byte.
// Prints the median of several runs of each and the most the streamed resize holds.
//
//   row_resize_bench [repetitions]
#include "engine/steps/row_resize.h"
#include "support/tiff_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int width = 6000;
constexpr int height = 4000;
constexpr unsigned bandRows = 64;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Streams the bands through a resizer; with `expected`, compares every target row with it.
bool streamResize(const Bitmap& format, const std::vector<Bitmap>& bands, const RowResize& resize,
                  const Bitmap* expected, bool& identical)
{
    unsigned rowsOut = 0;
    identical = true;
    RowResizer resizer(format, resize, [&](const Bitmap& band) {
        if (expected != nullptr) {
            const std::size_t bytes = band.width() * band.bpp() / 8;
            for (unsigned y = band.height(); y-- > 0; ++rowsOut) {
                const BYTE* mine = FreeImage_GetScanLine(band.get(), static_cast<int>(y));
                const BYTE* theirs = FreeImage_GetScanLine(expected->get(), expected->height() - 1 - rowsOut);
                identical = identical && std::memcmp(mine, theirs, bytes) == 0;
            }
        }
        return true;
    });
    for (const Bitmap& band : bands) {
        if (!resizer.pushBand(band)) {
            return false;
        }
    }
    return resizer.finish();
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const Bitmap page = fixtures::makePage(fixtures::PageKind::Rgb24, width, height);
    if (page.empty()) {
        std::fprintf(stderr, "could not allocate the page\n");
        return 1;
    }
    const std::vector<Bitmap> bands = fixtures::bandsOf(page, bandRows);
    const FREE_IMAGE_FILTER filters[] = {FILTER_BOX,     FILTER_BILINEAR,   FILTER_BSPLINE,
                                         FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3};
    const char* names[] = {"Box", "Bilinear", "B-Spline", "Bicubic", "Catmull-Rom", "Lanczos"};
    std::printf("%dx%d 24-bit, bands of %u rows, median of %d runs\n", width, height, bandRows, repetitions);
    std::printf("%-12s %6s %14s %14s %8s %10s %s\n", "filter", "scale", "FreeImage ms", "streamed ms", "ratio",
                "held MiB", "bytes");
    bool allIdentical = true;
    for (const int percent : {50, 150}) {
        for (int f = 0; f < 6; ++f) {
            const RowResize resize{width, height, width * percent / 100, height * percent / 100, filters[f]};
            std::vector<double> rescaleTimes;
            std::vector<double> streamTimes;
            Bitmap expected;
            bool identical = false;
            for (int run = 0; run < repetitions; ++run) {
                const auto rescaleStart = Clock::now();
                expected.reset(FreeImage_Rescale(page.get(), resize.targetWidth, resize.targetHeight, resize.filter));
                rescaleTimes.push_back(millisecondsSince(rescaleStart));

                const auto streamStart = Clock::now();
                if (!streamResize(page, bands, resize, nullptr, identical)) {
                    std::fprintf(stderr, "the streamed resize failed\n");
                    return 1;
                }
                streamTimes.push_back(millisecondsSince(streamStart));
            }
            streamResize(page, bands, resize, &expected, identical);
            allIdentical = allIdentical && identical;
            const double rescale = median(rescaleTimes);
            const double streamed = median(streamTimes);
            std::printf("%-12s %5d%% %14.1f %14.1f %8.2f %10.2f %s\n", names[f], percent, rescale, streamed,
                        streamed / rescale, static_cast<double>(rowResizerHeldBytes(page, resize)) / (1 << 20),
                        identical ? "identical" : "DIFFERENT");
        }
    }
    return allIdentical ? 0 : 1;
}
