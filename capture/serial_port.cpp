#include "capture/serial_port.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/diag_log.h"
#include "common/text_codec.h"

namespace tendrix::capture {

SerialPort::SerialPort(Variant variant, common::PortMap map)
    : variant_(variant), map_(std::move(map)) {}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open(int port_number, int baud, char parity, int data_bits, int stop_bits) {
    return Open("COM" + std::to_string(port_number), baud, parity, data_bits, stop_bits);
}

bool SerialPort::Open(const std::string& port, int baud, char parity, int data_bits,
                      int stop_bits) {
    StopReader();
    std::lock_guard<std::mutex> guard(lock_);
    device_.Close();
    error_.clear();
    path_ = port.empty() || port[0] == '/' ? port : map_.Resolve(port);
    baud_ = baud;
    parity_ = parity;
    data_bits_ = data_bits;
    stop_bits_ = stop_bits;
    wanted_ = false;
    if (path_.empty()) {
        error_ = "no device for port '" + port + "'";
        return false;
    }
    stalled_ = false;
    wanted_ = OpenLocked();
    return wanted_;
}

bool SerialPort::OpenLocked() {
    if (!device_.Open(path_, baud_)) {
        error_ = device_.Error();
        return false;
    }
    // Line settings beyond SerialDevice's 8N1 default.
    termios tio{};
    if (tcgetattr(device_.fd(), &tio) == 0) {
        tcflag_t size = CS8;
        switch (data_bits_) {
            case 5:
                size = CS5;
                break;
            case 6:
                size = CS6;
                break;
            case 7:
                size = CS7;
                break;
            case 8:
                size = CS8;
                break;
            default:
                error_ = "unsupported data bits " + std::to_string(data_bits_);
                device_.Close();
                return false;
        }
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | size;
        switch (parity_) {
            case 'N':
            case 'n':
                tio.c_cflag &= ~(PARENB | PARODD);
                break;
            case 'E':
            case 'e':
                tio.c_cflag = (tio.c_cflag | PARENB) & ~PARODD;
                break;
            case 'O':
            case 'o':
                tio.c_cflag |= PARENB | PARODD;
                break;
            default:
                error_ = std::string("unsupported parity ") + parity_;
                device_.Close();
                return false;
        }
        if (stop_bits_ == 2) {
            tio.c_cflag |= CSTOPB;
        } else if (stop_bits_ == 1) {
            tio.c_cflag &= ~CSTOPB;
        } else {
            error_ = "unsupported stop bits " + std::to_string(stop_bits_);
            device_.Close();
            return false;
        }
        if (tcsetattr(device_.fd(), TCSANOW, &tio) != 0) {
            error_ = path_ + ": " + strerror(errno);
            device_.Close();
            return false;
        }
        // RTS on; a pseudo terminal has no modem lines, so a refusal there is not an error.
        int rts = TIOCM_RTS;
        ioctl(device_.fd(), TIOCMBIS, &rts);
    }
    device_.Purge();
    last_reopen_ = std::chrono::steady_clock::now();
    return true;
}

bool SerialPort::ReopenLocked() {
    if (!wanted_ || device_.IsOpen()) return device_.IsOpen();
    const auto now = std::chrono::steady_clock::now();
    if (now - last_reopen_ < std::chrono::milliseconds(kReopenMs)) return false;
    last_reopen_ = now;
    if (!OpenLocked()) return false;
    common::diag::Write("serial", path_ + " is back: reopened");
    return true;
}

void SerialPort::SetTarget(common::CommandSink* sink, common::CheckoutCommand command) {
    std::lock_guard<std::mutex> guard(lock_);
    sink_ = sink;
    command_ = command;
}

bool SerialPort::StartReader() {
    if (reader_.joinable()) {
        if (reader_running_.load()) return false;
        reader_.join();  // a reader that ended on its own (device gone)
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!device_.IsOpen()) return false;
    }
    stop_ = false;
    reader_running_ = true;
    reader_ = std::thread(&SerialPort::ReaderLoop, this);
    return true;
}

void SerialPort::StopReader() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    reader_running_ = false;
}

void SerialPort::ReaderLoop() {
    // One step above normal priority so a busy UI does not delay the pass-through. Raising
    // priority needs privileges on Linux; without them the reader runs at normal priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -1);

    while (!stop_.load()) {
        int fd;
        {
            std::lock_guard<std::mutex> guard(lock_);
            fd = device_.fd();
        }
        if (fd < 0) {
            // The device went away: try its path again until it is back (a USB adapter
            // plugged in again, the virtual pair recreated).
            std::this_thread::sleep_for(std::chrono::milliseconds(kIdlePollMs * 10));
            std::lock_guard<std::mutex> guard(lock_);
            ReopenLocked();
            continue;
        }
        // Wait for data without holding the lock, so writes are never delayed by the poll.
        pollfd pfd{fd, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, kIdlePollMs);
        if (rc == 0 || (rc < 0 && errno == EINTR)) continue;
        std::string chunk;
        bool gone = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (device_.fd() != fd) continue;  // closed or reopened meanwhile
            chunk.resize(kChunkBytes);
            const ssize_t n = ::read(fd, chunk.data(), kChunkBytes);
            if (n > 0) {
                chunk.resize(static_cast<size_t>(n));
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            } else {
                // EIO / hang-up: the device (or the other end of a pty pair) is gone. Closing
                // it lets the same path be opened again when the device comes back.
                device_.Purge();
                device_.Close();
                last_reopen_ = std::chrono::steady_clock::now();
                gone = true;
            }
        }
        common::CommandSink* sink;
        common::CheckoutCommand command;
        {
            std::lock_guard<std::mutex> guard(lock_);
            sink = sink_;
            command = command_;
        }
        if (gone) {
            // One message per disappearance; the reader goes on waiting for the device.
            common::diag::Write("serial",
                                "device gone: " + path_ + "; waiting for it to come back");
            if (sink)
                sink->PostCommand(common::CheckoutCommand::ShowMessage,
                                  common::Utf8ToGbk(kReadFailedText));
            continue;
        }
        // Each chunk travels in its own string: the main window owns it from here on.
        if (sink) sink->PostCommand(command, std::move(chunk));
    }
    reader_running_ = false;
}

bool SerialPort::Write(const void* data, size_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    if (variant_ != Variant::Display) {
        error_ = "this port is read only";
        return false;
    }
    if (!device_.IsOpen() && !ReopenLocked()) {
        error_ = wanted_ ? path_ + " is gone" : "port is not open";
        return false;
    }
    if (size == 0) return true;
    // A device that already let one write time out is not waited for again until it takes
    // data: the caller (the main window forwarding display data) must not stall per chunk.
    const auto timeout = std::chrono::milliseconds(stalled_ ? 0 : kWriteTimeoutMs);
    stalled_ = false;
    if (!device_.Write(data, size, timeout)) {
        error_ = device_.Error();
        stalled_ = !device_.Gone();
        device_.Purge();
        // A device that is gone is closed, so a later write opens it again once it is back.
        if (device_.Gone()) {
            device_.Close();
            last_reopen_ = std::chrono::steady_clock::now();
        }
        return false;
    }
    return true;
}

void SerialPort::Close() {
    StopReader();
    std::lock_guard<std::mutex> guard(lock_);
    wanted_ = false;
    device_.Close();
}

bool SerialPort::IsOpen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return device_.IsOpen();
}

std::string SerialPort::Error() const {
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

}  // namespace tendrix::capture
