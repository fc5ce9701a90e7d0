// Time from a payment code's carriage return to its hand-off, on the path the program uses:
// a scanner-speed burst of characters is posted from another thread (as the hook's reader
// does) into a Qt event loop whose 30 ms timer drives ScanClassifier::Tick().
//
// Usage: bench_input_tick [codes=100]
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "input/scan_classifier.h"
#include "tests/support/recording_desktop.h"

using Clock = std::chrono::steady_clock;

namespace {

class Target : public tendrix::input::PaymentCodeTarget, public tendrix::input::HookSwitch {
  public:
    std::vector<double> latencies_ms;
    std::vector<Clock::time_point> cr_times;  // set by the UI thread when the CR is queued
    std::vector<long> cr_ticks;               // ticks done when the CR was appended
    long ticks = 0;
    long max_ticks_after_cr = 0;
    size_t replays = 0;
    void SetPayCode(const std::string&) override {
        const auto now = Clock::now();
        // This call runs inside tick number `ticks`.
        max_ticks_after_cr = std::max(max_ticks_after_cr, ticks - cr_ticks[latencies_ms.size()]);
        latencies_ms.push_back(
            std::chrono::duration<double, std::milli>(now - cr_times[latencies_ms.size()]).count());
    }
    void ToggleShowHide() override {}
    bool MainWindowHidden() const override { return true; }
    void PlayVoice(const std::string&) override {}
    void SetPayWithoutWaiting() override {}
    void ReleaseOrShield(int flag) override { replays += flag; }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int codes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    tendrix::RecordingDesktop desktop;
    Target target;
    target.cr_times.reserve(static_cast<size_t>(codes));
    tendrix::input::ScanClassifier classifier(desktop, target, target);
    classifier.Configure(tendrix::input::CaptureWay::Keyboard, true);

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++target.ticks;
        classifier.Tick();
    });
    tick.start(30);

    std::thread feeder([&] {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> gap(70, 130);
        const std::string code = "134567890123456789\r";
        for (int i = 0; i < codes; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
            for (char c : code) {
                const bool cr = c == '\r';
                QMetaObject::invokeMethod(
                    &app,
                    [&, c, cr, posted = Clock::now()] {
                        if (cr) {
                            target.cr_times.push_back(posted);
                            target.cr_ticks.push_back(target.ticks);
                        }
                        classifier.OnHookChar(c);
                    },
                    Qt::QueuedConnection);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    feeder.join();

    auto& l = target.latencies_ms;
    if (l.empty()) {
        std::printf("no payment code recognised\n");
        return 1;
    }
    std::sort(l.begin(), l.end());
    double sum = 0;
    for (double v : l) sum += v;
    std::printf("codes sent %d, recognised %zu, replayed %zu\n", codes, l.size(), target.replays);
    std::printf(
        "CR -> hand-off latency ms: mean %.2f, median %.2f, p95 %.2f, max %.2f "
        "(tick period 30 ms)\n",
        sum / l.size(), l[l.size() / 2], l[l.size() * 95 / 100], l.back());
    std::printf("ticks from the carriage return to the hand-off: at most %ld\n",
                target.max_ticks_after_cr);
    return l.size() == static_cast<size_t>(codes) && target.max_ticks_after_cr <= 1 ? 0 : 1;
}
