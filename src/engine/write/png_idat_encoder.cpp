#include "engine/write/png_idat_encoder.h"

#include "engine/write/png_row_filter.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr std::size_t defaultGroupBytes = std::size_t{1} << 19;
// IDAT chunks are cut at this size within each group's share of the stream.
constexpr std::size_t chunkLimit = std::size_t{1} << 18;
// zlib's deflate state at memory level 8 and the largest window.
constexpr std::size_t deflateStateBytes = (std::size_t{1} << 18) + (std::size_t{1} << 13);

std::size_t withFilterByte(const PngIdatLayout& layout)
{
    return layout.rowBytes + 1;
}

// libpng narrows the window of a small image's stream to what its data needs (the first byte of
// the stream says which), as long as the page's filtered data is at most 16 KiB.
unsigned windowBitsFor(const PngIdatLayout& layout)
{
    unsigned bits = 15;
    if (layout.rowBytes < 32768 && layout.height < 32768) {
        const std::size_t dataSize = withFilterByte(layout) * layout.height;
        if (dataSize <= 16384) {
            std::size_t halfWindow = std::size_t{1} << (bits - 1);
            while (dataSize + 262 <= halfWindow && bits > 9) {
                halfWindow >>= 1;
                --bits;
            }
        }
    }
    return bits;
}

// The two bytes that open a zlib stream: deflate with this window, and zlib's note of the level.
std::array<std::uint8_t, 2> zlibHeader(unsigned windowBits, int level)
{
    const unsigned levelFlags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (((windowBits - 8) << 4 | 8) << 8) | levelFlags << 6;
    header += 31 - header % 31;
    return {static_cast<std::uint8_t>(header >> 8), static_cast<std::uint8_t>(header & 0xFF)};
}

void putBigEndian(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

// Buffers a thread reuses from group to group.
struct Scratch {
    std::vector<std::uint8_t> filtered;
};

// A raw deflate stream, made once per thread and reset for each group.
class Deflater {
  public:
    Deflater(const PngIdatLayout& layout, unsigned windowBits)
    {
        ready_ =
            deflateInit2(&stream_, layout.level, Z_DEFLATED, -static_cast<int>(windowBits), 8, layout.strategy) == Z_OK;
    }
    ~Deflater()
    {
        if (ready_) {
            deflateEnd(&stream_);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends `data` deflated after `dictionary` to `out`: ending on a sync-flush boundary, or
    // ending the stream when `last`.
    bool compress(const std::uint8_t* dictionary, std::size_t dictionarySize, const std::uint8_t* data,
                  std::size_t size, bool last, std::vector<std::uint8_t>& out)
    {
        if (!ready_ || deflateReset(&stream_) != Z_OK) {
            return false;
        }
        if (dictionarySize > 0 &&
            deflateSetDictionary(&stream_, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
            return false;
        }
        std::size_t produced = out.size();
        out.resize(produced + deflateBound(&stream_, static_cast<uLong>(size)) + 16);
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = static_cast<uInt>(size);
        for (;;) {
            stream_.next_out = out.data() + produced;
            stream_.avail_out = static_cast<uInt>(out.size() - produced);
            const int result = deflate(&stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
            produced = out.size() - stream_.avail_out;
            if (last ? result == Z_STREAM_END : result == Z_OK && stream_.avail_in == 0 && stream_.avail_out != 0) {
                break;
            }
            if ((result != Z_OK && result != Z_BUF_ERROR) || stream_.avail_out != 0) {
                return false;
            }
            out.resize(out.size() + out.size() / 2 + 64);
        }
        out.resize(produced);
        return true;
    }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

} // namespace

// A run of whole rows, with the raw rows above it that its first row and its dictionary need.
struct PngIdatEncoder::Group {
    unsigned firstRow = 0;
    unsigned leadRows = 0; // raw rows held above firstRow
    unsigned capacity = 0; // rows of the page in this group
    unsigned rows = 0;     // rows filled so far
    bool last = false;
    std::vector<std::uint8_t> raw; // leadRows + capacity rows, rowBytes each
    std::vector<std::uint8_t> out; // the group's part of the zlib stream
    std::uint32_t adler = 1;
    std::size_t dataBytes = 0;
    bool ok = false;
    bool done = false; // guarded by the pool's lock when there is a pool

    // Filters the group's rows and deflates them.
    void encode(const PngIdatLayout& layout, unsigned windowBits, Deflater& deflater, Scratch& scratch);
};

void PngIdatEncoder::Group::encode(const PngIdatLayout& layout, unsigned windowBits, Deflater& deflater,
                                   Scratch& scratch)
{
    const std::size_t rowSize = layout.rowBytes;
    const std::size_t filteredSize = withFilterByte(layout);
    PngRowFilter filter(rowSize, layout.pixelBytes, layout.filters);
    // The first raw row held only serves as the row above, unless it is the page's first row.
    const unsigned from = firstRow == leadRows ? 0 : 1;
    const unsigned total = leadRows + rows;
    scratch.filtered.resize((total - from) * filteredSize);
    for (unsigned index = from; index < total; ++index) {
        const std::uint8_t* row = raw.data() + index * rowSize;
        filter.filter(row, index == 0 ? nullptr : row - rowSize,
                      scratch.filtered.data() + (index - from) * filteredSize);
    }
    const std::size_t dictionarySize =
        std::min<std::size_t>((leadRows - from) * filteredSize, std::size_t{1} << windowBits);
    const std::uint8_t* data = scratch.filtered.data() + (leadRows - from) * filteredSize;
    dataBytes = std::size_t{rows} * filteredSize;
    adler = static_cast<std::uint32_t>(adler32(1, data, static_cast<uInt>(dataBytes)));
    if (firstRow == 0) {
        const std::array<std::uint8_t, 2> header = zlibHeader(windowBits, layout.level);
        out.assign(header.begin(), header.end());
    }
    ok = deflater.compress(data - dictionarySize, dictionarySize, data, dataBytes, last, out);
    std::vector<std::uint8_t>().swap(raw);
}

// What a thread keeps from group to group.
struct PngIdatEncoder::Worker {
    Worker(const PngIdatLayout& layout, unsigned windowBits) : deflater(layout, windowBits) {}
    Deflater deflater;
    Scratch scratch;
};

// Threads that encode groups in the order they are handed in.
class PngIdatEncoder::Pool {
  public:
    Pool(const PngIdatLayout& layout, unsigned windowBits, unsigned threads) : layout_(layout), windowBits_(windowBits)
    {
        try {
            for (unsigned i = 0; i < threads; ++i) {
                threads_.emplace_back([this] { work(); });
            }
        } catch (...) {
            stop();
            throw;
        }
    }
    ~Pool() { stop(); }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    void push(std::shared_ptr<Group> group)
    {
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back(std::move(group));
        }
        ready_.notify_one();
    }

    bool isDone(const Group& group)
    {
        const std::lock_guard lock(mutex_);
        return group.done;
    }

    void waitFor(const Group& group)
    {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&group] { return group.done; });
    }

  private:
    void stop()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();
        }
        ready_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
        threads_.clear();
    }

    void work()
    {
        std::unique_ptr<Worker> worker;
        for (;;) {
            std::shared_ptr<Group> group;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) {
                    return;
                }
                group = std::move(queue_.front());
                queue_.pop_front();
            }
            try {
                if (!worker) {
                    worker = std::make_unique<Worker>(layout_, windowBits_);
                }
                group->encode(layout_, windowBits_, worker->deflater, worker->scratch);
            } catch (...) {
                group->ok = false; // out of memory: the group fails, and with it the file
            }
            {
                const std::lock_guard lock(mutex_);
                group->done = true;
            }
            finished_.notify_all();
        }
    }

    const PngIdatLayout layout_;
    const unsigned windowBits_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Group>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

