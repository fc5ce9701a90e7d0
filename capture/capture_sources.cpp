#include "capture/capture_sources.h"

#include <cstdio>

#include "capture/amount_filter.h"
#include "capture/ocr_plugin.h"
#include "common/diag_log.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "store/settings_keys.h"

namespace tendrix::capture {

std::string ChooseCaptureConfig(const store::Settings& settings) {
    const std::string& rect = settings.Get(store::keys::sysCutPicThemeMoney);
    if (!rect.empty() && rect != "FALSE" && rect != "TRUE") return rect;
    const std::string& point = settings.Get(store::keys::sysGetMoneyFromHwnd);
    if (!point.empty() && point != "无") return point;
    return {};
}

std::optional<int> ComNumber(std::string_view setting) {
    const size_t at = setting.find("COM");
    if (at == std::string_view::npos) return std::nullopt;
    const std::string text(setting.substr(at));
    int number = 0;
    if (std::sscanf(text.c_str(), "COM%d", &number) != 1) return -1;  // opens nothing
    return number;
}

CaptureSources::CaptureSources(const store::Settings& settings, const common::PortMap& ports,
                               common::CommandSink& sink, desktop::DesktopServices* desktop,
                               std::string plugin_dir)
    : settings_(settings),
      ports_(ports),
      sink_(sink),
      desktop_(desktop),
      plugin_dir_(plugin_dir.empty() ? PluginDirectory() : std::move(plugin_dir)) {}

CaptureSources::CaptureSources(const context::AppConfig& config, common::CommandSink& sink,
                               desktop::DesktopServices* desktop)
    : CaptureSources(config.settings, common::PortMap(config.PortMapFile()), sink, desktop,
                     PluginDirectory(config.environment.plugin_dir)) {}

CaptureSources::~CaptureSources() {
    StopCaptureWorker();
    if (log_tail_) log_tail_->Stop();
    // Readers end before the sink could go away.
    for (auto* port : {&scanner_, &face_pay_, &listen_, &forward_}) port->reset();
}

void CaptureSources::StartAll() {
    ApplyPortSettings();
    StartCaptureWorker();
}

void CaptureSources::Show(const std::string& utf8_text) {
    sink_.SendCommand(common::CheckoutCommand::ShowMessage, common::Utf8ToGbk(utf8_text));
}

std::unique_ptr<SerialPort> CaptureSources::OpenPort(SerialPort::Variant variant, int number,
                                                     int baud, const char* failure_text) {
    auto port = std::make_unique<SerialPort>(variant, ports_);
    if (number < 0 || !port->Open(number, baud, 'N', 8, 1)) {
        common::diag::Write("capture", "COM" + std::to_string(number) + ": " + port->Error());
        Show(failure_text);
        return nullptr;
    }
    return port;
}

void CaptureSources::ApplyPortSettings() {
    CloseGetMoney();
    face_pay_.reset();
    scanner_.reset();
    forward_failing_ = false;

    if (settings_.IsTrue(store::keys::sysCaptureComMoney)) {
        if (auto n = ComNumber(settings_.Get(store::keys::sysComMachineSendID))) {
            int baud = 0;
            std::sscanf(settings_.Get(store::keys::sysBaudRateSet).c_str(), "%d", &baud);
            forward_ = OpenPort(SerialPort::Variant::Display, *n, baud, kForwardOpenFailed);
        }
        // "COM3->COM4": the first number is the port listened on.
        if (auto n = ComNumber(settings_.Get(store::keys::sysVirtualComdRecvId))) {
            listen_ = OpenPort(SerialPort::Variant::Display, *n, 9600, kListenOpenFailed);
            if (listen_) {
                listen_->SetTarget(&sink_, common::CheckoutCommand::DisplayData);
                listen_->StartReader();
            }
        }
    }
    if (settings_.IsTrue(store::keys::sysIsDragonflyControl)) {
        if (auto n = ComNumber(settings_.Get(store::keys::sysDragonflyControlComId))) {
            face_pay_ = OpenPort(SerialPort::Variant::Display, *n, 9600, kFacePayOpenFailed);
            if (face_pay_) face_pay_->Write(kFacePayGreeting, sizeof kFacePayGreeting);
        }
    }
    if (settings_.IsTrue(store::keys::sysIsBarcodeCapture) &&
        settings_.Get(store::keys::sysCaptureWay) == "USB串口") {
        if (auto n = ComNumber(settings_.Get(store::keys::sysCaptureComId))) {
            scanner_ = OpenPort(SerialPort::Variant::Scanner, *n, 9600, kListenOpenFailed);
            if (scanner_) {
                scanner_->SetTarget(&sink_, common::CheckoutCommand::ScannerData);
                scanner_->StartReader();
            }
        }
    }
    if (settings_.IsTrue(store::keys::sysIsLogFromMoney)) {
        log_tail_ = std::make_unique<LogTail>(log_clock_);
        log_tail_->Start(&sink_, common::CheckoutCommand::DisplayData,
                         settings_.Get(store::keys::sysLogFileSet));
    }
}

void CaptureSources::CloseGetMoney() {
    forward_.reset();
    listen_.reset();
    log_tail_.reset();
}

void CaptureSources::HandlePortControl(std::string_view payload) {
    if (payload.find("CloseGetMoney") != std::string_view::npos) {
        CloseGetMoney();
    } else if (payload.find("OpenAllSet") != std::string_view::npos) {
        ApplyPortSettings();
    }
}

std::optional<std::string> CaptureSources::HandleDisplayData(std::string_view chunk) {
    const auto pattern = BuildFilterPattern(settings_.Get(store::keys::sysFilterMoneyMsg));
    std::optional<std::string> amount = ExtractDisplayAmount(chunk, pattern);
    if (amount) amount = common::GbkToUtf8(*amount);
    if (forward_ && !chunk.empty()) {  // a port that went away is reopened by Write
        // One message while the port keeps failing, not one per chunk.
        const bool ok = forward_->Write(chunk);
        if (!ok && !forward_failing_) Show(kForwardWriteFailed);
        forward_failing_ = !ok;
    }
    return amount;
}

void CaptureSources::StartCaptureWorker() {
    StopCaptureWorker();
    ticks_ = 0;
    const std::string config = ChooseCaptureConfig(settings_);
    if (config.empty()) return;
    worker_ = std::make_unique<CaptureWorker>(sink_, desktop_, plugin_dir_);
    if (!worker_->Start(config)) worker_.reset();
}

void CaptureSources::StopCaptureWorker() {
    if (worker_) worker_->Stop();
    worker_.reset();
}

bool CaptureSources::OnTimerTick() {
    if (!worker_ || !worker_->Running()) {
        ticks_ = 0;
        return false;
    }
    const CaptureConfig::Mode mode = worker_->mode();
    const int period = mode == CaptureConfig::Mode::Rectangle ? kRectangleTicks
                       : mode == CaptureConfig::Mode::Point   ? kPointTicks
                                                              : 0;
    if (period == 0) return false;
    if (++ticks_ < period) return false;
    ticks_ = 0;
    worker_->Trigger();
    return true;
}

}  // namespace tendrix::capture
