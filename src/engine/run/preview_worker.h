#pragma once

#include "engine/run/page_preview.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Works out previews off the caller's thread. A request made while another is being worked on
// replaces any request still waiting, and the one in hand is abandoned at its next stage: only the
// newest request's results are delivered. Some stages of a huge page cannot stop midway (a writer
// at work), so the newest request starts at once beside an abandoned one still finishing its stage;
// at most one abandoned request runs beside it. Results go to `deliver` on the thread of their
// request, with the number request() returned; the receiver hands them to its own thread.
class PreviewWorker {
  public:
    using Delivery = std::function<void(std::uint64_t requestNumber, const PagePreview& preview)>;

    explicit PreviewWorker(Delivery deliver);
    // Waits for the pages in hand to reach their next stage; nothing is delivered after this.
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    // Queues the request in place of any waiting one; returns its number (counting from 1).
    std::uint64_t request(PreviewRequest request);

    // Drops the waiting request and abandons the one in hand; nothing more is delivered until the
    // next request.
    void abandon();

    // The number of the newest request.
    std::uint64_t newest() const;

  private:
    // One request on a thread of its own.
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void work();
    void run(const PreviewRequest& request, std::uint64_t number);
    bool supersedes(std::uint64_t number) const;

    Delivery deliver_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::optional<PreviewRequest> waiting_;
    std::uint64_t newest_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
