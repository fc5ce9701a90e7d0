#pragma once
// One QApplication for a widget test binary (the platform is offscreen), with the skin
// directory pointing at the source tree's UIskin/.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "ui/skin.h"

namespace tendrix::test {

inline QApplication& EnsureApp() {
    static int argc = 1;
    static char name[] = "tendrix-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        const char* src = std::getenv("TENDRIX_SOURCE_DIR");
        ui::SetSkinDir(std::string(src ? src : ".") + "/UIskin/");
        return a;
    }();
    return *app;
}

// Spins the event loop until `done` or `ms` milliseconds passed; returns done().
inline bool SpinUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The longest gap a 10-ms ticker sees between its turns while it runs: how long the event loop
// was kept from the window (and the machine gave to other processes).
class LoopGapMeter {
  public:
    LoopGapMeter() {
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            if (last_) longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void Start() {
        last_ = longest_ = 0;
        clock_.start();
        ticker_.start(10);
    }
    void Stop() { ticker_.stop(); }
    qint64 LongestMs() const { return longest_; }

  private:
    QTimer ticker_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
};

// Runs `action` once the event loop turns (e.g. inside a modal exec()).
inline void Later(std::function<void()> action, int ms = 0) {
    QTimer::singleShot(ms, std::move(action));
}

}  // namespace tendrix::test
