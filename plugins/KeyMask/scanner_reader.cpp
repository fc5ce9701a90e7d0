#include "plugins/KeyMask/scanner_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace tendrix::plugins::keymask {
namespace {

bool NameLooksLikeScanner(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.find("barcode") != std::string::npos || name.find("scanner") != std::string::npos;
}

// True while any key of the device is down (false when the device cannot say).
bool AnyKeyHeld(int fd) {
    unsigned char bits[KEY_MAX / 8 + 1] = {};
    if (ioctl(fd, EVIOCGKEY(sizeof bits), bits) < 0) return false;
    for (unsigned char b : bits) {
        if (b) return true;
    }
    return false;
}

}  // namespace

std::string FindScannerDevice(const std::string& sysfs_input, const std::string& dev_input) {
    DIR* dir = opendir(sysfs_input.c_str());
    if (!dir) return {};
    std::vector<std::string> events;
    while (dirent* e = readdir(dir)) {
        if (std::strncmp(e->d_name, "event", 5) == 0) events.push_back(e->d_name);
    }
    closedir(dir);
    // event2 before event10.
    std::sort(events.begin(), events.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const std::string& ev : events) {
        std::ifstream in(sysfs_input + "/" + ev + "/device/name");
        std::string name;
        std::getline(in, name);
        if (NameLooksLikeScanner(name)) return dev_input + "/" + ev;
    }
    return {};
}

ScannerReader::ScannerReader(std::string device, Deliver deliver, std::string sysfs_input,
                             std::string dev_input)
    : device_(std::move(device)),
      deliver_(std::move(deliver)),
      sysfs_input_(std::move(sysfs_input)),
      dev_input_(std::move(dev_input)) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

ScannerReader::~ScannerReader() {
    Stop();
    for (int fd : wake_) {
        if (fd >= 0) close(fd);
    }
}

void ScannerReader::Start() {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
}

void ScannerReader::Stop() {
    stop_ = true;
    Wake();
    if (thread_.joinable()) thread_.join();
}

void ScannerReader::SetShield(bool shield) {
    shield_ = shield;
    Wake();
}

std::string ScannerReader::OpenDevice() const {
    std::lock_guard<std::mutex> lock(path_mu_);
    return open_path_;
}

void ScannerReader::Wake() {
    if (wake_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = write(wake_[1], &b, 1);
    }
}

// Sleeps up to `timeout_ms` unless woken; false when stopping.
bool ScannerReader::WaitWake(int timeout_ms) {
    pollfd p{wake_[0], POLLIN, 0};
    if (poll(&p, 1, timeout_ms) > 0) {
        char buf[64];
        while (read(wake_[0], buf, sizeof buf) > 0) {
        }
    }
    return !stop_;
}

bool ScannerReader::OpenDeviceLocked() {
    const std::string path =
        device_.empty() ? FindScannerDevice(sysfs_input_, dev_input_) : device_;
    if (path.empty()) {
        ReportOnce("no input device named like a barcode scanner was found");
        return false;
    }
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        ReportOnce("cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    last_report_.clear();
    grabbed_ = false;
    pending_.clear();
    translator_.Reset();
    std::lock_guard<std::mutex> lock(path_mu_);
    open_path_ = path;
    return true;
}

// Tells the installer why no scanner keys arrive, once per distinct reason.
void ScannerReader::ReportOnce(const std::string& why) {
    if (why == last_report_) return;
    last_report_ = why;
    std::fprintf(stderr, "KeyMask: %s\n", why.c_str());
}

void ScannerReader::CloseDevice() {
    if (fd_ < 0) return;
    if (grabbed_) ioctl(fd_, EVIOCGRAB, 0);
    close(fd_);
    fd_ = -1;
    grabbed_ = false;
    std::lock_guard<std::mutex> lock(path_mu_);
    open_path_.clear();
}

void ScannerReader::Process(const char* data, size_t size) {
    pending_.append(data, size);
    size_t at = 0;
    for (; at + sizeof(input_event) <= pending_.size(); at += sizeof(input_event)) {
        input_event ev;
        std::memcpy(&ev, pending_.data() + at, sizeof ev);
        const char ch = translator_.Feed(ev.type, ev.code, ev.value);
        if (ch && shield_.load()) deliver_(ch);
    }
    pending_.erase(0, at);
}

void ScannerReader::Run() {
    while (!stop_) {
        if (fd_ < 0 && !OpenDeviceLocked()) {
            if (!WaitWake(1000)) break;
            continue;
        }
        const bool want_grab = shield_.load();
        bool grab_waiting = false;
        if (want_grab && !grabbed_) {
            if (AnyKeyHeld(fd_)) {
                grab_waiting = true;
            } else {
                // A device that cannot be grabbed (e.g. a FIFO) is read all the same.
                ioctl(fd_, EVIOCGRAB, 1);
                grabbed_ = true;
            }
        } else if (!want_grab && grabbed_) {
            ioctl(fd_, EVIOCGRAB, 0);
            grabbed_ = false;
        }
        pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(p, 2, grab_waiting ? 10 : 500) < 0 && errno != EINTR) break;
        if (p[1].revents & POLLIN) {
            char buf[64];
            while (read(wake_[0], buf, sizeof buf) > 0) {
            }
        }
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            char buf[sizeof(input_event) * 64];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) {
                Process(buf, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // Unplugged device or a FIFO whose writer left: look for it again.
                CloseDevice();
                if (!WaitWake(100)) break;
            }
        }
    }
    CloseDevice();
}

}  // namespace tendrix::plugins::keymask
