#pragma once
// The two screen places a capture worker reads: a recognition rectangle
// ("top:%d, left:%d, right:%d, bottom:%d") or a window-text point ("x:%d, y:%d").
#include <string>
#include <string_view>

#include "desktop/desktop_services.h"
#include "desktop/screen_place_text.h"

namespace tendrix::capture {

struct CaptureConfig {
    enum class Mode { None, Rectangle, Point };
    Mode mode = Mode::None;
    desktop::ScreenRect rect;    // Rectangle mode
    desktop::ScreenPoint point;  // Point mode
};

// A value containing "top:" is a rectangle, else one containing "x:" a point, else nothing.
// A damaged rectangle or point reads as all 0 (an empty rectangle captures nothing).
CaptureConfig ParseCaptureConfig(std::string_view text);

using ::tendrix::desktop::FormatPoint;
using ::tendrix::desktop::FormatRect;

}  // namespace tendrix::capture
