#include "common/thread.h"

namespace tendrix::common {

Thread::~Thread() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // self-deletion on the thread itself
        } else {
            thread_.join();
        }
    }
}

bool Thread::Start() {
    if (started_) return false;
    started_ = true;
    if (self_delete_) {
        // Detach before the thread can run: it may delete this object at any moment.
        std::thread(&Thread::Entry, this).detach();
    } else {
        thread_ = std::thread(&Thread::Entry, this);
    }
    return true;
}

void Thread::Wait() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::Entry(Thread* self) {
    self->Run();
    if (self->self_delete_) {
        delete self;
        return;
    }
    self->finished_.store(true);
}

}  // namespace tendrix::common
