#pragma once
// A worker thread's message queue: the replacement for Windows thread messages.
// Messages own their payload, so a sender may reuse its buffers at once.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace tendrix::common {

struct ThreadMessage {
    unsigned id = 0;      // message number (e.g. 1124, 1125, 1126)
    int64_t param = 0;    // small integer argument
    std::string payload;  // owned bytes
};

class ThreadMessageQueue {
  public:
    // Notifies while holding the lock: the receiver may end and destroy the queue (a
    // self-deleting thread) as soon as it has the message, so the sender must not touch the
    // condition variable after unlocking.
    void Post(ThreadMessage msg) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(msg));
        cv_.notify_one();
    }
    void Post(unsigned id, std::string payload = {}, int64_t param = 0) {
        Post(ThreadMessage{id, param, std::move(payload)});
    }

    // Blocks until a message arrives.
    ThreadMessage Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return !queue_.empty(); });
        return PopLocked();
    }

    // Waits at most `timeout`; empty when nothing arrived.
    template <typename Rep, typename Period>
    std::optional<ThreadMessage> WaitFor(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [&] { return !queue_.empty(); })) return std::nullopt;
        return PopLocked();
    }

    std::optional<ThreadMessage> TryGet() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return std::nullopt;
        return PopLocked();
    }

    size_t Size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

  private:
    ThreadMessage PopLocked() {
        ThreadMessage m = std::move(queue_.front());
        queue_.pop_front();
        return m;
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<ThreadMessage> queue_;
};

}  // namespace tendrix::common
