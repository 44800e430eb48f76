#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>

// What a worker (conversion, folder import, list import, list export) shares with the thread
// that started it. The fields are guarded by progressLock; use the member functions, which take
// the lock, or lock progressLock yourself around direct access.
//
// A starter calls start() before launching the worker, may call stop() to make the worker end
// after the item in hand (or abandon() to drop the item in hand as well), and reads
// convertedCount once the worker thread has been joined.
struct RunProgress {
    mutable std::mutex progressLock;
    std::int32_t processedCount = 0; // items taken up so far, counting the one in hand
    QString currentFile;             // file being converted; empty for the list tasks
    std::int32_t convertedCount = 0; // files converted, files added, or lines written
    bool running = false;            // the worker takes up a next item only while set

    struct Snapshot {
        std::int32_t processedCount = 0;
        QString currentFile;
        std::int32_t convertedCount = 0;
        bool running = false;
    };

    // 0, empty, 0, running; also opens the pause gate.
    void start();
    // Asks the worker to end after the item in hand.
    void stop();
    // Asks the worker to end at once: no new item, and the item in hand is dropped at its next
    // gate (mayContinue()). A conversion leaves no page of it half written: the page in hand is
    // never saved, pages saved before stay.
    void abandon();
    bool isAbandoned() const;
    bool isRunning() const;
    Snapshot snapshot() const;
    void setProcessed(std::int32_t count, const QString& file = QString());
    void addConverted(std::int32_t count);

    // The pause gate: while paused, a worker blocks in passGate() (which it calls between items)
    // until resume(). The progress window pauses the worker while it asks whether to stop.
    void pause();
    void resume();
    void passGate();
    bool isPaused() const;
    // The gate inside an item (between the pages of a file and the steps of a page): waits while
    // paused, then false when the item in hand is to be abandoned.
    bool mayContinue();
    // How many worker threads wait at the gate now.
    int heldWorkers() const;

  private:
    mutable std::mutex gateLock_;
    std::condition_variable gateOpened_;
    bool paused_ = false;
    bool abandoned_ = false;
    int held_ = 0;
};
