#include "common/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "common/serial_chunk.h"
#include "common/thread_message_queue.h"

using namespace tendrix;
using namespace tendrix::common;
using namespace std::chrono_literals;

namespace {

class Counter : public Thread {
  public:
    explicit Counter(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
    ~Counter() override {
        Wait();
        if (destroyed_) ++*destroyed_;
    }
    ThreadMessageQueue queue;
    std::atomic<int> sum{0};

  protected:
    void Run() override {
        for (;;) {
            ThreadMessage m = queue.Wait();
            if (m.id == 0) return;
            sum += static_cast<int>(m.payload.size());
        }
    }

  private:
    std::atomic<int>* destroyed_;
};

}  // namespace

TEST(Thread, OwnedThreadIsJoinedAndSeesEveryMessage) {
    Counter t(nullptr);
    t.SetSelfDeletion(false);
    EXPECT_FALSE(t.Started());
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Start());
    std::string buf = "abc";
    t.queue.Post(1, buf);
    buf.assign("zzzzzzzz");  // the message owns its copy
    t.queue.Post(1, "de");
    t.queue.Post(0);
    t.Wait();
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.sum.load(), 5);
}

TEST(Thread, SelfDeletingThreadDeletesItself) {
    std::atomic<int> destroyed{0};
    auto* t = new Counter(&destroyed);
    t->Start();
    t->queue.Post(0);
    for (int i = 0; i < 500 && destroyed.load() == 0; ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(Thread, NeverStartedThreadIsDestroyedWithoutWaiting) {
    std::atomic<int> destroyed{0};
    { Counter t(&destroyed); }
    EXPECT_EQ(destroyed.load(), 1);
}

TEST(ThreadMessageQueue, WaitForTimesOut) {
    ThreadMessageQueue q;
    EXPECT_FALSE(q.WaitFor(5ms).has_value());
    q.Post(1125);
    auto m = q.WaitFor(5ms);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->id, 1125u);
}

TEST(SerialChunk, KeepsAtMost500BytesZeroTerminated) {
    SerialChunk small(std::string_view("12.30\0x", 7));
    EXPECT_EQ(small.size(), 7u);
    EXPECT_EQ(small.c_str()[7], '\0');
    SerialChunk big(std::string(700, 'a'));
    EXPECT_EQ(big.size(), 500u);
    EXPECT_EQ(std::string(big.c_str()).size(), 500u);
}
