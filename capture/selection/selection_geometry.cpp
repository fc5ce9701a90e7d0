#include "capture/selection/selection_geometry.h"

#include <algorithm>
#include <cstdio>

namespace tendrix::selection {

std::string FormatRect(const ScreenRect& r) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "top:%d, left:%d, right:%d, bottom:%d", r.top, r.left, r.right,
                  r.bottom);
    return buf;
}

std::optional<ScreenRect> ParseRect(const std::string& text) {
    auto at = text.find("top:");
    if (at == std::string::npos) return std::nullopt;
    ScreenRect r;
    if (std::sscanf(text.c_str() + at, "top:%d, left:%d, right:%d, bottom:%d", &r.top, &r.left,
                    &r.right, &r.bottom) != 4)
        return std::nullopt;
    return r;
}

std::string FormatPoint(const ScreenPoint& p) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "x:%d, y:%d", p.x, p.y);
    return buf;
}

std::optional<ScreenPoint> ParsePoint(const std::string& text) {
    auto at = text.find("x:");
    if (at == std::string::npos) return std::nullopt;
    ScreenPoint p;
    if (std::sscanf(text.c_str() + at, "x:%d, y:%d", &p.x, &p.y) != 2) return std::nullopt;
    return p;
}

ScreenRect Normalised(ScreenPoint a, ScreenPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

}  // namespace tendrix::selection
