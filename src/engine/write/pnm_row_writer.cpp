#include "engine/write/pnm_row_writer.h"

#include <string>
#include <vector>

namespace {

class PnmRowWriter final : public RowWriter {
  public:
    PnmRowWriter(const PageHeader& page, std::FILE* file)
        : file_(file), width_(page.width()), height_(page.height()), bpp_(page.bpp())
    {
        // The header as FreeImage prints it: magic number, size, and the largest level for the
        // formats that have one.
        std::string header = "P" +
                             std::to_string(bpp_ == 1   ? 4
                                            : bpp_ == 8 ? 5
                                                        : 6) +
                             "\n" + std::to_string(width_) + " " + std::to_string(height_) + "\n";
        if (bpp_ != 1) {
            header += "255\n";
        }
        ok_ = std::fwrite(header.data(), 1, header.size(), file_) == header.size();
        row_.resize(bpp_ == 24 ? std::size_t{width_} * 3 : 0);
    }

    bool writeBand(const Bitmap& band) override
    {
        if (!ok_ || band.width() != width_ || band.bpp() != bpp_ || written_ + band.height() > height_) {
            return false;
        }
        const unsigned rows = band.height();
        for (unsigned row = 0; row < rows && ok_; ++row) {
            ok_ = writeRow(FreeImage_GetScanLine(band.get(), static_cast<int>(rows - 1 - row)), band.get());
        }
        written_ += rows;
        return ok_;
    }

    bool finish() override { return ok_ && written_ == height_; }

  private:
    bool writeRow(const BYTE* line, FIBITMAP* band)
    {
        if (bpp_ != 24) {
            // 1 bit: every byte of the row, the padding bits of the last one included.
            const std::size_t bytes = bpp_ == 1 ? FreeImage_GetLine(band) : width_;
            return std::fwrite(line, 1, bytes, file_) == bytes;
        }
        for (unsigned x = 0; x < width_; ++x, line += 3) {
            row_[std::size_t{x} * 3] = line[FI_RGBA_RED];
            row_[std::size_t{x} * 3 + 1] = line[FI_RGBA_GREEN];
            row_[std::size_t{x} * 3 + 2] = line[FI_RGBA_BLUE];
        }
        return std::fwrite(row_.data(), 1, row_.size(), file_) == row_.size();
    }

    std::FILE* file_;
    unsigned width_;
    unsigned height_;
    unsigned bpp_;
    unsigned written_ = 0;
    bool ok_ = false;
    std::vector<BYTE> row_;
};

} // namespace

bool pnmRowWriterTakes(int flags, const PageHeader& page)
{
    const unsigned bpp = page.bpp();
    return flags == PNM_SAVE_RAW && page && FreeImage_GetImageType(page.get()) == FIT_BITMAP &&
           (bpp == 1 || bpp == 8 || bpp == 24);
}

std::unique_ptr<RowWriter> openPnmRowWriter(int flags, const PageHeader& page, std::FILE* file)
{
    if (file == nullptr || !pnmRowWriterTakes(flags, page)) {
        return nullptr;
    }
    return std::make_unique<PnmRowWriter>(page, file);
}
