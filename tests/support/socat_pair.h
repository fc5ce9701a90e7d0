#pragma once
// Two linked pseudo terminals made by socat, for serial port tests.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace tendrix::test {

// Two linked pseudo terminals made by socat: bytes written to one end come out of the other.
class SocatPair {
  public:
    SocatPair(const std::string& dir, const std::string& name)
        : a_(dir + name + "-a"), b_(dir + name + "-b") {
        pid_ = fork();
        if (pid_ == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) dup2(devnull, 2);
            const std::string pa = "pty,raw,echo=0,link=" + a_;
            const std::string pb = "pty,raw,echo=0,link=" + b_;
            execlp("socat", "socat", pa.c_str(), pb.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 300 && !Ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SocatPair() { Stop(); }
    SocatPair(const SocatPair&) = delete;
    SocatPair& operator=(const SocatPair&) = delete;

    bool Ready() const { return std::filesystem::exists(a_) && std::filesystem::exists(b_); }
    // Ends socat: both ends hang up (a port unplugged).
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    const std::string& a() const { return a_; }
    const std::string& b() const { return b_; }

    static bool Available() { return system("command -v socat >/dev/null 2>&1") == 0; }

  private:
    std::string a_, b_;
    pid_t pid_ = -1;
};

}  // namespace tendrix::test
