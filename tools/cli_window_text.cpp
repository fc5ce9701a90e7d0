// tendrix-cli window-text X Y: what the point capture reads at a screen point — the raw text
// (the control's text from the accessibility bus, else the window title), where it came from,
// and the amount taken from it. For an installer checking that a POS program publishes its
// total before choosing the point.
//
// Exit codes: 0 read (also when nothing is there); 1 usage error; 2 no X display.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/capture_worker.h"
#include "desktop/atspi_window_text.h"
#include "desktop/desktop_services.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
namespace {

constexpr int kExitOk = 0, kExitUsage = 1, kExitNoDisplay = 2;

bool ParseInt(const std::string& s, int* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < -100000 || v > 100000) return false;
    *out = static_cast<int>(v);
    return true;
}

int RunWindowText(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    bool after_command = false;
    for (const auto& a : args) {
        if (!after_command) {
            after_command = a == "window-text";
            continue;
        }
        positional.push_back(a);
    }
    desktop::ScreenPoint p;
    if (positional.size() != 2 || !ParseInt(positional[0], &p.x) ||
        !ParseInt(positional[1], &p.y)) {
        std::fprintf(stderr, "usage: tendrix-cli window-text X Y (screen coordinates)\n");
        return kExitUsage;
    }
    auto desktop = desktop::CreateX11Desktop();
    if (!desktop) {
        std::fprintf(stderr, "window-text: no X display (is DISPLAY set?)\n");
        return kExitNoDisplay;
    }
    const desktop::PointText t = desktop->TextAt(p);
    const char* source = t.source == desktop::PointText::Source::Control       ? "control"
                         : t.source == desktop::PointText::Source::WindowTitle ? "window title"
                                                                               : "none";
    std::printf("text: %s\n", t.text.c_str());
    if (t.role.empty()) {
        std::printf("source: %s\n", source);
    } else {
        std::printf("source: %s (%s)\n", source, t.role.c_str());
    }
    std::printf("amount: %s\n", capture::AmountFromPointText(t).c_str());
    if (t.timed_out)
        std::printf("note: the program under the point did not answer within %lld ms\n",
                    static_cast<long long>(desktop::kAccessibleTextTimeout.count()));
    if (t.source != desktop::PointText::Source::Control && !t.timed_out) {
        std::string detail;
        if (!desktop::AccessibilityBusRunning(&detail))
            std::printf("note: %s\n", detail.c_str());
        else
            std::printf(
                "note: no published control text here; switch on the POS program's "
                "accessibility (see README)\n");
    }
    return kExitOk;
}

const CliRegistrar kWindowText("window-text",
                               "  window-text X Y\n"
                               "      print the text at a screen point (the control's text, else "
                               "the window title),\n"
                               "      where it came from and the amount the point capture takes",
                               RunWindowText);

}  // namespace
}  // namespace tendrix::tools
