#pragma once
// Loopback sockets for the network tests: a bound port, a port nobody listens on, and a
// server that takes connections into its backlog and never reads or answers (a platform or
// printer that hangs).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace tendrix::test {

// A socket bound to 127.0.0.1 on a free port (listening when asked); -1 on failure.
inline int BindLoopback(int& port, bool listening = false) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (listening && ::listen(fd, 16) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// A port nobody listens on (bound, then released).
inline int ClosedPort() {
    int port = 0;
    const int fd = BindLoopback(port);
    if (fd >= 0) ::close(fd);
    return port;
}

// Connects fd to 127.0.0.1:port.
inline bool ConnectLoopback(int fd, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

// True when something accepts connections on 127.0.0.1:port.
inline bool AcceptsOnLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool up = ConnectLoopback(fd, port);
    ::close(fd);
    return up;
}

inline std::string LoopbackUrl(int port) {
    return "http://127.0.0.1:" + std::to_string(port);
}

class SilentServer {
  public:
    SilentServer() { fd_ = BindLoopback(port_, true); }
    ~SilentServer() {
        if (fd_ >= 0) ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool ok() const { return fd_ >= 0; }
    std::string base_url() const { return LoopbackUrl(port_); }

  private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace tendrix::test
