#pragma once
// Loopback peers for the transport tests: a free port, a port that listens but never
// answers, and a real tinyproxy (with or without basic authentication).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace tendrix::test {

inline int BindLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
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

// Accepts connections into its backlog and never reads or answers.
class SilentServer {
  public:
    SilentServer() {
        fd_ = BindLoopback(port_);
        if (fd_ >= 0) ::listen(fd_, 16);
    }
    ~SilentServer() {
        if (fd_ >= 0) ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    int fd_ = -1;
    int port_ = 0;
};

class TinyproxyProcess {
  public:
    // user/password empty: no authentication.
    TinyproxyProcess(const std::string& user, const std::string& password) {
        if (::access("/usr/bin/tinyproxy", X_OK) != 0) {
            error_ = "tinyproxy is not installed";
            return;
        }
        port_ = ClosedPort();
        std::ofstream conf(dir_ / "tinyproxy.conf");
        if (::geteuid() == 0) conf << "User nobody\nGroup nogroup\n";
        conf << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
             << "Allow 127.0.0.1\nLogLevel Info\n";
        if (!user.empty()) conf << "BasicAuth " << user << " " << password << "\n";
        conf.close();
        const std::string conf_path = dir_ / "tinyproxy.conf";
        log_path_ = dir_ / "tinyproxy.log";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log_path_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const char* argv[] = {"/usr/bin/tinyproxy", "-d", "-c", conf_path.c_str(), nullptr};
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ)) {
            pid_ = -1;
            error_ = "cannot start tinyproxy";
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pid_ > 0 && !WaitListening()) error_ = "tinyproxy did not listen: " + Log();
    }
    ~TinyproxyProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    std::string Log() const {
        std::ifstream in(log_path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    bool WaitListening() {
        for (int i = 0; i < 500; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<uint16_t>(port_));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            ::close(fd);
            if (up) return true;
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempDir dir_;
    std::string log_path_;
    std::string error_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace tendrix::test
