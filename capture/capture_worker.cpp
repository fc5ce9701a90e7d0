#include "capture/capture_worker.h"

#include "capture/amount_filter.h"
#include "capture/amount_reader.h"
#include "capture/ocr_plugin.h"
#include "common/diag_log.h"
#include "common/text_codec.h"

namespace tendrix::capture {

std::string AmountFromPointText(const desktop::PointText& at) {
    if (at.source != desktop::PointText::Source::WindowTitle)
        return FilterRecognisedAmount(at.text);
    // A title counts only when it is an amount and nothing else: "¥ 1,234.50" or "36.50元",
    // never the digits of "收银 V2.3 店号 0017".
    std::string_view t = at.text;
    auto trim = [&] {
        while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    };
    trim();
    for (std::string_view sign : {"¥", "￥"})
        if (t.substr(0, sign.size()) == sign) t.remove_prefix(sign.size());
    if (t.size() >= 3 && t.substr(t.size() - 3) == "元") t.remove_suffix(3);
    trim();
    bool digit = false, point = false;
    for (size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point && digit) {
            point = true;
        } else if (c != ',' || point || !digit) {
            return {};
        }
    }
    return digit ? FilterRecognisedAmount(t) : std::string{};
}

std::string CaptureOnce(const CaptureConfig& config, desktop::DesktopServices* desktop,
                        const OcrPlugin* plugin) {
    std::string text;
    if (config.mode == CaptureConfig::Mode::Point) {
        if (!desktop) return {};
        desktop::PointText at = desktop->TextAt(config.point);
        if (at.text.size() >= kWindowTextBytes) at.text.resize(kWindowTextBytes - 1);
        return AmountFromPointText(at);
    } else if (config.mode == CaptureConfig::Mode::Rectangle) {
        if (desktop && plugin && !config.rect.empty())
            return ReadAmountPicture(desktop->CaptureRect(config.rect), plugin).amount;
    }
    return FilterRecognisedAmount(text);
}

CaptureWorker::CaptureWorker(common::CommandSink& sink, desktop::DesktopServices* desktop,
                             std::string plugin_dir)
    : sink_(sink), desktop_(desktop), plugin_dir_(std::move(plugin_dir)) {}

CaptureWorker::~CaptureWorker() {
    Stop();
}

bool CaptureWorker::Start(const std::string& config) {
    Stop();
    while (queue_.TryGet()) {
    }
    config_ = ParseCaptureConfig(config);
    ended_ = false;
    {
        std::lock_guard<std::mutex> lock(ready_mutex_);
        setup_done_ = false;
        serving_ = false;
    }
    try {
        thread_ = std::thread(&CaptureWorker::Run, this);
    } catch (const std::system_error& e) {
        common::diag::Write("capture", std::string("worker not started: ") + e.what());
        ended_ = true;
        return false;
    }
    // The queue is a member and exists before the thread: a trigger posted from here on
    // waits in it until the worker reads it.
    return true;
}

bool CaptureWorker::WaitReady() {
    if (!thread_.joinable()) return false;
    std::unique_lock<std::mutex> lock(ready_mutex_);
    ready_cv_.wait(lock, [&] { return setup_done_; });
    return serving_;
}

void CaptureWorker::Trigger() {
    if (Running()) queue_.Post(WM_CAPTURE_NOW);
}

void CaptureWorker::Stop() {
    if (!thread_.joinable()) return;
    queue_.Post(WM_CAPTURE_QUIT);
    thread_.join();
    ended_ = true;
}

void CaptureWorker::Run() {
    const CaptureConfig config = config_;
    std::unique_ptr<OcrPlugin> plugin;
    bool failed = false;
    if (config.mode == CaptureConfig::Mode::Rectangle) {
        plugin = std::make_unique<OcrPlugin>();
        switch (plugin->Load(plugin_dir_)) {
            case OcrPlugin::Status::Ready:
                break;
            case OcrPlugin::Status::MissingEnvironment:
                sink_.PostCommand(common::CheckoutCommand::ShowMessage,
                                  common::Utf8ToGbk(OcrPlugin::kMissingEnvironmentText));
                failed = true;
                break;
            default:  // not loadable: no amounts are recognised, silently
                common::diag::Write("capture",
                                    "recognition library not loaded: " + plugin->Error());
                failed = true;
                break;
        }
    }
    if (failed) ended_ = true;  // before WaitReady returns: Running() is false from then on
    {
        std::lock_guard<std::mutex> lock(ready_mutex_);
        setup_done_ = true;
        serving_ = !failed;
    }
    ready_cv_.notify_all();
    if (failed) return;
    for (;;) {
        const common::ThreadMessage msg = queue_.Wait();
        if (msg.id == WM_CAPTURE_QUIT) break;
        if (msg.id != WM_CAPTURE_NOW || config.mode == CaptureConfig::Mode::None) continue;
        // The text travels in its own string: the next capture never overwrites it.
        sink_.PostCommand(common::CheckoutCommand::FloatAmount,
                          CaptureOnce(config, desktop_, plugin.get()));
    }
    ended_ = true;
}

}  // namespace tendrix::capture
