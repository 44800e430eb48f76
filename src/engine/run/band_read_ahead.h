#pragma once

#include "engine/core/bitmap.h"
#include "engine/core/job_state.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Whether a streamed page of this run decodes its next band on a thread of its own while the
// worker processes and writes the band before it: only where the run's workers leave a core free.
bool readsAhead(const JobState& job);

// The bands of one page read one band ahead of the caller, on a thread this object owns. The read
// function (usually a TiffBandSource's readBand, which is not thread-safe) is called on that thread
// alone from start() until the object is destroyed: whatever it reads from is handed over for that
// time, and nothing else may use it meanwhile.
//
// At most one band waits beyond the one the caller holds: the thread starts a band only once the
// caller has taken the band before it. A band that cannot be read whole is handed out as an empty
// bitmap, and no band after it is read. Destruction stops the thread at the next band (a band
// being decoded is finished first: libtiff cannot be interrupted) and joins it, on every path.
class BandReadAhead {
  public:
    using ReadBand = std::function<Bitmap(int band)>;

    // Reads bands 0 .. count-1, or count-1 .. 0 when bottomUp. nullptr when no thread can be
    // started: the caller then reads the bands itself.
    static std::unique_ptr<BandReadAhead> start(ReadBand read, int count, bool bottomUp);

    ~BandReadAhead();
    BandReadAhead(const BandReadAhead&) = delete;
    BandReadAhead& operator=(const BandReadAhead&) = delete;

    // The next band in order, waiting for it when it is still being read; empty after the last
    // band, and for a band that could not be read whole and every call after it.
    Bitmap next();

  private:
    BandReadAhead(ReadBand read, int count, bool bottomUp);
    void readBands();

    const ReadBand read_;
    const int count_;
    const bool bottomUp_;
    int handedOut_ = 0; // the caller's side only

    std::mutex lock_;
    std::condition_variable changed_;
    std::optional<Bitmap> ready_; // the band read ahead, until the caller takes it
    bool stopping_ = false;
    std::thread thread_;
};
