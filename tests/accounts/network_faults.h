#pragma once
// A relay on 127.0.0.1 that carries the first request to the sandbox, then goes away: a
// second request on the same (kept-alive) connection finds it closed, and every later
// connection is refused (the network drops after the login).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/loopback.h"

namespace tendrix::test {

class OneConnectionRelay {
  public:
    explicit OneConnectionRelay(int target_port) : target_port_(target_port) {
        listen_fd_ = BindLoopback(port_, true);
        if (listen_fd_ >= 0) thread_ = std::thread([this] { Run(); });
    }
    ~OneConnectionRelay() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listen_fd_ >= 0) ::close(listen_fd_);
    }
    bool ok() const { return listen_fd_ >= 0; }
    std::string base_url() const { return LoopbackUrl(port_); }

  private:
    void Run() {
        pollfd wait{listen_fd_, POLLIN, 0};
        while (!stop_ && ::poll(&wait, 1, 50) == 0) {
        }
        if (stop_) return;
        const int client = ::accept(listen_fd_, nullptr, nullptr);
        // Gone after one connection: later ones are refused.
        ::close(listen_fd_);
        listen_fd_ = -1;
        if (client < 0) return;
        const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (ConnectLoopback(upstream, target_port_)) Pump(client, upstream);
        ::close(upstream);
        ::close(client);
    }

    // a: the client, b: the sandbox.
    void Pump(int a, int b) {
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        char buffer[16384];
        bool answered = false;
        while (!stop_) {
            if (::poll(fds, 2, 50) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) return;
                if (i == 1) answered = true;
                if (i == 0 && answered) return;  // a second request: the line is down
                const int to = fds[1 - i].fd;
                for (ssize_t sent = 0; sent < n;) {
                    const ssize_t w = ::write(to, buffer + sent, static_cast<size_t>(n - sent));
                    if (w <= 0) return;
                    sent += w;
                }
            }
        }
    }

    int target_port_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace tendrix::test
