// Resize of one 24-megapixel page (6000 x 4000, 24 bit) to 50 % with each filter, the step a
// typical "shrink the scans" run spends its time in. Prints the median of several runs per filter.
//
//   resize_bench [repetitions]
#include "engine/steps/transform.h"
#include "support/tiff_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    constexpr int width = 6000;
    constexpr int height = 4000;
    const Bitmap source = fixtures::makePage(fixtures::PageKind::Rgb24, width, height);
    if (source.empty()) {
        std::fprintf(stderr, "could not allocate the page\n");
        return 1;
    }
    const char* names[] = {"Box", "Bilinear", "B-Spline", "Bicubic", "Catmull-Rom", "Lanczos"};
    std::printf("resize %dx%d 24-bit to 50 %%, median of %d runs\n", width, height, repetitions);
    for (int algorithm = 0; algorithm < 6; ++algorithm) {
        Settings settings;
        settings.transform.doImageResize = 1;
        settings.transform.imageWidth = 50;
        settings.transform.imageWidthUnit = 1;
        settings.transform.imageHeight = 50;
        settings.transform.imageHeightUnit = 1;
        settings.transform.imageResizeAlgorithm = static_cast<Choice8>(algorithm);
        std::vector<double> times;
        for (int i = 0; i < repetitions; ++i) {
            Bitmap copy(FreeImage_Clone(source.get()));
            const auto start = std::chrono::steady_clock::now();
            const Bitmap result = resize(std::move(copy), width, height, settings);
            const auto stop = std::chrono::steady_clock::now();
            if (result.width() != width / 2 || result.height() != height / 2) {
                std::fprintf(stderr, "unexpected result size\n");
                return 1;
            }
            times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("%-12s %8.1f ms\n", names[algorithm], times[times.size() / 2]);
    }
    return 0;
}