unsigned pngFiltersFor(unsigned filters, unsigned width, unsigned height)
{
    if (height == 1) {
        filters &= ~static_cast<unsigned>(PNG_FILTER_UP | PNG_FILTER_AVG | PNG_FILTER_PAETH);
    }
    if (width == 1) {
        filters &= ~static_cast<unsigned>(PNG_FILTER_SUB | PNG_FILTER_AVG | PNG_FILTER_PAETH);
    }
    filters &= PNG_ALL_FILTERS;
    return filters == 0 ? PNG_FILTER_NONE : filters;
}

namespace {

unsigned groupRowsOf(const PngIdatLayout& layout)
{
    const std::size_t target = layout.groupBytes > 0 ? layout.groupBytes : defaultGroupBytes;
    const std::size_t rows = (target + withFilterByte(layout) - 1) / withFilterByte(layout);
    return static_cast<unsigned>(std::clamp<std::size_t>(rows, 1, std::max(layout.height, 1u)));
}

// Raw rows a group holds above its first: enough filtered rows for a full dictionary, and the
// row above those.
unsigned leadRowsOf(const PngIdatLayout& layout, unsigned windowBits)
{
    const std::size_t window = std::size_t{1} << windowBits;
    return static_cast<unsigned>((window + withFilterByte(layout) - 1) / withFilterByte(layout) + 1);
}

} // namespace

std::size_t pngIdatEncoderBytes(const PngIdatLayout& layout, unsigned threads)
{
    const std::size_t groupRows = groupRowsOf(layout);
    const std::size_t leadRows = std::min<std::size_t>(leadRowsOf(layout, windowBitsFor(layout)), layout.height);
    const std::size_t raw = (groupRows + leadRows) * layout.rowBytes;
    const std::size_t filtered = (groupRows + leadRows) * withFilterByte(layout);
    const std::size_t compressed = groupRows * withFilterByte(layout) + groupRows * withFilterByte(layout) / 1000 + 64;
    threads = std::max(threads, 1u);
    // Each thread's deflate state and filter buffers; the group being filled; the groups handed
    // out, each holding its raw rows and then its compressed bytes until written.
    const std::size_t perThread = deflateStateBytes + filtered + 3 * layout.rowBytes;
    const std::size_t handedOut = threads == 1 ? 0 : threads + 1;
    return threads * perThread + raw + handedOut * (raw + compressed);
}

