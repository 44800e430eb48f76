#include "support/freeimage_tiff_page.h"

#include "engine/core/freeimage_file.h"

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The file offset of the directory of page `index`, as libtiff finds it by walking the chain.
std::optional<std::uint64_t> directoryOffset(const QString& path, int index)
{
    // "m": no memory mapping; only the directories are read.
    const std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(path).constData(), "rm"));
    if (!tiff || index < 0 || index > 0xFFFF || TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(index)) == 0) {
        return std::nullopt;
    }
    return TIFFCurrentDirOffset(tiff.get());
}

// The file as FreeImage reads it: every byte as stored, except the first-directory offset of the
// header, which names the wanted page.
struct RedirectedFile {
    std::FILE* file = nullptr;
    std::array<unsigned char, 16> header{}; // the header as the reader sees it
    long headerSize = 0;                    // 8 (classic) or 16 (BigTIFF)
};

// Rewrites the header's first-directory offset in the file's own byte order. False when the
// bytes are not a TIFF header or the offset does not fit a classic file.
bool redirectHeader(RedirectedFile& redirected, std::uint64_t offset)
{
    std::array<unsigned char, 16>& header = redirected.header;
    if (std::fread(header.data(), 1, header.size(), redirected.file) < 8) {
        return false;
    }
    const bool little = header[0] == 'I' && header[1] == 'I';
    if (!little && !(header[0] == 'M' && header[1] == 'M')) {
        return false;
    }
    const int version = little ? header[2] | header[3] << 8 : header[2] << 8 | header[3];
    int at = 0;
    int width = 0;
    if (version == 42) {
        at = 4;
        width = 4;
    } else if (version == 43) {
        at = 8;
        width = 8;
    } else {
        return false;
    }
    if (width == 4 && offset > 0xFFFFFFFFU) {
        return false;
    }
    for (int i = 0; i < width; ++i) {
        const auto byte = static_cast<unsigned char>(offset >> (8 * i));
        header[static_cast<std::size_t>(little ? at + i : at + width - 1 - i)] = byte;
    }
    redirected.headerSize = at + width;
    return std::fseek(redirected.file, 0, SEEK_SET) == 0;
}

RedirectedFile& redirectedOf(fi_handle handle)
{
    return *static_cast<RedirectedFile*>(handle);
}

unsigned DLL_CALLCONV readProc(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    RedirectedFile& redirected = redirectedOf(handle);
    const long start = std::ftell(redirected.file);
    const auto items = static_cast<unsigned>(std::fread(buffer, size, count, redirected.file));
    const long end = start + static_cast<long>(items) * static_cast<long>(size);
    // Whatever part of the header this read covered comes from the rewritten header.
    for (long at = std::max(start, 0L); at < std::min(end, redirected.headerSize); ++at) {
        static_cast<unsigned char*>(buffer)[at - start] = redirected.header[static_cast<std::size_t>(at)];
    }
    return items;
}

unsigned DLL_CALLCONV writeProc(void*, unsigned, unsigned, fi_handle)
{
    return 0;
}

int DLL_CALLCONV seekProc(fi_handle handle, long offset, int origin)
{
    return std::fseek(redirectedOf(handle).file, offset, origin);
}

long DLL_CALLCONV tellProc(fi_handle handle)
{
    return std::ftell(redirectedOf(handle).file);
}

} // namespace

Bitmap decodeTiffPage(const QString& path, int index, int flags)
{
    const std::optional<std::uint64_t> offset = directoryOffset(path, index);
    if (!offset) {
        return {};
    }
    const FileHandle file = openFile(path, "rb");
    if (!file) {
        return {};
    }
    RedirectedFile redirected{file.get()};
    if (!redirectHeader(redirected, *offset)) {
        return {};
    }
    FreeImageIO io{readProc, writeProc, seekProc, tellProc};
    return Bitmap(FreeImage_LoadFromHandle(FIF_TIFF, &io, &redirected, flags));
}
