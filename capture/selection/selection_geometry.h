#pragma once
// The text forms of screen rectangles and points that the settings keep, and the strict
// inside test the selection windows use (a point on a border is outside).
#include <optional>
#include <string>

#include "desktop/desktop_services.h"
#include "desktop/screen_place_text.h"

namespace tendrix::capture::selection {

// The stored text forms of rectangles and points (one reader and writer for all parts).
using ::tendrix::desktop::FormatPoint;
using ::tendrix::desktop::FormatRect;
using ::tendrix::desktop::ParsePoint;
using ::tendrix::desktop::ParseRect;

// Strictly inside: left < x < right and top < y < bottom.
inline bool StrictlyInside(const desktop::ScreenRect& r, desktop::ScreenPoint p) {
    return r.left < p.x && p.x < r.right && r.top < p.y && p.y < r.bottom;
}

// The rectangle spanned by two corners in any order.
desktop::ScreenRect Normalised(desktop::ScreenPoint a, desktop::ScreenPoint b);

}  // namespace tendrix::capture::selection
