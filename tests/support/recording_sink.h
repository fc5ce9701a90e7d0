#pragma once
// A command sink that records what workers send and post, thread-safe, with bounded waits.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/checkout_command.h"

namespace tendrix::test {

class RecordingSink : public common::CommandSink {
  public:
    struct Entry {
        common::CheckoutCommand cmd;
        std::string payload;
        bool posted;
    };
    void SendCommand(common::CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload), false);
    }
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload), true);
    }

    // Waits until `n` entries of `cmd` arrived (at most `timeout`); returns them all.
    std::vector<std::string> WaitFor(common::CheckoutCommand cmd, size_t n,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, timeout, [&] { return CountLocked(cmd) >= n; });
        return PayloadsLocked(cmd);
    }
    std::vector<std::string> Payloads(common::CheckoutCommand cmd) {
        std::lock_guard<std::mutex> lock(mutex_);
        return PayloadsLocked(cmd);
    }
    // All bytes of `cmd` payloads joined in arrival order.
    std::string Joined(common::CheckoutCommand cmd) {
        std::string all;
        for (const auto& p : Payloads(cmd)) all += p;
        return all;
    }
    // Waits until the joined payloads of `cmd` hold at least `bytes` bytes.
    std::string WaitForBytes(common::CheckoutCommand cmd, size_t bytes,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, timeout, [&] {
            size_t n = 0;
            for (const auto& e : entries_)
                if (e.cmd == cmd) n += e.payload.size();
            return n >= bytes;
        });
        std::string all;
        for (const auto& e : entries_)
            if (e.cmd == cmd) all += e.payload;
        return all;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.clear();
    }

  private:
    void Add(common::CheckoutCommand cmd, std::string payload, bool posted) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            entries_.push_back({cmd, std::move(payload), posted});
        }
        cv_.notify_all();
    }
    size_t CountLocked(common::CheckoutCommand cmd) const {
        size_t n = 0;
        for (const auto& e : entries_) n += e.cmd == cmd;
        return n;
    }
    std::vector<std::string> PayloadsLocked(common::CheckoutCommand cmd) const {
        std::vector<std::string> out;
        for (const auto& e : entries_)
            if (e.cmd == cmd) out.push_back(e.payload);
        return out;
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Entry> entries_;
};

}  // namespace tendrix::test
