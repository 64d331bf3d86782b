#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace vigiltron {

// The queue between a libcurl client and its worker thread, and the way the worker's results
// get back to the engine's thread. The client's own worker state derives from it.
template <class Job>
struct CurlWorker {
    // Runs a function on the engine's thread; must be safe to call from any thread.
    using Post = std::function<void(std::function<void()>)>;

    explicit CurlWorker(Post p) : post(std::move(p)) {}

    // Hands `work` to the engine's thread, unless the client is closing: then nobody is left to
    // receive it (and the loop behind `post` may be gone).
    void Deliver(std::function<void()> work) {
        const std::lock_guard lock(mutex);
        if (stopping) {
            return;
        }
        if (post) {
            post(std::move(work));
        } else {
            finished.push_back(std::move(work));
        }
    }

    // Worker: waits for the next job; none once the client is closing.
    std::optional<Job> NextJob() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (stopping) {
            return std::nullopt;
        }
        Job job = std::move(jobs.front());
        jobs.pop_front();
        return job;
    }

    // Worker: tells a closing client that the loop has ended.
    void LeaveLoop() {
        const std::lock_guard lock(mutex);
        workerDone = true;
        changed.notify_all();
    }

    // Engine: runs what arrived without `post`.
    void DeliverFinished() {
        std::deque<std::function<void()>> ready;
        {
            const std::lock_guard lock(mutex);
            ready.swap(finished);
        }
        for (auto& work : ready) {
            work();
        }
    }

    // Engine, when the client goes: drops the queued jobs and waits up to `wait` for the worker
    // to abandon the one in flight. One stuck beyond that (a name lookup that does not return)
    // is left to finish on its own, delivering nothing; libcurl then stays initialised for it.
    void Stop(std::thread& worker, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex);
        stopping = true;
        jobs.clear();
        changed.notify_all();
        if (!worker.joinable()) {
            lock.unlock();
            curl_global_cleanup();
            return;
        }
        const bool done = changed.wait_for(lock, wait, [this] { return workerDone; });
        lock.unlock();
        if (done) {
            worker.join();
            curl_global_cleanup();
        } else {
            worker.detach();
        }
    }

    const Post post;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::deque<std::function<void()>> finished;
    std::atomic<bool> stopping{false};
    bool workerDone = false;
};

}  // namespace vigiltron
