// Replaying a 13-character product barcode (and its Enter) to the foreground program:
// time for the replay itself (ScanClassifier::Tick with the X11 desktop) and until a plain
// X window has received all 14 key presses. Runs on a private Xvfb.
//
// Usage: bench_input_replay [rounds=50]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "desktop/x11_desktop.h"
#include "input/scan_classifier.h"
#include "tests/desktop/x_test_window.h"
#include "tests/desktop/xvfb_server.h"

using Clock = std::chrono::steady_clock;

namespace {

class Target : public tendrix::input::PaymentCodeTarget, public tendrix::input::HookSwitch {
  public:
    void SetPayCode(const std::string&) override {}
    void ToggleShowHide() override {}
    bool MainWindowHidden() const override { return true; }
    void PlayVoice(const std::string&) override {}
    void SetPayWithoutWaiting() override {}
    void ReleaseOrShield(int) override {}
};

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    std::printf("%-34s mean %.3f ms, median %.3f ms, max %.3f ms\n", what, sum / v.size(),
                v[v.size() / 2], v.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    tendrix::test::XvfbServer xvfb;
    if (!xvfb.ok()) {
        std::printf("skipped: %s\n", xvfb.error().c_str());
        return 0;
    }
    auto desktop = tendrix::desktop::CreateX11DesktopOn(xvfb.display());
    tendrix::test::XTestWindow pos(xvfb.display(), 0, 0, 400, 300, "POS");
    if (!desktop || !pos.ok()) return 1;
    Target target;
    tendrix::input::ScanClassifier classifier(*desktop, target, target);
    classifier.Configure(tendrix::input::CaptureWay::Keyboard, true);
    const std::string barcode = "6901234567892\r";
    std::vector<double> send_ms, arrive_ms;
    size_t expected = 0;
    for (int i = 0; i < rounds; ++i) {
        for (char c : barcode) classifier.OnHookChar(c);
        const auto t0 = Clock::now();
        classifier.Tick();  // replays: short code with its carriage return
        const auto t1 = Clock::now();
        expected += barcode.size();
        pos.Collect(expected);
        const auto t2 = Clock::now();
        send_ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        arrive_ms.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
    }
    std::string want;
    for (int i = 0; i < rounds; ++i) want += barcode;
    std::printf("rounds %d, all keys arrived in order: %s\n", rounds,
                pos.typed() == want ? "yes" : "NO");
    Report("replay (Tick, keys sent)", send_ms);
    Report("replay until window has 14 keys", arrive_ms);
    return pos.typed() == want ? 0 : 1;
}
