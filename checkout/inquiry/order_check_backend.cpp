#include "checkout/inquiry/order_check_backend.h"

#include "platform_api/platform_client.h"

namespace tendrix::checkout::inquiry {

Backend PlatformBackend(const platform_api::PlatformClient& client) {
    Backend b;
    b.order_list = [&client](const QueryFields& fields) {
        return platform_api::ParseOrderListAnswer(client.QueryOrderList(fields));
    };
    b.statistics = [&client](const QueryFields& fields) {
        return platform_api::ParseStatisticsAnswer(client.QueryStatistics(fields));
    };
    return b;
}

}  // namespace tendrix::checkout::inquiry
