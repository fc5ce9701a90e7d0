// Timing of the two capture paths the cashier waits on:
//  1. serial pass-through: a write on the POS side of a virtual port pair until the bytes
//     arrive on the display side, through the listening port's reader, the main window's
//     amount extraction and the forwarding port (two socat pty pairs);
//  2. one rectangle capture end to end (200 x 40): screen copy, grey, threshold,
//     libTesseractDLL.so, filter. On the X server of $DISPLAY when there is one (run under
//     xvfb-run), otherwise on a scripted screen.
// Usage: bench_capture_timing [ROUNDS]   (prints median, p90 and max in milliseconds)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "capture/capture_config.h"
#include "capture/capture_sources.h"
#include "capture/capture_worker.h"
#include "capture/ocr_plugin.h"
#include "common/serial_device.h"
#include "context/run_environment.h"
#include "store/settings_keys.h"
#include "tests/capture/amount_pictures.h"
#include "tests/support/recording_desktop.h"

// Xlib last: its macros collide with names of ours.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status
#undef None
// clang-format on

using namespace tendrix;
using Clock = std::chrono::steady_clock;

namespace {

void Report(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s n=%zu median %.2f ms  p90 %.2f ms  max %.2f ms\n", what, ms.size(),
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
}

// Forwards the main window's share of the work: command 3 -> HandleDisplayData.
class PumpSink : public common::CommandSink {
  public:
    void SendCommand(common::CheckoutCommand, std::string) override {}
    void PostCommand(common::CheckoutCommand cmd, std::string payload) override {
        if (cmd != common::CheckoutCommand::DisplayData) return;
        std::lock_guard<std::mutex> lock(mutex_);
        chunks_.push_back(std::move(payload));
        cv_.notify_one();
    }
    bool Take(std::string& out) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return !chunks_.empty(); }))
            return false;
        out = std::move(chunks_.front());
        chunks_.pop_front();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::string> chunks_;
};

