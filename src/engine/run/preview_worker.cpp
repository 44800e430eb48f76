#include "engine/run/preview_worker.h"

#include <utility>

PreviewWorker::PreviewWorker(Delivery deliver) : deliver_(std::move(deliver)), thread_([this] { work(); }) {}

PreviewWorker::~PreviewWorker()
{
    {
        const std::lock_guard guard(lock_);
        stopping_ = true;
        waiting_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t PreviewWorker::request(PreviewRequest request)
{
    std::uint64_t number = 0;
    {
        const std::lock_guard guard(lock_);
        waiting_ = std::move(request);
        number = ++newest_;
    }
    wake_.notify_all();
    return number;
}

void PreviewWorker::abandon()
{
    const std::lock_guard guard(lock_);
    waiting_.reset();
    ++newest_;
}

std::uint64_t PreviewWorker::newest() const
{
    const std::lock_guard guard(lock_);
    return newest_;
}

bool PreviewWorker::supersedes(std::uint64_t number) const
{
    const std::lock_guard guard(lock_);
    return stopping_ || newest_ != number;
}

void PreviewWorker::run(const PreviewRequest& request, std::uint64_t number)
{
    const auto stale = [this, number] { return supersedes(number); };
    const auto firstLook = [this, number](const PagePreview& look) { deliver_(number, look); };
    const PagePreview preview = previewPage(request, firstLook, stale);
    if (!stale()) {
        deliver_(number, preview);
    }
}

void PreviewWorker::work()
{
    Job current;
    Job retired; // abandoned, finishing a stage that cannot stop midway
    const auto finish = [](Job& job) {
        if (job.thread.joinable()) {
            job.thread.join();
        }
    };
    for (;;) {
        PreviewRequest request;
        std::uint64_t number = 0;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_) {
                break;
            }
            request = std::move(*waiting_);
            waiting_.reset();
            number = newest_;
        }
        if (current.thread.joinable() && !*current.done) {
            // A third request waits for the oldest: no more than two pages are ever held.
            finish(retired);
            retired = std::move(current);
        }
        finish(current);
        current.done = std::make_shared<std::atomic<bool>>(false);
        current.thread = std::thread([this, request = std::move(request), number, done = current.done] {
            run(request, number);
            *done = true;
        });
    }
    finish(current);
    finish(retired);
}
