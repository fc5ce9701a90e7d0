#pragma once
// Peers that stand in for printers in the tests: a loopback TCP printer that keeps the bytes
// of each connection, a child process runner (cupsd) and small waits.
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/loopback.h"

extern char** environ;

namespace tendrix::test {

// Polls `done` every 10 ms for at most `limit`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A network receipt printer on 127.0.0.1: every accepted connection is one job, taken one
// after the other; the job's bytes are kept when the sender closes it.
class LoopbackPrinter {
  public:
    LoopbackPrinter() : listen_fd_(BindLoopback(port_, true)), thread_([this] { Run(); }) {}
    ~LoopbackPrinter() {
        ::shutdown(listen_fd_, SHUT_RDWR);         // wakes accept()
        ::shutdown(client_fd_.load(), SHUT_RDWR);  // and a job still open
        thread_.join();
        ::close(listen_fd_);
    }
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    // The bytes of the first `n` finished jobs, waiting for them at most `limit`.
    std::vector<std::string> Jobs(size_t n,
                                  std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, limit, [&] { return jobs_.size() >= n; });
        return jobs_;
    }
    size_t JobCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return job_count_;
    }
    // Long runs: count the jobs without keeping their bytes.
    void KeepJobs(bool keep) {
        std::lock_guard<std::mutex> lock(mutex_);
        keep_jobs_ = keep;
    }
    // When the first byte of any job arrived.
    std::optional<std::chrono::steady_clock::time_point> FirstByte() {
        std::lock_guard<std::mutex> lock(mutex_);
        return first_byte_;
    }
    void ResetFirstByte() {
        std::lock_guard<std::mutex> lock(mutex_);
        first_byte_.reset();
    }

  private:
    void Run() {
        for (int fd; (fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            client_fd_ = fd;
            std::string bytes;
            char buf[65536];
            for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!first_byte_) first_byte_ = std::chrono::steady_clock::now();
                bytes.append(buf, size_t(n));
            }
            client_fd_ = -1;
            ::close(fd);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++job_count_;
                if (keep_jobs_) jobs_.push_back(std::move(bytes));
            }
            cv_.notify_all();
        }
    }

    int port_ = 0;
    const int listen_fd_;
    std::atomic<int> client_fd_{-1};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> jobs_;
    size_t job_count_ = 0;
    bool keep_jobs_ = true;
    std::optional<std::chrono::steady_clock::time_point> first_byte_;
};

// A child process (cupsd, lpadmin), stopped by its pid when the object goes.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) pid_ = -1;
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Waits for the end: the exit status (-1 when it could not start or did not exit).
    int Wait() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(std::exchange(pid_, -1), &status, 0) < 0) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
};

inline bool ProgramExists(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

// Runs a command to its end; its exit status (-1 when it could not start).
inline int RunCommand(const std::vector<std::string>& argv) {
    return ChildProcess(argv).Wait();
}

inline std::string PluginPath() {
    const char* bin = std::getenv("TENDRIX_BIN_DIR");
    return std::string(bin ? bin : ".") + "/libPOSDLL.so";
}

}  // namespace tendrix::test
