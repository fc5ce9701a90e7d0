#pragma once
// DesktopServices over an X11 display: XTest for synthetic keys and pointer, XGrabKey for
// global hotkeys, window names (_NET_WM_NAME, WM_NAME) for window text, the accessibility bus
// for the text of the control under a point (TextAt, title as fallback), XGetImage for screen
// copies. All calls are serialised on one display connection, so one instance may be used
// from the UI thread and a worker (e.g. the capture worker's screen copies) at once.
//
// Behaviour worth knowing:
//  - Letter keys are sent without Shift (VK 'A' types "a"), as the Windows keyboard does.
//  - Keypad digits and the keypad point type digits and "." even while Num Lock is off.
//  - CaptureRect returns the part of the rectangle that lies on the screen (possibly empty).
//  - RegisterHotKey grabs the key on the root window for every Caps/Num Lock state; it fails
//    when another client holds the grab or this desktop already has it under another atom.
#include <memory>
#include <string>

#include "desktop/desktop_services.h"

namespace tendrix::desktop {

// Opens the named display (e.g. ":97"); nullptr when it cannot be opened or has no XTest.
std::unique_ptr<DesktopServices> CreateX11DesktopOn(const std::string& display_name);

}  // namespace tendrix::desktop
