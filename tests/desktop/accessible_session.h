#pragma once
// A private desktop session for the accessibility-bus tests: Xvfb, a session D-Bus of its own
// and the AT-SPI bus launcher (accessibility switched on), exported through DISPLAY and
// DBUS_SESSION_BUS_ADDRESS for this process. Plus the test programs that show controls on it.
#include <map>
#include <sstream>
#include <thread>

#include "desktop/atspi_window_text.h"
#include "desktop/desktop_services.h"
#include "tests/desktop/xvfb_server.h"

namespace tendrix::test {

using namespace tendrix::desktop;

class AccessibleSession {
  public:
    AccessibleSession() {
        for (const char* tool : {"/usr/bin/dbus-daemon", "/usr/libexec/at-spi-bus-launcher"}) {
            if (access(tool, X_OK) != 0) {
                error_ = std::string(tool) + " is missing (packages dbus, at-spi2-core)";
                return;
            }
        }
        if (!xvfb_.ok()) {
            error_ = xvfb_.error();
            return;
        }
        setenv("DISPLAY", xvfb_.display().c_str(), 1);
        int fd = -1;
        // The session bus and everything it starts share one process group, ended as one.
        bus_ = Spawn(
            {"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
            {}, &fd);
        if (bus_ <= 0) {
            error_ = "dbus-daemon did not start";
            return;
        }
        std::string address = ReadUntil(fd, "\n", 10000);
        close(fd);
        if (address.find('\n') == std::string::npos) {
            error_ = "dbus-daemon gave no address";
            return;
        }
        address.resize(address.find('\n'));
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        Spawn({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately", "--a11y=1"}, {}, nullptr,
              bus_);
        for (int i = 0; i < 100 && !AccessibilityBusRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!AccessibilityBusRunning(&error_)) return;
        error_.clear();
        ok_ = true;
    }
    ~AccessibleSession() {
        if (bus_ > 0) {
            kill(-bus_, SIGTERM);
            waitpid(bus_, nullptr, 0);
        }
    }
    AccessibleSession(const AccessibleSession&) = delete;
    AccessibleSession& operator=(const AccessibleSession&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& display() const { return xvfb_.display(); }

  private:
    XvfbServer xvfb_;
    pid_t bus_ = -1;
    bool ok_ = false;
    std::string error_;
};

// A test program showing controls; it reports "NAME X Y" lines and "ready".
class ControlsProgram {
  public:
    ControlsProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
        int fd = -1;
        pid_ = Spawn(argv, env, &fd, 0);
        if (pid_ <= 0) return;
        const std::string out = ReadUntil(fd, "ready", 20000);
        close(fd);
        std::istringstream lines(out);
        std::string name;
        int x = 0, y = 0;
        while (lines >> name && name != "ready" && lines >> x >> y) centres_[name] = {x, y};
        ready_ = out.find("ready") != std::string::npos;
    }
    ~ControlsProgram() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ControlsProgram(const ControlsProgram&) = delete;
    ControlsProgram& operator=(const ControlsProgram&) = delete;

    bool ready() const { return ready_; }
    ScreenPoint Centre(const std::string& name) const {
        auto it = centres_.find(name);
        return it == centres_.end() ? ScreenPoint{-1, -1} : it->second;
    }
    void Pause() { kill(pid_, SIGSTOP); }
    void Resume() { kill(pid_, SIGCONT); }

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
    std::map<std::string, ScreenPoint> centres_;
};

}  // namespace tendrix::test
