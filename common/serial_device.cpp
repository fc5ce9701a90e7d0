#include "common/serial_device.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace tendrix::common {

unsigned SerialDevice::SpeedFor(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return 0;
    }
}

bool SerialDevice::Open(const std::string& path, int baud) {
    Close();
    error_.clear();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = path + ": " + strerror(errno);
        return false;
    }
    termios tio{};
    if (tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS8;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        const unsigned speed = SpeedFor(baud);
        if (speed == 0) {
            error_ = "unsupported baud rate " + std::to_string(baud);
            Close();
            return false;
        }
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
            error_ = path + ": " + strerror(errno);
            Close();
            return false;
        }
    }
    // Not a tty (a plain file or pipe used as a port): written and read as is.
    return true;
}

void SerialDevice::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool SerialDevice::Write(const void* data, size_t size, std::chrono::milliseconds timeout) {
    gone_ = false;
    if (fd_ < 0) return false;
    const auto* p = static_cast<const char*>(data);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            gone_ = errno == EIO || errno == ENXIO || errno == ENODEV || errno == EPIPE;
            error_ = strerror(errno);
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = "write timed out";
            return false;
        }
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) > 0 &&
            (pfd.revents & (POLLHUP | POLLERR))) {
            gone_ = true;
            error_ = "device is gone";
            return false;
        }
    }
    return true;
}

long SerialDevice::Read(void* data, size_t size, std::chrono::milliseconds timeout) {
    if (fd_ < 0) return -1;
    pollfd pfd{fd_, POLLIN, 0};
    const int rc = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
    if (rc < 0) return errno == EINTR ? 0 : -1;
    if (rc == 0) return 0;
    if (pfd.revents & (POLLERR | POLLNVAL)) return -1;
    const ssize_t n = ::read(fd_, data, size);
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    // 0 bytes after POLLIN/POLLHUP: the other side is gone (unplugged or pty closed).
    if (pfd.revents & POLLHUP || n == 0) return -1;
    return -1;
}

void SerialDevice::Purge() {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}

}  // namespace tendrix::common
