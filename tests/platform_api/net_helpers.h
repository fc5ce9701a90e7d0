#pragma once
// A real tinyproxy for the transport tests, with or without basic authentication.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/loopback.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace tendrix::test {

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
            if (AcceptsOnLoopback(port_)) return true;
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
