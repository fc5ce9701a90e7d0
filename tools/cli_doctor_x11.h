#pragma once
// The X11 part of tendrix-cli doctor, kept apart because Xlib's macros clash with the
// program's own headers.
#include <string>

namespace tendrix::tools {

struct DisplayProbe {
    bool opened = false;  // the display accepted a connection
    bool tray = false;    // a notification area owns _NET_SYSTEM_TRAY_S<screen>
};

DisplayProbe ProbeDisplay(const std::string& name);

}  // namespace tendrix::tools
