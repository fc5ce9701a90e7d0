#pragma once
// A raw serial device over POSIX termios: 8 data bits, no parity, 1 stop bit, no flow
// control, no line discipline. The one place that configures a tty; the capture ports and
// the printer transport build on it.
#include <chrono>
#include <string>

namespace tendrix::common {

class SerialDevice {
  public:
    SerialDevice() = default;
    ~SerialDevice() { Close(); }
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens a device path (not a "COMn" name: resolve it with PortMap first) at `baud`.
    // False with Error() set when it cannot be opened or configured.
    bool Open(const std::string& path, int baud);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Writes everything within `timeout`; false on failure or time-out.
    bool Write(const void* data, size_t size,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Reads up to `size` bytes that are available within `timeout`.
    // Returns the byte count, 0 on time-out, -1 when the device is gone or failed.
    long Read(void* data, size_t size, std::chrono::milliseconds timeout);
    // Discards unread input and unsent output.
    void Purge();
    // Whether the last failed write found the device gone (unplugged, pty closed).
    bool Gone() const { return gone_; }

    const std::string& Error() const { return error_; }
    // Nearest supported termios speed constant for a baud rate; 0 when unsupported.
    static unsigned SpeedFor(int baud);

  private:
    int fd_ = -1;
    bool gone_ = false;
    std::string error_;
};

}  // namespace tendrix::common
