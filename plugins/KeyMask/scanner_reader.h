#pragma once
// Reads the barcode scanner's evdev device on a thread of its own and delivers each typed
// character while shielding. Shielding takes the device exclusively (EVIOCGRAB) so its keys
// no longer reach the desktop; the grab waits until no key of the device is held, so the
// desktop never sees a press without its release. Releasing drops the grab and stops the
// delivery. A device that goes away is looked for again every second.
//
// The device is a path (the `sysScannerInputDevice` setting) or, when that is empty, the
// first /dev/input/event* whose name (sysfs .../device/name) contains "barcode" or
// "scanner" (any case). Anything that reads like an event device works, including a FIFO
// fed with recorded input events (it cannot be grabbed; it is read the same way).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "plugins/KeyMask/key_translator.h"

namespace tendrix::plugins::keymask {

// The first event device under `sysfs_input` (e.g. /sys/class/input) whose name contains
// "barcode" or "scanner", as a path under `dev_input` (e.g. /dev/input); "" if none.
std::string FindScannerDevice(const std::string& sysfs_input = "/sys/class/input",
                              const std::string& dev_input = "/dev/input");

class ScannerReader {
  public:
    using Deliver = std::function<void(char)>;

    // `device`: path, or "" to find one by name under the given directories.
    ScannerReader(std::string device, Deliver deliver, std::string sysfs_input = "/sys/class/input",
                  std::string dev_input = "/dev/input");
    ~ScannerReader();
    ScannerReader(const ScannerReader&) = delete;
    ScannerReader& operator=(const ScannerReader&) = delete;

    void Start();
    void Stop();
    // true: shield (grab and deliver); false: release.
    void SetShield(bool shield);
    bool shielding() const { return shield_.load(); }
    // The device currently open ("" while none is).
    std::string OpenDevice() const;

  private:
    void Run();
    bool OpenDeviceLocked();
    void CloseDevice();
    void Wake();
    bool WaitWake(int timeout_ms);
    void Process(const char* data, size_t size);
    void ReportOnce(const std::string& why);

    const std::string device_;
    const Deliver deliver_;
    const std::string sysfs_input_;
    const std::string dev_input_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> shield_{true};
    int wake_[2] = {-1, -1};

    // Reader thread only.
    int fd_ = -1;
    bool grabbed_ = false;
    std::string pending_;  // bytes of an incomplete event
    KeyTranslator translator_;
    std::string last_report_;

    mutable std::mutex path_mu_;
    std::string open_path_;
};

}  // namespace tendrix::plugins::keymask
