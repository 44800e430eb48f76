#pragma once

#include "engine/write/row_writer.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

// What the JPEG and PNG row writers share: reading the page header's tags and profile, and
// taking a page's bands in order.

using TagBytes = std::span<const std::uint8_t>;

// The tag `key` of `model` on `page`, or nullptr.
FITAG* findTag(const PageHeader& page, FREE_IMAGE_MDMODEL model, const char* key);

// The value of a tag as FreeImage stores it (its length counts every stored byte, so an ASCII
// value usually ends in its NUL). Empty for nullptr or a tag without a value.
TagBytes tagBytes(const FITAG* tag);

// The page's ICC profile, empty when it has none.
TagBytes iccProfileBytes(const PageHeader& page);

// Calls `visit` for each tag of `model`, in the order FreeImage's own writers walk them.
void forEachTag(const PageHeader& page, FREE_IMAGE_MDMODEL model, const std::function<void(FITAG*)>& visit);

// The key under which FreeImage keeps a page's XMP packet.
inline constexpr const char* xmpPacketKey = "XMLPacket";

// Counts the rows of a page as its bands arrive and hands out each band's rows top first.
class BandRows {
  public:
    explicit BandRows(const PageHeader& page);

    // Whether `band` is a band of the page (same type, depth and width) that fits below the rows
    // taken so far; if so, its rows are counted as taken.
    bool take(const Bitmap& band);

    // Row `index` of `band` counted from its top (FreeImage stores rows bottom-up).
    static std::uint8_t* row(const Bitmap& band, unsigned index);

    bool complete() const noexcept { return taken_ == height_; }

  private:
    FREE_IMAGE_TYPE type_;
    unsigned bpp_;
    unsigned width_;
    unsigned height_;
    unsigned taken_ = 0;
};

// Runs `call` with `jump` as the place a C library's error exit jumps back to: such an error
// makes this false and sets `failed`, and a writer once failed runs nothing more. `call` must own
// nothing that needs destroying, since the jump skips destructors.
template <typename Call> bool callGuarded(std::jmp_buf& jump, bool& failed, Call&& call)
{
    if (failed) {
        return false;
    }
    if (setjmp(jump) != 0) {
        failed = true;
        return false;
    }
    call();
    return true;
}

// Writes all of `bytes` to `file`; false on a short write.
bool writeAll(std::FILE* file, const void* bytes, std::size_t size);

// Flushes what `file` buffers and says whether every write to it succeeded.
bool flushedCleanly(std::FILE* file);
