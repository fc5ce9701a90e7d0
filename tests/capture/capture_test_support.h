#pragma once
// Test peers for the capture tests: a command sink that records what workers post, and a
// socat pty pair.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/checkout_command.h"

namespace tendrix::test {

// The build's bin/ folder with a trailing '/' (TENDRIX_BIN_DIR), or "" to search the usual paths.
inline std::string BinDir() {
    const char* dir = std::getenv("TENDRIX_BIN_DIR");
    return dir ? std::string(dir) + "/" : std::string();
}

class RecordingSink : public CommandSink {
  public:
    struct Entry {
        CheckoutCommand cmd;
        std::string payload;
        bool posted;
    };
    void SendCommand(CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload), false);
    }
    void PostCommand(CheckoutCommand cmd, std::string payload) override {
        Add(cmd, std::move(payload), true);
    }

    // Waits until `n` entries of `cmd` arrived (at most `timeout`); returns them all.
    std::vector<std::string> WaitFor(CheckoutCommand cmd, size_t n,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, timeout, [&] { return CountLocked(cmd) >= n; });
        return PayloadsLocked(cmd);
    }
    std::vector<std::string> Payloads(CheckoutCommand cmd) {
        std::lock_guard<std::mutex> lock(mutex_);
        return PayloadsLocked(cmd);
    }
    // All bytes of `cmd` payloads joined in arrival order.
    std::string Joined(CheckoutCommand cmd) {
        std::string all;
        for (const auto& p : Payloads(cmd)) all += p;
        return all;
    }
    // Waits until the joined payloads of `cmd` hold at least `bytes` bytes.
    std::string WaitForBytes(CheckoutCommand cmd, size_t bytes,
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
    void Add(CheckoutCommand cmd, std::string payload, bool posted) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            entries_.push_back({cmd, std::move(payload), posted});
        }
        cv_.notify_all();
    }
    size_t CountLocked(CheckoutCommand cmd) const {
        size_t n = 0;
        for (const auto& e : entries_) n += e.cmd == cmd;
        return n;
    }
    std::vector<std::string> PayloadsLocked(CheckoutCommand cmd) const {
        std::vector<std::string> out;
        for (const auto& e : entries_)
            if (e.cmd == cmd) out.push_back(e.payload);
        return out;
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Entry> entries_;
};

// Two linked pseudo terminals made by socat: bytes written to one end come out of the other.
class SocatPair {
  public:
    SocatPair(const std::string& dir, const std::string& name)
        : a_(dir + name + "-a"), b_(dir + name + "-b") {
        pid_ = fork();
        if (pid_ == 0) {
            const std::string pa = "pty,raw,echo=0,link=" + a_;
            const std::string pb = "pty,raw,echo=0,link=" + b_;
            execlp("socat", "socat", pa.c_str(), pb.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 300 && !Ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SocatPair() { Stop(); }
    SocatPair(const SocatPair&) = delete;
    SocatPair& operator=(const SocatPair&) = delete;

    bool Ready() const { return std::filesystem::exists(a_) && std::filesystem::exists(b_); }
    // Ends socat: both ends hang up (a port unplugged).
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    const std::string& a() const { return a_; }
    const std::string& b() const { return b_; }

    static bool Available() { return system("command -v socat >/dev/null 2>&1") == 0; }

  private:
    std::string a_, b_;
    pid_t pid_ = -1;
};

}  // namespace tendrix::test
