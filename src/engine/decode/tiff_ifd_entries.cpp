#include "engine/decode/tiff_ifd_entries.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace {

// A directory with more entries than this is damage, not data (the largest tag number is 65535).
constexpr std::uint64_t maxEntries = 65535;

class FileReader {
  public:
    explicit FileReader(TIFF* tiff)
        : handle_(TIFFClientdata(tiff)), read_(TIFFGetReadProc(tiff)), seek_(TIFFGetSeekProc(tiff)),
          bigEndian_(TIFFIsBigEndian(tiff) != 0)
    {
        saved_ = seek_(handle_, 0, SEEK_CUR);
    }
    ~FileReader() { seek_(handle_, saved_, SEEK_SET); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool read(std::uint64_t offset, unsigned char* into, tmsize_t size)
    {
        return seek_(handle_, offset, SEEK_SET) == offset && read_(handle_, into, size) == size;
    }

    std::uint64_t number(const unsigned char* bytes, int size) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            value = (value << 8) | bytes[bigEndian_ ? i : size - 1 - i];
        }
        return value;
    }

  private:
    thandle_t handle_;
    TIFFReadWriteProc read_;
    TIFFSeekProc seek_;
    bool bigEndian_;
    toff_t saved_ = 0;
};

} // namespace

std::uint64_t tiffFileSize(TIFF* tiff)
{
    return TIFFGetSizeProc(tiff)(TIFFClientdata(tiff));
}

std::optional<std::vector<IfdEntry>> readIfdEntries(TIFF* tiff, std::uint64_t offset, QString* problem)
{
    const bool big = TIFFIsBigTIFF(tiff) != 0;
    const int countSize = big ? 8 : 2;
    const int entrySize = big ? 20 : 12;
    const int fieldSize = big ? 8 : 4; // the entry's count and value-or-offset fields
    const std::uint64_t fileSize = tiffFileSize(tiff);
    const auto fail = [problem](const QString& why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    if (offset < 8 || offset > fileSize || fileSize - offset < static_cast<std::uint64_t>(countSize)) {
        return fail(
            QStringLiteral("its directory offset %1 lies outside the file of %2 bytes").arg(offset).arg(fileSize));
    }
    FileReader file(tiff);
    std::array<unsigned char, 20> bytes{};
    if (!file.read(offset, bytes.data(), countSize)) {
        return fail(QStringLiteral("its directory at offset %1 cannot be read").arg(offset));
    }
    const std::uint64_t count = file.number(bytes.data(), countSize);
    if (count > maxEntries || (fileSize - offset - countSize) / entrySize < count) {
        return fail(QStringLiteral("its directory at offset %1 declares %2 entries, more than the file holds")
                        .arg(offset)
                        .arg(count));
    }
    std::vector<IfdEntry> entries;
    entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + countSize + i * entrySize;
        if (!file.read(at, bytes.data(), entrySize)) {
            return fail(QStringLiteral("its directory at offset %1 cannot be read").arg(offset));
        }
        IfdEntry entry;
        entry.tag = static_cast<std::uint16_t>(file.number(bytes.data(), 2));
        entry.type = static_cast<std::uint16_t>(file.number(bytes.data() + 2, 2));
        entry.count = file.number(bytes.data() + 4, fieldSize);
        const int width = TIFFDataWidth(static_cast<TIFFDataType>(entry.type));
        std::copy_n(bytes.data() + 4 + fieldSize, fieldSize, entry.inlineValues.begin());
        if (width > 0 && entry.count <= static_cast<std::uint64_t>(fieldSize) / width) {
            entry.valueOffset = 0;
        } else {
            entry.valueOffset = file.number(bytes.data() + 4 + fieldSize, fieldSize);
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> readRationals(TIFF* tiff, const IfdEntry& entry)
{
    // More values than any rational tag has are not read.
    constexpr std::uint64_t maxRationals = 4096;
    if ((entry.type != TIFF_RATIONAL && entry.type != TIFF_SRATIONAL) || entry.count == 0 ||
        entry.count > maxRationals) {
        return {};
    }
    const auto size = static_cast<tmsize_t>(entry.count * 8);
    std::vector<unsigned char> values(static_cast<std::size_t>(size));
    FileReader file(tiff);
    if (entry.valueOffset == 0) {
        std::copy_n(entry.inlineValues.begin(), std::min<std::size_t>(values.size(), 8), values.begin());
    } else if (!file.read(entry.valueOffset, values.data(), size)) {
        return {};
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rationals;
    rationals.reserve(entry.count);
    for (std::size_t at = 0; at < values.size(); at += 8) {
        rationals.emplace_back(static_cast<std::uint32_t>(file.number(values.data() + at, 4)),
                               static_cast<std::uint32_t>(file.number(values.data() + at + 4, 4)));
    }
    return rationals;
}

QString entryRangeProblem(TIFF* tiff, const IfdEntry& entry, std::uint64_t fileSize)
{
    const int width = TIFFDataWidth(static_cast<TIFFDataType>(entry.type));
    if (width <= 0) {
        return QStringLiteral("its declared type %1 is not a TIFF type").arg(entry.type);
    }
    if (entry.count > std::numeric_limits<std::uint64_t>::max() / static_cast<std::uint64_t>(width)) {
        return QStringLiteral("its declared count %1 is impossibly large").arg(entry.count);
    }
    const std::uint64_t bytes = entry.count * static_cast<std::uint64_t>(width);
    const std::uint64_t inlineBytes = TIFFIsBigTIFF(tiff) != 0 ? 8 : 4;
    if (bytes > inlineBytes && (entry.valueOffset > fileSize || fileSize - entry.valueOffset < bytes)) {
        return QStringLiteral("its %1 bytes at offset %2 run past the end of the file (%3 bytes)")
            .arg(bytes)
            .arg(entry.valueOffset)
            .arg(fileSize);
    }
    return {};
}
