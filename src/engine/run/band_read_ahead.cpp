#include "engine/run/band_read_ahead.h"

#include <system_error>
#include <utility>

bool readsAhead(const JobState& job)
{
    return job.run.spareThreads > 0;
}

BandReadAhead::BandReadAhead(ReadBand read, int count, bool bottomUp)
    : read_(std::move(read)), count_(count), bottomUp_(bottomUp)
{
}

std::unique_ptr<BandReadAhead> BandReadAhead::start(ReadBand read, int count, bool bottomUp)
{
    std::unique_ptr<BandReadAhead> ahead(new BandReadAhead(std::move(read), count, bottomUp));
    try {
        ahead->thread_ = std::thread([self = ahead.get()] { self->readBands(); });
    } catch (const std::system_error&) {
        return nullptr; // no thread to be had: the bands are read on the worker, as without a spare core
    }
    return ahead;
}

BandReadAhead::~BandReadAhead()
{
    {
        const std::lock_guard lock(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

Bitmap BandReadAhead::next()
{
    if (handedOut_ >= count_) {
        return {};
    }
    Bitmap band;
    {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return ready_.has_value(); });
        band = std::move(*ready_);
        ready_.reset();
    }
    changed_.notify_all();
    // The thread stopped at a band it could not read: nothing follows it.
    handedOut_ = band ? handedOut_ + 1 : count_;
    return band;
}

void BandReadAhead::readBands()
{
    for (int position = 0; position < count_; ++position) {
        {
            std::unique_lock lock(lock_);
            changed_.wait(lock, [this] { return stopping_ || !ready_.has_value(); });
            if (stopping_) {
                return;
            }
        }
        Bitmap band = read_(bottomUp_ ? count_ - 1 - position : position);
        const bool whole = static_cast<bool>(band);
        {
            const std::lock_guard lock(lock_);
            ready_ = std::move(band);
        }
        changed_.notify_all();
        if (!whole) {
            return;
        }
    }
}
