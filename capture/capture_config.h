#pragma once
// The two screen places a capture worker reads: a recognition rectangle
// ("top:%d, left:%d, right:%d, bottom:%d") or a window-text point ("x:%d, y:%d").
#include <string>
#include <string_view>

#include "desktop/desktop_services.h"

namespace tendrix::capture {

struct CaptureConfig {
    enum class Mode { None, Rectangle, Point };
    Mode mode = Mode::None;
    ScreenRect rect;    // Rectangle mode
    ScreenPoint point;  // Point mode
};

// A value containing "top:" is a rectangle, else one containing "x:" a point, else nothing.
// Numbers that cannot be read stay 0.
CaptureConfig ParseCaptureConfig(std::string_view text);

std::string FormatRect(const ScreenRect& r);
std::string FormatPoint(const ScreenPoint& p);

}  // namespace tendrix::capture
