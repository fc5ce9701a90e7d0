#pragma once
// Starts the real tendrix-sandbox (from $TENDRIX_BIN_DIR) on 127.0.0.1 with a free port for
// one test, waits until it answers, and stops it when the object goes away.
//
//   tendrix::test::SandboxProcess sandbox;
//   if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
//   PlatformClient client("", "", "", "", sandbox.base_url());
//
// Options: an accounts file and extra arguments (e.g. {"--late-answer-ms", "1500"}).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback.h"

extern char** environ;

namespace tendrix::test {

class SandboxProcess {
  public:
    struct Options {
        std::string accounts_file;            // --accounts FILE when not empty
        std::vector<std::string> extra_args;  // appended as they are
        std::chrono::milliseconds start_timeout{15000};
    };

    SandboxProcess() : SandboxProcess(Options{}) {}
    explicit SandboxProcess(const Options& options) { Start(options); }
    ~SandboxProcess() { Stop(); }
    SandboxProcess(const SandboxProcess&) = delete;
    SandboxProcess& operator=(const SandboxProcess&) = delete;

    // True once the sandbox listens and answers; otherwise error() says why.
    bool ok() const { return port_ > 0; }
    const std::string& error() const { return error_; }
    // "http://127.0.0.1:PORT" ("https://" with --tls-cert), no trailing "/".
    const std::string& base_url() const { return base_url_; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

    static std::string BinaryPath() {
        const char* dir = std::getenv("TENDRIX_BIN_DIR");
        return std::string(dir ? dir : ".") + "/tendrix-sandbox";
    }

    // Stops the sandbox (SIGTERM, then SIGKILL after 5 s). Safe to call twice.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    void Start(const Options& options) {
        const std::string binary = BinaryPath();
        if (::access(binary.c_str(), X_OK) != 0) {
            error_ = "tendrix-sandbox not found at " + binary + " (build it; TENDRIX_BIN_DIR)";
            return;
        }
        std::vector<std::string> args = {binary, "--listen", "127.0.0.1:0"};
        if (!options.accounts_file.empty()) {
            args.push_back("--accounts");
            args.push_back(options.accounts_file);
        }
        args.insert(args.end(), options.extra_args.begin(), options.extra_args.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            error_ = "pipe failed";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const int rc =
            ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            pid_ = -1;
            error_ = "cannot start " + binary;
            return;
        }
        // The first line names the address: "listening on http://127.0.0.1:PORT".
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + options.start_timeout;
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{out[0], POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[256];
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<size_t>(n));
        }
        ::close(out[0]);
        const size_t colon = line.rfind(':');
        const int port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        const bool tls = line.find("https://") != std::string::npos;
        if (port <= 0 || !(tls ? Accepts(port, deadline) : Answers(port, deadline))) {
            error_ = "tendrix-sandbox did not start (output: " + line + ")";
            Stop();
            return;
        }
        port_ = port;
        base_url_ = (tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port);
    }

    // An HTTPS sandbox: the port takes connections (the greeting would need a TLS client).
    static bool Accepts(int port, std::chrono::steady_clock::time_point deadline) {
        while (std::chrono::steady_clock::now() < deadline) {
            if (AcceptsOnLoopback(port)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Sends GET / until the sandbox's greeting comes back.
    static bool Answers(int port, std::chrono::steady_clock::time_point deadline) {
        while (std::chrono::steady_clock::now() < deadline) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            bool answered = false;
            if (ConnectLoopback(fd, port)) {
                const char request[] =
                    "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
                if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) > 0) {
                    std::string reply;
                    char buf[512];
                    pollfd p{fd, POLLIN, 0};
                    while (::poll(&p, 1, 2000) > 0) {
                        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                        if (n <= 0) break;
                        reply.append(buf, static_cast<size_t>(n));
                    }
                    answered = reply.find("tendrix-sandbox") != std::string::npos;
                }
            }
            ::close(fd);
            if (answered) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    pid_t pid_ = -1;
    int port_ = 0;
    std::string base_url_;
    std::string error_;
};

}  // namespace tendrix::test