PngIdatEncoder::PngIdatEncoder(const PngIdatLayout& layout, unsigned threads, Write write)
    : layout_(layout), windowBits_(windowBitsFor(layout)), groupRows_(groupRowsOf(layout)),
      leadRows_(leadRowsOf(layout, windowBits_)), maxInFlight_(threads > 1 ? threads + 1 : 0), write_(std::move(write))
{
    if (threads > 1) {
        pool_ = std::make_unique<Pool>(layout_, windowBits_, threads);
    } else {
        inline_ = std::make_unique<Worker>(layout_, windowBits_);
    }
}

PngIdatEncoder::~PngIdatEncoder() = default;

std::shared_ptr<PngIdatEncoder::Group> PngIdatEncoder::startGroup(const Group* previous, unsigned firstRow) const
{
    auto group = std::make_shared<Group>();
    group->firstRow = firstRow;
    group->leadRows = std::min(leadRows_, firstRow);
    group->capacity = std::min(groupRows_, layout_.height - firstRow);
    group->raw.resize(std::size_t{group->leadRows + group->capacity} * layout_.rowBytes);
    if (previous != nullptr && group->leadRows > 0) {
        // The previous group holds at least this many rows above this one.
        const std::size_t bytes = std::size_t{group->leadRows} * layout_.rowBytes;
        const std::size_t held = std::size_t{previous->leadRows + previous->rows} * layout_.rowBytes;
        std::memcpy(group->raw.data(), previous->raw.data() + held - bytes, bytes);
    }
    return group;
}

std::uint8_t* PngIdatEncoder::nextRow()
{
    if (failed_ || rowsTaken_ >= layout_.height) {
        return nullptr;
    }
    try {
        if (!filling_) {
            filling_ = startGroup(nullptr, 0);
        }
    } catch (...) {
        failed_ = true;
        return nullptr;
    }
    return filling_->raw.data() + std::size_t{filling_->leadRows + filling_->rows} * layout_.rowBytes;
}

bool PngIdatEncoder::rowDone()
{
    if (failed_ || !filling_ || filling_->rows >= filling_->capacity) {
        failed_ = true;
        return false;
    }
    ++filling_->rows;
    ++rowsTaken_;
    if (filling_->rows == filling_->capacity) {
        return submit(rowsTaken_ == layout_.height);
    }
    return true;
}

bool PngIdatEncoder::submit(bool last)
{
    try {
        std::shared_ptr<Group> group = std::move(filling_);
        group->last = last;
        if (!last) {
            filling_ = startGroup(group.get(), rowsTaken_);
        }
        inFlight_.push_back(group);
        if (pool_) {
            pool_->push(group);
        } else {
            group->encode(layout_, windowBits_, inline_->deflater, inline_->scratch);
            group->done = true;
        }
    } catch (...) {
        failed_ = true;
        return false;
    }
    return drain(maxInFlight_);
}

// Writes the groups done at the front, then waits for more until at most `keep` are left.
bool PngIdatEncoder::drain(std::size_t keep)
{
    while (!failed_ && !inFlight_.empty()) {
        Group& front = *inFlight_.front();
        const bool ready = !pool_ || pool_->isDone(front);
        if (!ready && inFlight_.size() <= keep) {
            break;
        }
        if (!ready) {
            pool_->waitFor(front);
        }
        failed_ = !writeGroup(front);
        inFlight_.pop_front();
    }
    return !failed_;
}

bool PngIdatEncoder::writeGroup(Group& group)
{
    if (!group.ok) {
        return false;
    }
    adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, group.adler, static_cast<z_off_t>(group.dataBytes)));
    if (group.last) {
        std::array<std::uint8_t, 4> trailer{};
        putBigEndian(trailer.data(), adler_);
        group.out.insert(group.out.end(), trailer.begin(), trailer.end());
    }
    for (std::size_t start = 0; start < group.out.size(); start += chunkLimit) {
        const std::size_t size = std::min(chunkLimit, group.out.size() - start);
        std::array<std::uint8_t, 8> head{};
        putBigEndian(head.data(), static_cast<std::uint32_t>(size));
        std::memcpy(head.data() + 4, "IDAT", 4);
        uLong crc = crc32(0, head.data() + 4, 4);
        crc = crc32(crc, group.out.data() + start, static_cast<uInt>(size));
        std::array<std::uint8_t, 4> tail{};
        putBigEndian(tail.data(), static_cast<std::uint32_t>(crc));
        if (!write_(head) || !write_({group.out.data() + start, size}) || !write_(tail)) {
            return false;
        }
    }
    std::vector<std::uint8_t>().swap(group.out);
    return true;
}

bool PngIdatEncoder::finish()
{
    if (failed_ || rowsTaken_ != layout_.height || filling_) {
        failed_ = true;
        return false;
    }
    return drain(0);
}