pid_t StartSocat(const std::string& a, const std::string& b) {
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string pa = "pty,raw,echo=0,link=" + a, pb = "pty,raw,echo=0,link=" + b;
        execlp("socat", "socat", pa.c_str(), pb.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 300 && !(std::filesystem::exists(a) && std::filesystem::exists(b)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

void SerialPassThrough(int rounds) {
    char tmpl[] = "/tmp/tendrix-bench-XXXXXX";
    const std::string dir = std::string(mkdtemp(tmpl)) + "/";
    const pid_t p1 = StartSocat(dir + "pos-a", dir + "pos-b");
    const pid_t p2 = StartSocat(dir + "disp-a", dir + "disp-b");
    std::ofstream(dir + "ports.ini") << "COM5=" << dir << "pos-b\nCOM6=" << dir << "disp-a\n";
    store::Settings settings;
    settings.Set(store::keys::sysCaptureComMoney, "TRUE");
    settings.Set(store::keys::sysVirtualComdRecvId, "COM5->COM7");
    settings.Set(store::keys::sysComMachineSendID, "COM6");
    settings.Set(store::keys::sysBaudRateSet, "9600");
    settings.Set(store::keys::sysFilterMoneyMsg, "无");
    PumpSink sink;
    std::vector<double> ms;
    {
        capture::CaptureSources sources(settings, common::PortMap(dir + "ports.ini"), sink, nullptr,
                                        "/nonexistent/");
        sources.ApplyPortSettings();
        std::atomic<bool> stop{false};
        std::thread ui([&] {  // the main window's thread
            std::string chunk;
            while (!stop)
                if (sink.Take(chunk)) sources.HandleDisplayData(chunk);
        });
        common::SerialDevice pos, display;
        if (sources.ListeningPort() && sources.ForwardingPort() && pos.Open(dir + "pos-a", 9600) &&
            display.Open(dir + "disp-b", 9600)) {
            const std::string line = "\x1BQA  TOTAL 36.00 CASH 50.00\r\n";
            char buf[256];
            for (int i = 0; i < rounds; ++i) {
                const auto t0 = Clock::now();
                pos.Write(line.data(), line.size());
                size_t got = 0;
                while (got < line.size()) {
                    const long n = display.Read(buf, sizeof buf, std::chrono::milliseconds(1000));
                    if (n <= 0) break;
                    got += static_cast<size_t>(n);
                }
                if (got == line.size())
                    ms.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                std::this_thread::sleep_for(std::chrono::milliseconds(3));  // a display's pace
            }
        } else {
            std::fprintf(stderr, "serial: cannot open the port pairs (socat missing?)\n");
        }
        stop = true;
        ui.join();
    }
    kill(p1, SIGTERM);
    kill(p2, SIGTERM);
    waitpid(p1, nullptr, 0);
    waitpid(p2, nullptr, 0);
    std::filesystem::remove_all(dir);
    Report("serial pass-through POS write -> display", ms);
}

void RectangleCapture(int rounds) {
    test::PictureStyle style;
    style.family = "DejaVu Sans";
    style.pixel_size = 22;
    style.pad_x = 0;
    style.pad_y = 0;
    desktop::ScreenImage picture = test::RenderAmountPicture("合计: ¥1,236.50", style);
    // A 200 x 40 rectangle with the amount in it.
    desktop::ScreenImage rect;
    rect.width = 200;
    rect.height = 40;
    rect.bgra.assign(200 * 40 * 4, 255);
    for (int y = 0; y < std::min(40, picture.height); ++y)
        std::memcpy(&rect.bgra[(static_cast<size_t>(y + (40 - picture.height) / 2) * 200 + 8) * 4],
                    &picture.bgra[static_cast<size_t>(y) * picture.width * 4],
                    static_cast<size_t>(std::min(picture.width, 190)) * 4);

    std::unique_ptr<desktop::DesktopServices> desktop;
    const char* where = "scripted screen";
    Display* dpy = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
    if (dpy) {
        // Paint the rectangle onto the root window at (100, 100).
        const int scr = DefaultScreen(dpy);
        XImage* image = XCreateImage(dpy, DefaultVisual(dpy, scr), 24, ZPixmap, 0,
                                     reinterpret_cast<char*>(rect.bgra.data()), 200, 40, 32, 0);
        XPutImage(dpy, RootWindow(dpy, scr), DefaultGC(dpy, scr), image, 0, 0, 100, 100, 200, 40);
        image->data = nullptr;
        XDestroyImage(image);
        XSync(dpy, False);
        desktop = desktop::CreateX11Desktop();
        if (desktop) where = "X server";
    }
    if (!desktop) {
        auto scripted = std::make_unique<RecordingDesktop>();
        desktop::ScreenImage screen;
        screen.width = 400;
        screen.height = 200;
        screen.bgra.assign(400 * 200 * 4, 255);
        for (int y = 0; y < 40; ++y)
            std::memcpy(&screen.bgra[(static_cast<size_t>(y + 100) * 400 + 100) * 4],
                        &rect.bgra[static_cast<size_t>(y) * 200 * 4], 200 * 4);
        scripted->SetScreenImage(screen);
        desktop = std::move(scripted);
    }
    capture::OcrPlugin plugin;
    if (plugin.Load(capture::PluginDirectory(context::RunEnvironment::FromProcess().plugin_dir)) !=
        capture::OcrPlugin::Status::Ready) {
        std::fprintf(stderr, "rectangle: recognition library not ready: %s\n",
                     plugin.Error().c_str());
        return;
    }
    capture::CaptureConfig config;
    config.mode = capture::CaptureConfig::Mode::Rectangle;
    config.rect = desktop::ScreenRect{100, 100, 300, 140};
    std::vector<double> ms, cpu_ms;
    std::string last;
    capture::CaptureOnce(config, desktop.get(), &plugin);  // engine warm-up (start-up cost)
    // CPU time beside the wall time: on a machine shared with other work the wall time
    // mostly measures the wait for a core.
    auto cpu_now = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        const double c0 = cpu_now();
        last = capture::CaptureOnce(config, desktop.get(), &plugin);
        cpu_ms.push_back(cpu_now() - c0);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    Report("rectangle 200x40, CPU time", cpu_ms);
    char title[96];
    std::snprintf(title, sizeof title, "rectangle 200x40 end to end (%s) -> %s", where,
                  last.c_str());
    Report(title, ms);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    SerialPassThrough(rounds * 2);
    RectangleCapture(rounds);
    return 0;
}
