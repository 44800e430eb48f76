#include "engine/core/run_progress.h"

void RunProgress::start()
{
    {
        const std::lock_guard lock(progressLock);
        processedCount = 0;
        currentFile.clear();
        convertedCount = 0;
        running = true;
    }
    {
        const std::lock_guard lock(gateLock_);
        abandoned_ = false;
    }
    resume();
}

void RunProgress::stop()
{
    const std::lock_guard lock(progressLock);
    running = false;
}

void RunProgress::abandon()
{
    stop();
    const std::lock_guard lock(gateLock_);
    abandoned_ = true;
}

bool RunProgress::isAbandoned() const
{
    const std::lock_guard lock(gateLock_);
    return abandoned_;
}

bool RunProgress::isRunning() const
{
    const std::lock_guard lock(progressLock);
    return running;
}

RunProgress::Snapshot RunProgress::snapshot() const
{
    const std::lock_guard lock(progressLock);
    return Snapshot{processedCount, currentFile, convertedCount, running};
}

void RunProgress::setProcessed(std::int32_t count, const QString& file)
{
    const std::lock_guard lock(progressLock);
    processedCount = count;
    currentFile = file;
}

void RunProgress::addConverted(std::int32_t count)
{
    const std::lock_guard lock(progressLock);
    convertedCount += count;
}

void RunProgress::pause()
{
    const std::lock_guard lock(gateLock_);
    paused_ = true;
}

void RunProgress::resume()
{
    {
        const std::lock_guard lock(gateLock_);
        paused_ = false;
    }
    gateOpened_.notify_all();
}

void RunProgress::passGate()
{
    std::unique_lock lock(gateLock_);
    if (!paused_) {
        return;
    }
    ++held_;
    gateOpened_.wait(lock, [this] { return !paused_; });
    --held_;
}

bool RunProgress::mayContinue()
{
    passGate();
    return !isAbandoned();
}

int RunProgress::heldWorkers() const
{
    const std::lock_guard lock(gateLock_);
    return held_;
}

bool RunProgress::isPaused() const
{
    const std::lock_guard lock(gateLock_);
    return paused_;
}
