#include "capture/capture_config.h"

namespace tendrix::capture {

CaptureConfig ParseCaptureConfig(std::string_view text) {
    CaptureConfig config;
    if (text.find("top:") != std::string_view::npos) {
        config.mode = CaptureConfig::Mode::Rectangle;
        config.rect = desktop::ParseRect(text).value_or(desktop::ScreenRect{});
    } else if (text.find("x:") != std::string_view::npos) {
        config.mode = CaptureConfig::Mode::Point;
        config.point = desktop::ParsePoint(text).value_or(desktop::ScreenPoint{});
    }
    return config;
}

}  // namespace tendrix::capture
