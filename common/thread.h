#pragma once
// Worker-thread base class. A Thread is created suspended; Start() launches Run().
// When Run() returns the thread deletes the object if self-deletion is on (the default),
// then marks itself finished.
//
// Safety rules that the original lifecycle left open:
//  - A derived class that owns the object (self-deletion off) must call Wait() from its own
//    destructor after telling Run() to stop, so Run() never sees a half-destroyed object;
//    ~Thread() waits as a last resort.
//  - A self-deleting thread is detached and deletes itself on its own thread; nobody else
//    may delete it once started.
//  - Destroying a Thread that was never started does not wait.
#include <atomic>
#include <thread>

namespace tendrix::common {

class Thread {
  public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread();

    // Launches the thread. Returns false if it was already started.
    bool Start();
    // Blocks until Run() has returned (no-op if never started or self-deleting).
    void Wait();

    void SetSelfDeletion(bool on) { self_delete_ = on; }
    bool SelfDeletion() const { return self_delete_; }
    bool Started() const { return started_; }
    bool Finished() const { return finished_.load(); }

  protected:
    virtual void Run() = 0;

  private:
    static void Entry(Thread* self);

    std::thread thread_;
    bool started_ = false;
    bool self_delete_ = true;
    std::atomic<bool> finished_{false};
};

}  // namespace tendrix::common
