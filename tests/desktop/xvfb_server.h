#pragma once
// Starts a private Xvfb (1366x768x24) on a free display for one test and stops it afterwards.
// Xvfb picks the display number itself (-displayfd), so parallel tests never collide. Also the
// process helpers of the desktop tests.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace tendrix::test {

// Reads from `fd` until `text` was seen or `ms` passed; returns everything read.
inline std::string ReadUntil(int fd, const std::string& text, int ms) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

// Starts argv[0] with extra environment entries; stdout goes to a pipe, stderr to /dev/null.
// `group`: process group to join (0: a new group of its own).
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   int* out_fd, pid_t group = 0) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, group);
        for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
        dup2(fds[1], 1);
        close(fds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    if (out_fd) {
        *out_fd = fds[0];
    } else {
        close(fds[0]);
    }
    return pid;
}

class XvfbServer {
  public:
    XvfbServer() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) {
            error_ = "Xvfb is not installed (package xvfb)";
            return;
        }
        int fd = -1;  // in the test's process group, so it ends with a test that is killed
        pid_ = Spawn({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1366x768x24",
                      "-nolisten", "tcp", "-noreset"},
                     {}, &fd, getpgrp());
        if (pid_ <= 0) {
            error_ = "Xvfb did not start";
            return;
        }
        // Xvfb writes the display number followed by a newline once it accepts clients.
        std::string number = ReadUntil(fd, "\n", 20000);
        close(fd);
        if (number.find('\n') == std::string::npos) {
            error_ = "Xvfb did not start";
            Stop();
            return;
        }
        display_ = ":" + number.substr(0, number.find('\n'));
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
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace tendrix::test
