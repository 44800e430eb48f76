// The streamed JPEG and PNG writers against FreeImage's own on one 48-megapixel RGB page
// (8000 x 6000): the time each takes to write the file, whether the files are the same (JPEG: byte
// for byte; PNG, whose image data the row writer compresses itself, on one thread or two: the same
// pixels), and the memory the streamed writer holds beside its band of 256 rows. Prints the median
// of several runs per workload.
//
//   row_writer_bench [repetitions] [folder]
#include "engine/write/jpeg_row_writer.h"
#include "engine/write/png_row_writer.h"
#include "support/tiff_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int width = 8000;
constexpr int height = 6000;
constexpr unsigned bandHeight = 256;

struct Workload {
    const char* name;
    FREE_IMAGE_FORMAT format;
    int flags;
    unsigned threads = 1;
};

using Seconds = std::chrono::duration<double>;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Whether two PNG files hold the same pixels, as FreeImage reads them.
bool samePixels(const std::string& a, const std::string& b)
{
    const Bitmap first(FreeImage_Load(FIF_PNG, a.c_str(), 0));
    const Bitmap second(FreeImage_Load(FIF_PNG, b.c_str(), 0));
    if (!first || !second || first.width() != second.width() || first.height() != second.height() ||
        first.bpp() != second.bpp()) {
        return false;
    }
    const unsigned line = FreeImage_GetLine(first.get());
    for (unsigned y = 0; y < first.height(); ++y) {
        const int row = static_cast<int>(y);
        if (std::memcmp(FreeImage_GetScanLine(first.get(), row), FreeImage_GetScanLine(second.get(), row), line) != 0) {
            return false;
        }
    }
    return true;
}

bool sameFiles(const std::string& a, const std::string& b)
{
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(first), {}, std::istreambuf_iterator<char>(second), {});
}

// The page written by FreeImage's writer; seconds taken, or a negative number on failure.
double saveWhole(const Workload& workload, const Bitmap& page, const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    const bool saved = FreeImage_Save(workload.format, page.get(), path.c_str(), workload.flags) != 0;
    return saved ? Seconds(std::chrono::steady_clock::now() - start).count() : -1;
}

// The page written by the row writer, band by band (each band a view of the page's rows).
double saveInBands(const Workload& workload, const Bitmap& page, const std::string& path)
{
    // The header carries no pixels the writer reads; the page itself stands in for it here.
    const auto start = std::chrono::steady_clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return -1;
    }
    std::unique_ptr<RowWriter> writer =
        workload.format == FIF_JPEG
            ? openJpegRowWriter(workload.flags, page, file)
            : openPngRowWriter(workload.flags, page, file, PageAlpha::Unknown, {.threads = workload.threads});
    bool written = writer != nullptr;
    for (unsigned top = 0; written && top < page.height(); top += bandHeight) {
        const unsigned bottom = std::min(top + bandHeight, page.height());
        const Bitmap band(FreeImage_CreateView(page.get(), 0, top, page.width(), bottom));
        written = writer->writeBand(band);
    }
    written = written && writer->finish();
    written = std::fclose(file) == 0 && written;
    return written ? Seconds(std::chrono::steady_clock::now() - start).count() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    FreeImage_Initialise();
    const Bitmap page = fixtures::makePage(fixtures::PageKind::Rgb24, width, height);
    if (page.empty()) {
        std::fprintf(stderr, "could not allocate the page\n");
        return 1;
    }
    const Workload workloads[] = {
        {"jpeg q95 4:4:4", FIF_JPEG, 95 | JPEG_SUBSAMPLING_444},
        {"jpeg q95 4:2:0", FIF_JPEG, 95 | JPEG_SUBSAMPLING_420},
        {"jpeg q95 progressive", FIF_JPEG, 95 | JPEG_SUBSAMPLING_444 | JPEG_PROGRESSIVE},
        {"png zlib6", FIF_PNG, PNG_Z_DEFAULT_COMPRESSION},
        {"png zlib6, 2 threads", FIF_PNG, PNG_Z_DEFAULT_COMPRESSION, 2},
    };
    std::printf("%dx%d 24-bit, bands of %u rows, median of %d runs (page: %.0f MiB)\n", width, height, bandHeight,
                repetitions, width * 3.0 * height / 1048576);
    std::printf("| workload | FreeImage s | row writer s | same | writer holds MiB |\n|---|---:|---:|---|---:|\n");
    int status = 0;
    for (const Workload& workload : workloads) {
        const std::string whole = folder + "/row-writer-bench-whole";
        const std::string bands = folder + "/row-writer-bench-bands";
        std::vector<double> wholeTimes;
        std::vector<double> bandTimes;
        for (int i = 0; i < repetitions; ++i) {
            wholeTimes.push_back(saveWhole(workload, page, whole));
            bandTimes.push_back(saveInBands(workload, page, bands));
        }
        const bool jpeg = workload.format == FIF_JPEG;
        const bool same = jpeg ? sameFiles(whole, bands) : samePixels(whole, bands);
        const std::size_t held =
            jpeg ? jpegRowWriterBytes(workload.flags, page) : pngRowWriterBytes(workload.flags, page, workload.threads);
        std::printf("| %s | %.2f | %.2f | %s | %.1f |\n", workload.name, median(wholeTimes), median(bandTimes),
                    !same  ? "NO"
                    : jpeg ? "bytes"
                           : "pixels",
                    held / 1048576.0);
        status |= same ? 0 : 1;
        std::remove(whole.c_str());
        std::remove(bands.c_str());
    }
    FreeImage_DeInitialise();
    return status;
}
