#pragma once
// The text forms in which the settings keep screen places, read and written in one place for
// every part that uses them (capture rectangle and point, focus and amount-field rectangles):
//   rectangle "top:%d, left:%d, right:%d, bottom:%d", point "x:%d, y:%d".
// Header-only so that every library can use it without a new link dependency.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/desktop_services.h"

namespace tendrix::desktop {

inline std::string FormatRect(const ScreenRect& r) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "top:%d, left:%d, right:%d, bottom:%d", r.top, r.left, r.right,
                  r.bottom);
    return buf;
}

inline std::string FormatPoint(const ScreenPoint& p) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "x:%d, y:%d", p.x, p.y);
    return buf;
}

// The rectangle of a value holding "top:" followed by all four numbers in the stored format
// (read from "top:", so a prefix before it does not matter); nullopt for anything else
// ("FALSE", "TRUE", "无", "", a damaged text).
inline std::optional<ScreenRect> ParseRect(std::string_view text) {
    const size_t at = text.find("top:");
    if (at == std::string_view::npos) return std::nullopt;
    const std::string value(text.substr(at));
    ScreenRect r;
    if (std::sscanf(value.c_str(), "top:%d, left:%d, right:%d, bottom:%d", &r.top, &r.left,
                    &r.right, &r.bottom) != 4)
        return std::nullopt;
    return r;
}

// The point of a value holding "x:" and both numbers; nullopt for anything else.
inline std::optional<ScreenPoint> ParsePoint(std::string_view text) {
    const size_t at = text.find("x:");
    if (at == std::string_view::npos) return std::nullopt;
    const std::string value(text.substr(at));
    ScreenPoint p;
    if (std::sscanf(value.c_str(), "x:%d, y:%d", &p.x, &p.y) != 2) return std::nullopt;
    return p;
}

}  // namespace tendrix::desktop
