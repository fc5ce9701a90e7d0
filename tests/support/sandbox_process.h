#pragma once
// Starts the real tendrix-sandbox (from $TENDRIX_BIN_DIR) on 127.0.0.1 with a free port for
// one test and stops it when the object goes away.
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
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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

    // True once the sandbox listens; otherwise error() says why.
    bool ok() const { return port_ > 0; }
    const std::string& error() const { return error_; }
    // "http://127.0.0.1:PORT" ("https://" with --tls-cert), no trailing "/".
    const std::string& base_url() const { return base_url_; }
    int port() const { return port_; }

    // Stops the sandbox (SIGTERM, then SIGKILL after 5 s). Safe to call twice.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int waited = 0;
        while (::waitpid(pid_, nullptr, WNOHANG) != pid_ && ++waited < 500)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (waited == 500) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

  private:
    void Start(const Options& options) {
        const char* dir = std::getenv("TENDRIX_BIN_DIR");
        const std::string binary = std::string(dir ? dir : ".") + "/tendrix-sandbox";
        if (::access(binary.c_str(), X_OK) != 0) {
            error_ = "tendrix-sandbox not found at " + binary + " (build it; TENDRIX_BIN_DIR)";
            return;
        }
        std::vector<std::string> args = {binary, "--listen", "127.0.0.1:0"};
        if (!options.accounts_file.empty())
            args.insert(args.end(), {"--accounts", options.accounts_file});
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
        if (::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        // The first line, printed once the socket listens, names the address:
        // "listening on http://127.0.0.1:PORT". Connections made from then on are queued.
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + options.start_timeout;
        while (pid_ > 0 && line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{out[0], POLLIN, 0};
            char buf[256];
            ssize_t n = 0;
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
                (n = ::read(out[0], buf, sizeof buf)) <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
        ::close(out[0]);
        const size_t colon = line.rfind(':');
        const int port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        if (port <= 0) {
            error_ = "tendrix-sandbox did not start (output: " + line + ")";
            Stop();
            return;
        }
        port_ = port;
        const bool tls = line.find("https://") != std::string::npos;
        base_url_ = (tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port);
    }

    pid_t pid_ = -1;
    int port_ = 0;
    std::string base_url_;
    std::string error_;
};

}  // namespace tendrix::test
