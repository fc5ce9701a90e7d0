#pragma once
// The order inquiry page's platform calls through PlatformClient and the answer parsers.
#include "checkout/inquiry/order_check_logic.h"

namespace tendrix {
class PlatformClient;
}

namespace tendrix::inquiry {

// The client must outlive the backend.
Backend PlatformBackend(const PlatformClient& client);

}  // namespace tendrix::inquiry
