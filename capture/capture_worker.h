#pragma once
// The capture worker: a thread driven by thread messages that reads the amount from the
// screen, either by recognising the pixels of a rectangle (libTesseractDLL.so) or by reading
// the text of the window under a point, and posts it to the main window as command 12.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "capture/capture_config.h"
#include "common/checkout_command.h"
#include "common/thread_message_queue.h"
#include "desktop/desktop_services.h"

namespace tendrix::capture {

inline constexpr unsigned WM_CAPTURE_NOW = 1125;   // 0x465: capture once and post the result
inline constexpr unsigned WM_CAPTURE_QUIT = 1126;  // 0x466: leave the loop and end
inline constexpr size_t kWindowTextBytes = 1024;   // window text read in point mode

class CaptureWorker {
  public:
    // `desktop` gives the screen copies and window texts (may be null: captures give empty
    // text). `plugin_dir` is where libTesseractDLL.so is loaded from (PluginDirectory()).
    // Both `sink` and `desktop` must outlive the worker.
    CaptureWorker(common::CommandSink& sink, desktop::DesktopServices* desktop,
                  std::string plugin_dir);
    ~CaptureWorker();
    CaptureWorker(const CaptureWorker&) = delete;
    CaptureWorker& operator=(const CaptureWorker&) = delete;

    // Starts the thread with a configuration text (a rectangle or a point value) and returns
    // once its message queue exists, so the first trigger is never lost. A running worker is
    // stopped first. False when the thread cannot be started.
    bool Start(const std::string& config);
    // Posts WM_CAPTURE_NOW (ignored once the worker has ended).
    void Trigger();
    // Posts WM_CAPTURE_QUIT and waits for the thread to end.
    void Stop();

    // Started and not ended (set-up failure or quit ends it).
    bool Running() const { return thread_.joinable() && !ended_.load(); }
    // Blocks until set-up has finished; true when the worker is serving captures.
    bool WaitReady();
    CaptureConfig::Mode mode() const { return config_.mode; }
    // Posts any thread message (tests use it for unknown messages).
    void PostThreadMessage(unsigned id) { queue_.Post(id); }

  private:
    void Run();

    common::CommandSink& sink_;
    desktop::DesktopServices* desktop_;
    const std::string plugin_dir_;
    CaptureConfig config_;
    common::ThreadMessageQueue queue_;
    std::thread thread_;
    std::atomic<bool> ended_{false};

    std::mutex ready_mutex_;
    std::condition_variable ready_cv_;
    bool setup_done_ = false;
    bool serving_ = false;
};

// The amount in the text at a point: a control's text through the recognition filter; a
// window title only when the whole title is an amount (an optional "¥"/"￥" before it, "元"
// after it, thousands commas), so no version or store number in a title is taken as one.
std::string AmountFromPointText(const desktop::PointText& at);

// One capture without a thread: the filtered amount text a capture in `config`'s mode
// yields (empty when nothing is found). Rectangle mode needs a ready `plugin`.
class OcrPlugin;
std::string CaptureOnce(const CaptureConfig& config, desktop::DesktopServices* desktop,
                        const OcrPlugin* plugin);

}  // namespace tendrix::capture
