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
    void SendCommand(common::CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload));
    }
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload));
    }

    // Waits until `n` entries of `cmd` arrived (at most `timeout`); returns them all.
    std::vector<std::string> WaitFor(common::CheckoutCommand cmd, size_t n,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return WaitUntil(cmd, timeout, [n](const auto& payloads) { return payloads.size() >= n; });
    }
    std::vector<std::string> Payloads(common::CheckoutCommand cmd) { return WaitFor(cmd, 0); }
    // Waits until the joined payloads of `cmd` hold at least `bytes` bytes; returns them joined
    // in arrival order.
    std::string WaitForBytes(common::CheckoutCommand cmd, size_t bytes,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return Join(
            WaitUntil(cmd, timeout, [&](const auto& p) { return Join(p).size() >= bytes; }));
    }
    std::string Joined(common::CheckoutCommand cmd) { return WaitForBytes(cmd, 0); }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.clear();
    }

  private:
    void Add(common::CheckoutCommand cmd, std::string payload) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            entries_.emplace_back(cmd, std::move(payload));
        }
        cv_.notify_all();
    }
    // The payloads of `cmd` once `done(payloads)` holds or `timeout` passed.
    template <typename Done>
    std::vector<std::string> WaitUntil(common::CheckoutCommand cmd,
                                       std::chrono::milliseconds timeout, Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        cv_.wait_for(lock, timeout, [&] {
            out.clear();
            for (const auto& [c, payload] : entries_)
                if (c == cmd) out.push_back(payload);
            return done(out);
        });
        return out;
    }
    static std::string Join(const std::vector<std::string>& parts) {
        std::string all;
        for (const auto& p : parts) all += p;
        return all;
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<common::CheckoutCommand, std::string>> entries_;
};

}  // namespace tendrix::test
