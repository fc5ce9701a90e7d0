#pragma once
// Opens the windows of this area by the names the main window's tray actions use:
//   "settings"        the system settings window (CSystemSetDlg)
//   "focus-capture"   the rectangle selection window (CCaptureDlg, "MainCaptureWindow")
//   "window-capture"  the pointer-following window (CCaptureDlgByHwnd, "MainCaptureByHwndWindow")
// Each runs modally and at most once at a time; a second request while one is open raises it.
#include <string>

#include "settings/settings_context.h"

namespace tendrix::settings {

// True when `what` named one of these windows (whether or not it was already open).
bool LaunchSettingsWindow(const std::string& what, const SettingsContext& context,
                          QWidget* owner = nullptr);

}  // namespace tendrix::settings
