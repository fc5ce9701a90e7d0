#pragma once
// Key strokes of the keypads, delivered to whichever control has the keyboard focus: a
// control of this program gets Qt key events; with no focused control here (the POS
// program is in front) the strokes go through the desktop services by virtual-key code.
#include <vector>

#include "checkout/pages/pay_logic.h"

class QWidget;

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::checkout {}

namespace tendrix::checkout {

// Returns the widget that received the strokes (nullptr when they went to the desktop or
// nowhere).
QWidget* InjectKeyStrokes(const std::vector<KeyStroke>& strokes, desktop::DesktopServices* desktop);

}  // namespace tendrix::checkout
