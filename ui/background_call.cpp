#include "ui/background_call.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tendrix::ui {
namespace {

// A handful of threads so that one exchange held for minutes by a slow platform does not
// hold up the others (a query while a login hangs). The pool lives as long as the process:
// at exit a thread may still be inside a request, and the process ends it there.
class BackgroundPool {
  public:
    static constexpr int kThreads = 4;

    void Post(std::function<void()> work) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
            ++pending_;
            if (started_<kThreads&& static_cast<int>(queue_.size())> idle_) {
                ++started_;
                std::thread([this] { Run(); }).detach();
            }
        }
        wake_.notify_one();
    }

    int pending() const { return pending_.load(); }

  private:
    void Run() {
        for (;;) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                ++idle_;
                wake_.wait(lock, [this] { return !queue_.empty(); });
                --idle_;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
            work = nullptr;
            --pending_;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    int started_ = 0;
    int idle_ = 0;
    std::atomic<int> pending_{0};
};

BackgroundPool& Pool() {
    static auto* pool = new BackgroundPool();  // never destroyed, see above
    return *pool;
}

}  // namespace

void PostBackgroundWork(std::function<void()> work) {
    Pool().Post(std::move(work));
}

int BackgroundJobsPending() {
    return Pool().pending();
}

}  // namespace tendrix::ui
