// Time of one read of the text under a point (DesktopServices::TextAt: X lookup, accessibility
// bus query, deepest control, its text) against the 30 ms capture tick. Runs its own Xvfb,
// session bus and AT-SPI bus launcher, a GTK 3 window and a Qt window, and reads the label's
// centre of each N times (default 200).
//   bench_window_text [N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/x11_desktop.h"
#include "tests/desktop/accessible_session.h"

using namespace tendrix;

namespace {

void Measure(const char* name, desktop::DesktopServices& desktop, desktop::ScreenPoint at, int n) {
    // The first read connects to the bus and fills libatspi's caches; it is reported apart.
    desktop::PointText t;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100 && t.source != desktop::PointText::Source::Control; ++i)
        t = desktop.TextAt(at);
    const double first =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::vector<double> ms;
    int wrong = 0;
    for (int i = 0; i < n; ++i) {
        start = std::chrono::steady_clock::now();
        const desktop::PointText r = desktop.TextAt(at);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        if (r.text != t.text || r.source != desktop::PointText::Source::Control) ++wrong;
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%-4s text \"%s\": first %.1f ms; of %d reads median %.2f ms, p90 %.2f ms, "
        "max %.2f ms (tick 30 ms); wrong %d\n",
        name, t.text.c_str(), first, n, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(),
        wrong);
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    test::AccessibleSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "no accessibility session: %s\n", session.error().c_str());
        return 1;
    }
    auto desktop = desktop::CreateX11DesktopOn(session.display());
    if (!desktop) return 1;
    {
        test::ControlsProgram gtk(
            {"/usr/bin/python3",
             std::string(TENDRIX_SOURCE_DIR) + "/tests/desktop/accessible_gtk_window.py", "100",
             "100"},
            {});
        if (!gtk.ready()) return 1;
        Measure("GTK", *desktop, gtk.Centre("label"), n);
    }
    {
        test::ControlsProgram qt({TENDRIX_ACCESSIBLE_QT_WINDOW, "100", "100"},
                                 {"QT_QPA_PLATFORM=xcb", "QT_ACCESSIBILITY=1"});
        if (!qt.ready()) return 1;
        Measure("Qt", *desktop, qt.Centre("label"), n);
    }
    return 0;
}
