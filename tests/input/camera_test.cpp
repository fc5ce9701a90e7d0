#include <gtest/gtest.h>
#include <qrencode.h>

#include <condition_variable>
#include <mutex>
#include <set>

#include "input/camera_worker.h"

namespace tendrix {
namespace {

// Code 128 bar/space widths of symbol values 0..105 (each sums to 11 modules); stop apart.
constexpr const char* kCode128[106] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232"};
constexpr const char* kCode128Stop = "2331112";

// A grey canvas the test draws symbols on.
struct Canvas {
    int w, h;
    std::vector<uint8_t> px;
    Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height, 255) {}
    void Fill(int x, int y, int fw, int fh, uint8_t v) {
        for (int yy = y; yy < y + fh && yy < h; ++yy)
            for (int xx = x; xx < x + fw && xx < w; ++xx) px[size_t(yy) * w + xx] = v;
    }
    CameraFrame Bgr() const {
        CameraFrame f{w, h, 3, {}};
        for (uint8_t v : px) f.pixels.insert(f.pixels.end(), {v, v, v});
        return f;
    }
};

// Draws a QR Code (level H) with 4-pixel modules at (x, y).
void DrawQr(Canvas& c, int x, int y, const std::string& text) {
    QRcode* qr = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_H, QR_MODE_8, 1);
    ASSERT_NE(qr, nullptr);
    for (int r = 0; r < qr->width; ++r)
        for (int col = 0; col < qr->width; ++col)
            if (qr->data[r * qr->width + col] & 1) c.Fill(x + col * 4, y + r * 4, 4, 4, 0);
    QRcode_free(qr);
}

// Draws an even-length digit string as Code 128 (code set C) with 2-pixel modules.
void DrawCode128C(Canvas& c, int x, int y, int height, const std::string& digits) {
    std::vector<int> values = {105};  // Start C
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        values.push_back((digits[i] - '0') * 10 + (digits[i + 1] - '0'));
    int check = values[0];
    for (size_t i = 1; i < values.size(); ++i) check += static_cast<int>(i) * values[i];
    values.push_back(check % 103);
    std::string widths;
    for (int v : values) widths += kCode128[v];
    widths += kCode128Stop;
    bool bar = true;
    for (char wch : widths) {
        const int w = (wch - '0') * 2;
        if (bar) c.Fill(x, y, w, height, 0);
        x += w;
        bar = !bar;
    }
}

CameraFrame TwoCodeFrame() {
    Canvas c(640, 360);
    DrawQr(c, 30, 60, "https://pay.example/q/7788");
    DrawCode128C(c, 270, 120, 120, "134567890123456789");
    return c.Bgr();
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

TEST(CameraWorker, QrAndCode128InOneFrameArriveInScannerOrderWithPauses) {
    const CameraFrame frame = TwoCodeFrame();
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
}

TEST(CameraWorker, UnavailableCameraReportsTheFailureText) {
    RecordingSink sink;
    CameraWorker worker(std::make_unique<MemorySource>(false, CameraFrame{}), &sink,
                        [](std::chrono::milliseconds) {});
    worker.Start();
    worker.Wait();
    EXPECT_EQ(sink.log, (std::vector<std::string>{"failed 该摄像头可能被占用或者被禁用！"}));
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
