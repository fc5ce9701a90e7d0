#pragma once
// A serial port with a reader thread that hands every chunk of received bytes to the main
// window as a command (3: customer-display data, 6: serial scanner data).
//
// Names: "COM3" is resolved through the port map (data/ports.ini or $TENDRIX_PORT_MAP);
// a name starting with '/' is a device path and used as is.
//
// Two variants: `Scanner` (read only; delivers command 6) and `Display` (read and write; the
// customer-display ports and the face-pay port). Unlike the historical design the stop flag
// and the delivery target belong to each object, so stopping one port never stops another.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "common/checkout_command.h"
#include "common/port_map.h"
#include "common/serial_device.h"

namespace tendrix::capture {

class SerialPort {
  public:
    enum class Variant { Scanner, Display };

    static constexpr size_t kChunkBytes = 500;    // at most this many bytes per delivered chunk
    static constexpr int kIdlePollMs = 5;         // reader's wait when no byte is waiting
    static constexpr int kReopenMs = 500;         // retry period while the device is gone
    static constexpr int kWriteTimeoutMs = 1000;  // a write the device does not take fails
    // Posted (command 8) once each time the device disappears under the reader; the reader
    // then opens the same path again as soon as it is back.
    static constexpr const char* kReadFailedText = "串口读取失败，该端口可能已断开或被删除！";

    explicit SerialPort(Variant variant = Variant::Display,
                        common::PortMap map = common::PortMap());
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens "COMn" (through the port map) or a device path with the given line settings
    // (parity 'N', 'E', 'O'; 5-8 data bits; 1 or 2 stop bits), then purges both directions.
    // False with Error() set when the device cannot be opened or configured.
    bool Open(const std::string& port, int baud, char parity = 'N', int data_bits = 8,
              int stop_bits = 1);
    // Same as Open("COM" + number, ...).
    bool Open(int port_number, int baud, char parity = 'N', int data_bits = 8, int stop_bits = 1);

    // Where the reader delivers: sink->PostCommand(command, chunk bytes). Set before StartReader.
    void SetTarget(common::CommandSink* sink, common::CheckoutCommand command);

    // Starts the reader thread. False when the port is closed or a reader already runs.
    bool StartReader();
    // Stops the reader and waits for it to end (never while holding the port lock).
    void StopReader();
    bool ReaderRunning() const { return reader_running_.load(); }

    // One blocking write of all bytes (Display variant only), at most kWriteTimeoutMs; after a
    // time-out, later writes do not wait until the device takes data again. On failure both
    // directions are purged and false is returned. A device that went away is
    // opened again by a later write once it is back (tried at most every kReopenMs).
    bool Write(const void* data, size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

    // Stops the reader and closes the device.
    void Close();
    bool IsOpen() const;

    Variant variant() const { return variant_; }
    const std::string& Path() const { return path_; }
    std::string Error() const;

  private:
    void ReaderLoop();
    bool OpenLocked();    // opens path_ with the stored line settings
    bool ReopenLocked();  // after the device went away: true when it is open again

    const Variant variant_;
    const common::PortMap map_;
    mutable std::mutex lock_;  // around open, configure, every read and every write
    common::SerialDevice device_;
    std::string path_;
    std::string error_;
    int baud_ = 9600;
    char parity_ = 'N';
    int data_bits_ = 8;
    int stop_bits_ = 1;
    bool wanted_ = false;   // opened by Open and not closed since: reopen when it comes back
    bool stalled_ = false;  // the last write timed out
    std::chrono::steady_clock::time_point last_reopen_{};

    common::CommandSink* sink_ = nullptr;
    common::CheckoutCommand command_ = common::CheckoutCommand::DisplayData;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reader_running_{false};
};

}  // namespace tendrix::capture
