#include "capture/selection/selection_geometry.h"

#include <algorithm>

namespace tendrix::capture::selection {

desktop::ScreenRect Normalised(desktop::ScreenPoint a, desktop::ScreenPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

}  // namespace tendrix::capture::selection
