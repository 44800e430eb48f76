#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/decode/page_loader.h"
#include "engine/run/page_memory.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

// The memory a run's decoded pages may take at once. Before a worker converts a file it estimates,
// from the page headers alone, what the file's largest page will need on its way through the
// enabled steps, and waits until that fits beside what the other workers hold. Files are admitted
// in list order, so the file whose turn is next never waits for memory that a later file holds;
// a file larger than the whole budget is admitted only when nothing else is held, and so runs alone.

// The budget of a run that names none: half of the memory this process may use (the physical
// memory, or a lower control-group limit), so the pages leave room for everything else.
std::uint64_t defaultMemoryBudget();

// Half of the smaller of the physical memory and the control-group limit (when there is one).
std::uint64_t halfOfUsableMemory(std::uint64_t physicalBytes, std::optional<std::uint64_t> groupLimitBytes);

// The limit a control-group file states ("max" or a huge number means none).
std::optional<std::uint64_t> readGroupLimit(QByteArrayView text);

// A size as the console takes it: a number of bytes, optionally with a fraction and one of the
// binary units K, M, G or T (case-insensitive, an optional trailing "B" or "iB": 512M, 2G,
// 1.5GiB). Empty for anything else, for 0 and for sizes beyond 2^60 bytes.
std::optional<std::uint64_t> readMemorySize(QStringView text);

// The estimate of the largest page a file converts (Input/TIFF Frame Loading picks them; pages are
// converted one at a time). 0 when there are no headers (such a file fails before it decodes).
std::uint64_t fileMemoryEstimate(std::span<const TiffPageHeader> headers, const Settings& settings,
                                 const JobState& job);
// The same for the file at path, whose page headers are read for it.
std::uint64_t fileMemoryEstimate(const QString& path, const Settings& settings, const JobState& job);

// The admission gate of a run. Positions are the 0-based list positions of the files, each admitted
// exactly once and in order.
class MemoryBudget {
  public:
    explicit MemoryBudget(std::uint64_t capacityBytes) : capacity_(capacityBytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // The memory a file holds from its admission until release() or its end.
    class Reservation {
      public:
        Reservation() = default;
        Reservation(MemoryBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        ~Reservation() { release(); }
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        void release();

      private:
        MemoryBudget* budget_ = nullptr;
        std::uint64_t bytes_ = 0;
    };

    // Waits until every earlier position is admitted and the bytes fit beside what is held (or
    // nothing is held), then holds them.
    Reservation admit(int position, std::uint64_t bytes);

    std::uint64_t capacity() const { return capacity_; }
    // The most that was held at once; for the tests and the benchmark's report.
    std::uint64_t peakHeld() const;

  private:
    void give(std::uint64_t bytes);

    const std::uint64_t capacity_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t held_ = 0;
    std::uint64_t peak_ = 0;
    int nextPosition_ = 0;
};
