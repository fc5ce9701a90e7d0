#pragma once
// The text of the control under a screen point, read from the AT-SPI accessibility bus, where
// GTK, Qt (with accessibility on), Java (ATK bridge), LibreOffice and browsers publish their
// controls.
//
// libatspi is not thread-safe and every query is a D-Bus call into the target program, which
// may hang. All queries therefore run on one process-wide thread; a caller waits for its
// answer only until its deadline. While that thread is stuck in a hung program, further
// callers wait at most their own time-out and get TimedOut.
#include <chrono>
#include <cstdint>
#include <string>

#include "desktop/desktop_services.h"

namespace tendrix::desktop {

struct AccessibleTextResult {
    enum class Outcome {
        Found,         // text holds the control's text
        NoText,        // a control is there but publishes no text
        NoAccessible,  // no published window holds the point
        NoBus,         // no accessibility bus to ask
        TimedOut,      // the program under the point did not answer in time
    };
    Outcome outcome = Outcome::NoAccessible;
    std::string text;  // UTF-8, at most kMaxAccessibleTextBytes
    std::string role;  // role name of the control read ("label", "entry", ...), for diagnostics
};

inline constexpr size_t kMaxAccessibleTextBytes = 4096;
inline constexpr std::chrono::milliseconds kAccessibleTextTimeout{250};

// Where to look: the screen point, and what the X server says about the top-level window
// under it (its owner's process id from _NET_WM_PID and its rectangle; 0 / empty when
// unknown). The hints pick the right program when windows of several overlap the point.
struct AccessibleQuery {
    ScreenPoint point;
    uint32_t pid = 0;
    ScreenRect window;
};

// The deepest published control whose screen extents hold the point, and its text: the Text
// interface, else its name, else the value text of an entry, label, cell or spin button.
// Password fields are never read.
AccessibleTextResult ReadAccessibleText(const AccessibleQuery& query,
                                        std::chrono::milliseconds timeout = kAccessibleTextTimeout);

// True when the session has an accessibility bus (org.a11y.Bus answers on the session bus,
// starting its launcher if D-Bus can activate it, or the root window names one).
// `detail` receives a short explanation for a diagnostic report.
bool AccessibilityBusRunning(std::string* detail = nullptr);

}  // namespace tendrix::desktop
