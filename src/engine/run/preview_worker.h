#pragma once

#include "engine/run/page_preview.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Works out previews on a thread of its own, one at a time. A request made while another is being
// worked on replaces any request still waiting, and the one in hand is abandoned at its next stage:
// only the newest request's results are delivered. Results go to `deliver` on the worker thread,
// with the number request() returned; the receiver hands them to its own thread.
class PreviewWorker {
  public:
    using Delivery = std::function<void(std::uint64_t requestNumber, const PagePreview& preview)>;

    explicit PreviewWorker(Delivery deliver);
    // Waits for the page in hand to reach its next stage; nothing is delivered after this.
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
    void work();
    bool supersedes(std::uint64_t number) const;

    Delivery deliver_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::optional<PreviewRequest> waiting_;
    std::uint64_t newest_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
