#pragma once
// Every amount source of the main window in one object: the capture worker (screen
// rectangle or window point), the customer-display ports (listening + forwarding), the
// face-pay port, the serial scanner port and the log-file follower.
//
// The main window owns one CaptureSources and calls, on its UI thread:
//   StartAll()                 after login (ports, log follower, capture worker)
//   OnTimerTick()              from its 30 ms timer (triggers the capture worker)
//   HandleDisplayData(bytes)   for command 3: shows the returned amount, forwards the bytes
//   HandlePortControl(text)    for command 4 ("CloseGetMoney" / "OpenAllSet")
// Failures are shown through sink.SendCommand(ShowMessage, GBK text) on the UI thread;
// worker threads post their results (3, 6, 8, 12) with sink.PostCommand.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "capture/capture_worker.h"
#include "capture/log_tail.h"
#include "capture/serial_port.h"
#include "common/checkout_command.h"
#include "common/port_map.h"
#include "desktop/desktop_services.h"
#include "store/settings.h"

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::capture {}

namespace tendrix::capture {

// Failure texts of the port set-up.
inline constexpr const char* kForwardOpenFailed =
    "客显发送端口打开失败，该端口可能被占用或者删除！";
inline constexpr const char* kListenOpenFailed = "监听客显端口打开失败，该端口可能被占用或者删除！";
inline constexpr const char* kFacePayOpenFailed =
    "支付宝蜻蜓串口通讯打开失败，该端口可能被占用或者删除！";
inline constexpr const char* kForwardWriteFailed = "数据转发给失败，请检查串口是否断开!";
// The face-pay device's greeting, written right after its port opens.
inline constexpr unsigned char kFacePayGreeting[10] = {0x06, 0x02, 0x00, 0x04, 0x57,
                                                       0x1C, 0x00, 0x00, 0x03, 0x4C};

inline constexpr int kRectangleTicks = 50;  // 50 x 30 ms = 1.5 s between recognitions
inline constexpr int kPointTicks = 25;      // 25 x 30 ms = 0.75 s between window-text reads

// Which capture worker the settings ask for: a rectangle when sysCutPicThemeMoney is neither
// "FALSE" nor "TRUE"; only otherwise a point when sysGetMoneyFromHwnd is not "无".
// Empty when none.
std::string ChooseCaptureConfig(const store::Settings& settings);

// The port number of a "COM%d" setting (read from its "COM"); nullopt without "COM".
std::optional<int> ComNumber(std::string_view setting);

class CaptureSources {
  public:
    // `desktop` may be null (no screen source). `plugin_dir`: where libTesseractDLL.so lives
    // (default: PluginDirectory()). `sink`, `settings` and `desktop` must outlive this.
    CaptureSources(const store::Settings& settings, const common::PortMap& ports,
                   common::CommandSink& sink, desktop::DesktopServices* desktop,
                   std::string plugin_dir = {});
    // From the application context (settings, data/ports.ini).
    CaptureSources(const context::AppConfig& config, common::CommandSink& sink,
                   desktop::DesktopServices* desktop);
    ~CaptureSources();
    CaptureSources(const CaptureSources&) = delete;
    CaptureSources& operator=(const CaptureSources&) = delete;

    void StartAll();

    // The port set-up: closes the ports of these uses, then opens what the settings ask
    // for (forwarding, listening, face-pay, scanner) and restarts the log-file follower.
    void ApplyPortSettings();
    // Closes and frees the forwarding port, the listening port and the log-file follower.
    void CloseGetMoney();
    // Command 4: "CloseGetMoney" closes the sources above; "OpenAllSet" runs ApplyPortSettings.
    void HandlePortControl(std::string_view payload);

    // Command 3: the amount of a display chunk or log line (UTF-8, nullopt when none), after
    // forwarding the bytes unchanged to the forwarding port when it is open.
    std::optional<std::string> HandleDisplayData(std::string_view chunk);

    // Stops a running worker and starts the one the settings ask for (if any).
    void StartCaptureWorker();
    void StopCaptureWorker();
    // The 30 ms timer: every 50th tick (rectangle) or 25th tick (point) triggers a capture.
    // Returns true when it triggered.
    bool OnTimerTick();

    // Ports handed to other parts (owned here; null when not open).
    SerialPort* FacePayPort() { return face_pay_.get(); }
    SerialPort* ScannerPort() { return scanner_.get(); }
    SerialPort* ForwardingPort() { return forward_.get(); }
    SerialPort* ListeningPort() { return listen_.get(); }
    CaptureWorker* Worker() { return worker_.get(); }
    LogTail* LogFollower() { return log_tail_.get(); }

    // Tests: the log follower's clock.
    void SetLogClock(LogTail::Clock clock) { log_clock_ = std::move(clock); }

  private:
    void Show(const std::string& utf8_text);
    std::unique_ptr<SerialPort> OpenPort(SerialPort::Variant variant, int number, int baud,
                                         const char* failure_text);

    const store::Settings& settings_;
    common::PortMap ports_;
    common::CommandSink& sink_;
    desktop::DesktopServices* desktop_;
    std::string plugin_dir_;

    std::unique_ptr<SerialPort> forward_;
    bool forward_failing_ = false;  // the last forwarding write failed (shown once)
    std::unique_ptr<SerialPort> listen_;
    std::unique_ptr<SerialPort> face_pay_;
    std::unique_ptr<SerialPort> scanner_;
    std::unique_ptr<LogTail> log_tail_;
    LogTail::Clock log_clock_ = TodayLocal;
    std::unique_ptr<CaptureWorker> worker_;
    int ticks_ = 0;
};

}  // namespace tendrix::capture
