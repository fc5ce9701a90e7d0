#pragma once
// Starts a private Xvfb (1366x768x24) on a free display for one test and stops it afterwards.
// Xvfb picks the display number itself (-displayfd), so parallel tests never collide.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tendrix::test {

class XvfbServer {
  public:
    XvfbServer() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) {
            error_ = "Xvfb is not installed (package xvfb)";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            error_ = "pipe failed";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) {
                dup2(devnull, 1);
                dup2(devnull, 2);
            }
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1366x768x24",
                  "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        // Xvfb writes the display number followed by a newline once it accepts clients.
        while (number.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (number.empty() || number.find('\n') == std::string::npos) {
            error_ = "Xvfb did not start";
            Stop();
            return;
        }
        number.resize(number.find('\n'));
        display_ = number;
        display_.insert(display_.begin(), ':');
    }
    ~XvfbServer() { Stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& display() const { return display_; }

  private:
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace tendrix::test
