#include "capture/capture_config.h"

#include <cstdio>

namespace tendrix::capture {

CaptureConfig ParseCaptureConfig(std::string_view text) {
    CaptureConfig config;
    const std::string value(text);
    if (const size_t at = value.find("top:"); at != std::string::npos) {
        config.mode = CaptureConfig::Mode::Rectangle;
        ScreenRect& r = config.rect;
        // Read from the value's start as written; a value with a prefix is read from "top:".
        if (std::sscanf(value.c_str(), "top:%d, left:%d, right:%d, bottom:%d", &r.top, &r.left,
                        &r.right, &r.bottom) != 4) {
            r = ScreenRect{};
            std::sscanf(value.c_str() + at, "top:%d, left:%d, right:%d, bottom:%d", &r.top, &r.left,
                        &r.right, &r.bottom);
        }
    } else if (const size_t at = value.find("x:"); at != std::string::npos) {
        config.mode = CaptureConfig::Mode::Point;
        ScreenPoint& p = config.point;
        if (std::sscanf(value.c_str(), "x:%d, y:%d", &p.x, &p.y) != 2) {
            p = ScreenPoint{};
            std::sscanf(value.c_str() + at, "x:%d, y:%d", &p.x, &p.y);
        }
    }
    return config;
}

std::string FormatRect(const ScreenRect& r) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "top:%d, left:%d, right:%d, bottom:%d", r.top, r.left, r.right,
                  r.bottom);
    return buf;
}

std::string FormatPoint(const ScreenPoint& p) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "x:%d, y:%d", p.x, p.y);
    return buf;
}

}  // namespace tendrix::capture
