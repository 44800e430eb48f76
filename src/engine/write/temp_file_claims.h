#pragma once

#include <QString>

// The temporary files a run holds at a given moment (being written, or finished and waiting for
// their turn to take their names). A process that has to end at once, from a signal handler,
// removes them with removeClaimedTempFiles so that no ".*.tessaline-*.tmp" file is left behind.
//
// The claims live in a fixed table of process-wide slots: a signal handler may touch nothing
// else (no allocation, no locks). When every slot is taken a claim is simply not recorded.
class TempFileClaim {
  public:
    TempFileClaim() = default;
    explicit TempFileClaim(const QString& path);
    ~TempFileClaim();
    TempFileClaim(TempFileClaim&& other) noexcept;
    TempFileClaim& operator=(TempFileClaim&& other) noexcept;
    TempFileClaim(const TempFileClaim&) = delete;
    TempFileClaim& operator=(const TempFileClaim&) = delete;

    bool recorded() const { return slot_ >= 0; }

  private:
    void release() noexcept;
    int slot_ = -1;
};

// Unlinks every claimed temporary file. Async-signal-safe (atomics and unlink(2) only); claims
// released afterwards leave their slots alone, so the names stay valid until the process ends.
void removeClaimedTempFiles() noexcept;
