#pragma once
// Peers that stand in for printers in the tests: a loopback TCP printer that keeps the bytes
// of each connection, a child process runner (cupsd) and small waits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
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

// A network receipt printer on 127.0.0.1: every accepted connection is one job; the job's
// bytes are kept when the sender closes it.
class LoopbackPrinter {
  public:
    LoopbackPrinter() {
        listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        socklen_t len = sizeof(a);
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        ::listen(listen_fd_, 8);
        ::pipe(wake_);
        thread_ = std::thread([this] { Run(); });
    }
    ~LoopbackPrinter() {
        ::write(wake_[1], "x", 1);
        thread_.join();
        ::close(listen_fd_);
        ::close(wake_[0]);
        ::close(wake_[1]);
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
        struct Client {
            int fd;
            std::string bytes;
        };
        std::vector<Client> clients;
        for (;;) {
            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
            for (auto& c : clients) fds.push_back({c.fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 1000) < 0) continue;
            if (fds[0].revents) break;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) clients.push_back({fd, {}});
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!fds[i].revents) continue;
                Client& c = clients[i - 2];
                char buf[65536];
                const ssize_t n = ::recv(c.fd, buf, sizeof(buf), 0);
                if (n > 0) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (!first_byte_) first_byte_ = std::chrono::steady_clock::now();
                    c.bytes.append(buf, size_t(n));
                    continue;
                }
                ::close(c.fd);
                c.fd = -1;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    ++job_count_;
                    if (keep_jobs_) jobs_.push_back(std::move(c.bytes));
                }
                cv_.notify_all();
            }
            std::erase_if(clients, [](const Client& c) { return c.fd < 0; });
        }
        for (auto& c : clients) ::close(c.fd);
    }

    int listen_fd_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
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
