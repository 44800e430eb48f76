#include "engine/run/memory_budget.h"

#include "engine/run/page_path.h"
#include "engine/run/page_memory.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Control-group limits: version 2 at the root of the mounted hierarchy (the process's own group in
// a container), version 1 in its memory controller.
constexpr const char* groupLimitFiles[] = {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"};

// A limit this large (version 1 writes 2^63 rounded down to a page) states no limit.
constexpr std::uint64_t noGroupLimit = std::uint64_t{1} << 62;

constexpr std::uint64_t largestMemorySize = std::uint64_t{1} << 60;

std::uint64_t physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::optional<std::uint64_t> groupMemoryLimit()
{
    std::optional<std::uint64_t> lowest;
    for (const char* name : groupLimitFiles) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        if (const std::optional<std::uint64_t> limit = readGroupLimit(file.read(64))) {
            lowest = std::min(lowest.value_or(*limit), *limit);
        }
    }
    return lowest;
}

// The factor of a unit letter, 0 for an unknown one.
std::uint64_t unitFactor(QChar unit)
{
    switch (unit.toUpper().unicode()) {
    case u'K':
        return std::uint64_t{1} << 10;
    case u'M':
        return std::uint64_t{1} << 20;
    case u'G':
        return std::uint64_t{1} << 30;
    case u'T':
        return std::uint64_t{1} << 40;
    default:
        return 0;
    }
}

} // namespace

std::uint64_t halfOfUsableMemory(std::uint64_t physicalBytes, std::optional<std::uint64_t> groupLimitBytes)
{
    const std::uint64_t usable = groupLimitBytes ? std::min(physicalBytes, *groupLimitBytes) : physicalBytes;
    return std::max<std::uint64_t>(usable / 2, 1);
}

std::uint64_t defaultMemoryBudget()
{
    return halfOfUsableMemory(physicalMemory(), groupMemoryLimit());
}

std::optional<std::uint64_t> readGroupLimit(QByteArrayView text)
{
    const QByteArray value = text.trimmed().toByteArray();
    bool ok = false;
    const qulonglong limit = value.toULongLong(&ok);
    if (!ok || limit == 0 || limit >= noGroupLimit) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(limit);
}

std::optional<std::uint64_t> readMemorySize(QStringView text)
{
    QStringView rest = text.trimmed();
    qsizetype digits = 0;
    while (digits < rest.size() && (rest[digits].isDigit() || rest[digits] == u'.')) {
        ++digits;
    }
    bool ok = false;
    const double number = rest.left(digits).toDouble(&ok);
    if (!ok || !(number > 0)) {
        return std::nullopt;
    }
    rest = rest.mid(digits);
    std::uint64_t factor = 1;
    if (!rest.isEmpty()) {
        factor = unitFactor(rest.front());
        rest = rest.mid(1);
        if (rest.compare(u"iB", Qt::CaseInsensitive) == 0 || rest.compare(u"B", Qt::CaseInsensitive) == 0) {
            rest = {};
        }
    }
    const double bytes = std::floor(number * static_cast<double>(factor));
    if (factor == 0 || !rest.isEmpty() || bytes < 1 || bytes > static_cast<double>(largestMemorySize)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(bytes);
}

std::uint64_t fileMemoryEstimate(std::span<const TiffPageHeader> headers, const Settings& settings, const JobState& job)
{
    // A random page is not known before the file is opened: any may be the one.
    const int frameLoading = settings.input.tiffFrameLoading;
    const PageRange range = frameLoading == 4 ? PageRange{0, static_cast<int>(headers.size()) - 1}
                                              : selectPages(frameLoading, static_cast<int>(headers.size()));
    std::uint64_t largest = 0;
    for (int index = range.first; index <= range.last; ++index) {
        const TiffPageHeader& header = headers[static_cast<std::size_t>(index)];
        // A streamed page holds a few bands and its writer's buffers, not the page.
        const bool streamed = choosePagePath(header, settings, job) == PagePath::Streamed;
        largest = std::max(largest, streamed ? streamedPageMemory(header, settings, job)
                                             : pageMemoryEstimate(header, settings, job));
    }
    return largest;
}

std::uint64_t fileMemoryEstimate(const QString& path, const Settings& settings, const JobState& job)
{
    return fileMemoryEstimate(readTiffPageHeaders(path), settings, job);
}

MemoryBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0))
{
}

MemoryBudget::Reservation& MemoryBudget::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other) {
        release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

void MemoryBudget::Reservation::release()
{
    if (budget_ != nullptr) {
        std::exchange(budget_, nullptr)->give(std::exchange(bytes_, 0));
    }
}

MemoryBudget::Reservation MemoryBudget::admit(int position, std::uint64_t bytes)
{
    std::unique_lock lock(lock_);
    // Admitting in list order is what keeps the gate free of deadlocks: a file that waits for its
    // turn while holding memory was admitted after every file before it, so the file in turn is
    // never kept waiting by memory that a later file holds.
    changed_.wait(lock, [&] {
        return nextPosition_ == position && (held_ == 0 || (held_ <= capacity_ && bytes <= capacity_ - held_));
    });
    held_ += bytes;
    peak_ = std::max(peak_, held_);
    ++nextPosition_;
    lock.unlock();
    changed_.notify_all();
    return Reservation(this, bytes);
}

std::uint64_t MemoryBudget::peakHeld() const
{
    const std::lock_guard lock(lock_);
    return peak_;
}

void MemoryBudget::give(std::uint64_t bytes)
{
    {
        const std::lock_guard lock(lock_);
        held_ -= bytes;
    }
    changed_.notify_all();
}
