#pragma once

#include <QString>

#include <tiffio.h>

#include <cstdint>
#include <memory>

// One TIFF file opened with libtiff, with libtiff's errors and warnings kept on the handle instead
// of going to the process-wide handlers: workers read files in parallel, and each file's reading
// must know whether its own data was whole. Every reader of pixels (the bands of the streamed path,
// the in-memory page, the preview) opens the file through here and reads its strips and tiles with
// readStrile, so they all judge damage the same way.
class TiffFile {
  public:
    // nullptr when the file cannot be opened or libtiff does not take it as a TIFF.
    static std::unique_ptr<TiffFile> open(const QString& path);
    ~TiffFile();
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    TIFF* handle() const { return tiff_; }
    // Makes page `index` (0-based) the current directory and clears the damage seen so far.
    bool setPage(int index);

    // Whether libtiff reported an error, or a warning that means data is missing (a codec that ran
    // out of input), since the page was set or clearDamage was called.
    bool damaged() const { return damaged_; }
    void clearDamage() { damaged_ = false; }

    // The TiffFile that opened `tiff`, nullptr for a handle opened elsewhere.
    static TiffFile* of(TIFF* tiff);

  private:
    TiffFile() = default;
    static int onError(TIFF* tiff, void* self, const char* module, const char* format, va_list args);
    static int onWarning(TIFF* tiff, void* self, const char* module, const char* format, va_list args);

    TIFF* tiff_ = nullptr;
    bool damaged_ = false;
};

// Whether strip or tile `index` of the current directory is absent: offset and byte count both 0,
// as writers of sparse files leave the blocks that hold nothing.
bool strileAbsent(TIFF* tiff, std::uint32_t index);

// Decodes strip or tile `index` (TIFFComputeStrip / TIFFComputeTile numbering) into `buffer` of
// `size` bytes, which must receive at least `expected` bytes. An absent block reads as zeros, as
// other readers of sparse files take it. False when the block is damaged: a read or decode error,
// fewer bytes than expected, or a warning that data is missing.
bool readStrile(TIFF* tiff, std::uint32_t index, void* buffer, std::uint64_t size, std::uint64_t expected);

// Whether the handle's file reported damage since its page was set (false for handles not opened
// by TiffFile).
bool tiffDamaged(TIFF* tiff);
