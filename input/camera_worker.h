#pragma once
// The camera test of the settings window: a worker thread reads frames from the first
// camera, decodes every frame with ZBar (all symbologies, "Y800" grey images) and reports
// each decoded code as WM_CAMERA_CODE (1111) with lParam 1, pausing 100 ms after every code
// and after every frame, until its stop flag is set.
//
// The frame source is a seam: the camera (OpenCV VideoCapture, device 0) in the program,
// generated frames in tests.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/thread.h"

namespace tendrix::input {

inline constexpr unsigned kCameraCodeMessage = 1111;  // WM_CAMERA_CODE
inline constexpr int kCameraCodeToCameraPage = 1;     // lParam: the camera page
inline constexpr const char* kCameraFailedText = "该摄像头可能被占用或者被禁用！";
inline constexpr const char* kCameraStartText = "测试摄像头";
inline constexpr const char* kCameraStopText = "关闭摄像头";

// One frame: 8-bit pixels, 1 (grey), 3 (BGR) or 4 (BGRA) channels, rows packed.
struct CameraFrame {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> pixels;
};

class FrameSource {
  public:
    virtual ~FrameSource() = default;
    // Opens the source; false when it cannot be opened.
    virtual bool Open() = 0;
    // The next frame; false when none could be read.
    virtual bool Read(CameraFrame& frame) = 0;
};

// The first camera (OpenCV VideoCapture device 0).
std::unique_ptr<FrameSource> CreateCameraSource(int device = 0);

// Receives the worker's results, on the worker's thread. The worker waits for each call to
// return, so a code is handled before the next one is decoded.
class CameraSink {
  public:
    virtual ~CameraSink() = default;
    // WM_CAMERA_CODE: `code` is the symbol's data (8-bit text); lparam is 1.
    virtual void OnCameraMessage(unsigned message, const std::string& code, int lparam) = 0;
    // A copy of the frame for the preview (owned by the receiver).
    virtual void OnPreviewFrame(CameraFrame frame) { (void)frame; }
    // The camera could not be opened: show kCameraFailedText in a message box.
    virtual void OnCameraFailed(const std::string& text) = 0;
};

// Decodes one frame with ZBar; the symbols' data in the scanner's order.
std::vector<std::string> DecodeFrame(const CameraFrame& frame);

class CameraWorker final : public common::Thread {
  public:
    using Sleep = std::function<void(std::chrono::milliseconds)>;

    // `sleep` defaults to std::this_thread::sleep_for; tests record the pauses instead.
    CameraWorker(std::unique_ptr<FrameSource> source, CameraSink* sink, Sleep sleep = {});
    ~CameraWorker() override;

    // Sets the stop flag; the worker ends after its current frame. Does not wait.
    void RequestStop() { stop_ = true; }
    bool StopRequested() const { return stop_.load(); }

  protected:
    void Run() override;

  private:
    std::unique_ptr<FrameSource> source_;
    CameraSink* sink_;
    Sleep sleep_;
    std::atomic<bool> stop_{false};
};

// The toggle button "btn_camera_test": Press() with the button's text starts a worker
// ("测试摄像头") or stops the running one ("关闭摄像头") without waiting for it, and returns
// the button's new text. Workers that were stopped are joined when they have ended, at the
// latest in the destructor.
class CameraToggle {
  public:
    using SourceFactory = std::function<std::unique_ptr<FrameSource>()>;
    CameraToggle(CameraSink* sink, SourceFactory factory, CameraWorker::Sleep sleep = {});
    ~CameraToggle();

    std::string Press(const std::string& button_text);
    bool Running() const { return current_ != nullptr; }

  private:
    void Reap();

    CameraSink* sink_;
    SourceFactory factory_;
    CameraWorker::Sleep sleep_;
    CameraWorker* current_ = nullptr;
    std::list<std::unique_ptr<CameraWorker>> workers_;
};

}  // namespace tendrix::input
