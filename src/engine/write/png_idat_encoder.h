#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// The image data of a PNG file (its IDAT chunks) from the page's rows, on one or more threads.
//
// The rows are filtered as libpng filters them (the same choice of filter for each row, so the
// inflated data is what libpng would have compressed) and cut into groups of whole rows. Each group
// is deflated on its own, primed with the filtered bytes before it as its dictionary, and ends on
// a sync-flush boundary; the last ends the stream. The groups join into one zlib stream whose
// Adler-32 is combined from theirs. Group boundaries follow from the row size alone, so the bytes
// never depend on how many threads did the work.

// How the rows are laid out and compressed.
struct PngIdatLayout {
    std::size_t rowBytes = 0;   // bytes of one row as stored, without its filter byte
    unsigned pixelBytes = 1;    // bytes a filter looks back: a pixel's bytes, at least 1
    unsigned height = 0;        // rows of the page
    unsigned filters = 0;       // libpng's filter mask (PNG_FILTER_NONE ...), for the page's size
    int level = 6;              // zlib level, 0 to 9
    int strategy = 0;           // zlib strategy
    std::size_t groupBytes = 0; // filtered bytes a group aims at; 0 for the default
};

// The filter mask libpng uses for a page of this size when asked for `filters` (a page of one row
// or one column cannot use filters that look at a row above or a pixel before).
unsigned pngFiltersFor(unsigned filters, unsigned width, unsigned height);

// The bytes the encoder holds for `threads` threads: groups being filled, deflated and waiting to
// be written, and each thread's deflate state.
std::size_t pngIdatEncoderBytes(const PngIdatLayout& layout, unsigned threads);

class PngIdatEncoder {
  public:
    // Writes the finished bytes of the file (whole IDAT chunks) through `write`, which says
    // whether they were written. `threads` of 1 deflates on the caller's thread.
    using Write = std::function<bool(std::span<const std::uint8_t>)>;
    PngIdatEncoder(const PngIdatLayout& layout, unsigned threads, Write write);
    ~PngIdatEncoder();
    PngIdatEncoder(const PngIdatEncoder&) = delete;
    PngIdatEncoder& operator=(const PngIdatEncoder&) = delete;

    // The buffer for the next row (rowBytes), to be filled before rowDone.
    std::uint8_t* nextRow();

    // Takes the row filled in nextRow's buffer. False once anything failed.
    bool rowDone();

    // After the last row: every group deflated and written. False if anything failed.
    bool finish();

  private:
    struct Group;
    struct Worker;
    class Pool;

    bool submit(bool last);
    bool writeGroup(Group& group);
    bool drain(std::size_t keep);
    std::shared_ptr<Group> startGroup(const Group* previous, unsigned firstRow) const;

    PngIdatLayout layout_;
    unsigned windowBits_;
    unsigned groupRows_;
    unsigned leadRows_;
    std::size_t maxInFlight_;
    Write write_;
    std::unique_ptr<Pool> pool_;     // null with one thread
    std::unique_ptr<Worker> inline_; // with one thread: its deflate state and buffers
    std::shared_ptr<Group> filling_;
    std::deque<std::shared_ptr<Group>> inFlight_;
    std::uint32_t adler_ = 1;
    unsigned rowsTaken_ = 0;
    bool failed_ = false;
};
