#pragma once
// The text forms of screen rectangles and points that the settings keep, and the strict
// inside test the selection windows use (a point on a border is outside).
#include <optional>
#include <string>

#include "desktop/desktop_services.h"

namespace tendrix::selection {

// "top:%d, left:%d, right:%d, bottom:%d"
std::string FormatRect(const ScreenRect& r);
// A value holding "top:" read back with the same format; nullopt for anything else
// ("FALSE", "TRUE", "", a damaged text).
std::optional<ScreenRect> ParseRect(const std::string& text);
// "x:%d, y:%d"
std::string FormatPoint(const ScreenPoint& p);
std::optional<ScreenPoint> ParsePoint(const std::string& text);

// Strictly inside: left < x < right and top < y < bottom.
inline bool StrictlyInside(const ScreenRect& r, ScreenPoint p) {
    return r.left < p.x && p.x < r.right && r.top < p.y && p.y < r.bottom;
}

// The rectangle spanned by two corners in any order.
ScreenRect Normalised(ScreenPoint a, ScreenPoint b);

}  // namespace tendrix::selection
