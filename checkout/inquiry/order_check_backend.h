#pragma once
// The order inquiry page's platform calls through PlatformClient and the answer parsers.
#include "checkout/inquiry/order_check_logic.h"

namespace tendrix::platform_api {
class PlatformClient;
}  // namespace tendrix::platform_api

namespace tendrix::checkout::inquiry {}

namespace tendrix::checkout::inquiry {

// The client must outlive the backend.
Backend PlatformBackend(const platform_api::PlatformClient& client);

}  // namespace tendrix::checkout::inquiry
