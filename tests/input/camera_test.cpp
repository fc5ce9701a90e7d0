#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>

#include "capture/image_prep.h"
#include "input/camera_worker.h"

using namespace tendrix::input;

namespace tendrix {
namespace {

// A camera frame (BGR) holding a QR Code and a Code 128 payment code side by side.
CameraFrame TwoCodeFrame() {
    const desktop::ScreenImage image =
        capture::LoadImageFile(TENDRIX_INPUT_PICTURES "/qr-and-code128.png");
    CameraFrame f{image.width, image.height, 3, {}};
    for (size_t i = 0; i < image.bgra.size(); i += 4)
        f.pixels.insert(f.pixels.end(), image.bgra.begin() + i, image.bgra.begin() + i + 3);
    return f;
}

// Frames from memory; `on_read` runs before each frame is handed out.
class MemorySource : public FrameSource {
  public:
    MemorySource(bool opens, CameraFrame frame, std::function<void()> on_read = {})
        : opens_(opens), frame_(std::move(frame)), on_read_(std::move(on_read)) {}
    bool Open() override { return opens_; }
    bool Read(CameraFrame& f) override {
        if (on_read_) on_read_();
        f = frame_;
        return true;
    }

  private:
    bool opens_;
    CameraFrame frame_;
    std::function<void()> on_read_;
};

class RecordingSink : public CameraSink {
  public:
    std::mutex mu;
    std::vector<std::string> log;
    std::function<void()> on_preview;
    void Add(std::string s) {
        std::lock_guard<std::mutex> lock(mu);
        log.push_back(std::move(s));
    }
    void OnCameraMessage(unsigned message, const std::string& code, int lparam) override {
        Add(std::to_string(message) + " " + std::to_string(lparam) + " " + code);
    }
    void OnPreviewFrame(CameraFrame frame) override {
        Add("preview " + std::to_string(frame.width));
        if (on_preview) on_preview();
    }
    void OnCameraFailed(const std::string& text) override { Add("failed " + text); }
};

TEST(CameraWorker, QrAndCode128InOneFrameArriveInScannerOrderAndAClosedCameraFails) {
    const CameraFrame frame = TwoCodeFrame();
    ASSERT_EQ(frame.width, 640);
    const auto order = DecodeFrame(frame);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()),
              (std::set<std::string>{"134567890123456789", "https://pay.example/q/7788"}));
    // Malformed frames decode to nothing instead of failing.
    EXPECT_TRUE(DecodeFrame(CameraFrame{10, 10, 3, {}}).empty());
    EXPECT_TRUE(DecodeFrame(CameraFrame{0, 0, 1, {}}).empty());
    RecordingSink sink;
    CameraWorker worker(
        std::make_unique<MemorySource>(true, frame), &sink,
        [&](std::chrono::milliseconds d) { sink.Add("sleep " + std::to_string(d.count())); });
    sink.on_preview = [&] { worker.RequestStop(); };  // one frame only
    worker.Start();
    worker.Wait();
    EXPECT_EQ(sink.log,
              (std::vector<std::string>{"1111 1 " + order[0], "sleep 100", "1111 1 " + order[1],
                                        "sleep 100", "sleep 100", "preview 640"}));

    // A camera that does not open reports the failure text.
    RecordingSink failed;
    CameraWorker closed(std::make_unique<MemorySource>(false, CameraFrame{}), &failed,
                        [](std::chrono::milliseconds) {});
    closed.Start();
    closed.Wait();
    EXPECT_EQ(failed.log, (std::vector<std::string>{"failed 该摄像头可能被占用或者被禁用！"}));
}

TEST(CameraToggle, SecondPressStopsWithoutWaitingForTheWorker) {
    std::mutex mu;
    std::condition_variable cv;
    bool reading = false, release = false;
    // The source blocks inside its first read until the test lets it go.
    auto blocking_read = [&] {
        std::unique_lock<std::mutex> lock(mu);
        reading = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    RecordingSink sink;
    CameraToggle toggle(
        &sink,
        [&] {
            return std::make_unique<MemorySource>(
                true, CameraFrame{8, 8, 1, std::vector<uint8_t>(64, 255)}, blocking_read);
        },
        [](std::chrono::milliseconds) {});
    EXPECT_EQ(toggle.Press("测试摄像头"), "关闭摄像头");
    {
        std::unique_lock<std::mutex> lock(mu);
        cv.wait(lock, [&] { return reading; });
    }
    // The worker is stuck in a read: the press must come back at once.
    EXPECT_EQ(toggle.Press("关闭摄像头"), "测试摄像头");
    EXPECT_FALSE(toggle.Running());
    {
        std::lock_guard<std::mutex> lock(mu);
        release = true;
    }
    cv.notify_all();
    // Start again while the first worker may still be finishing.
    EXPECT_EQ(toggle.Press("测试摄像头"), "关闭摄像头");
    EXPECT_TRUE(toggle.Running());
    // The destructor stops and joins both.
}

}  // namespace
}  // namespace tendrix
