#include "tools/cli_doctor_x11.h"

#include <X11/Xlib.h>

namespace tendrix::tools {

DisplayProbe ProbeDisplay(const std::string& name) {
    DisplayProbe probe;
    Display* display = XOpenDisplay(name.c_str());
    if (!display) return probe;
    probe.opened = true;
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.c_str(), False);
    probe.tray = XGetSelectionOwner(display, atom) != None;
    XCloseDisplay(display);
    return probe;
}

}  // namespace tendrix::tools
