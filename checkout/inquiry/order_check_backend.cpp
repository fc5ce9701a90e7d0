#include "checkout/inquiry/order_check_backend.h"

#include "platform_api/platform_client.h"

namespace tendrix::inquiry {

Backend PlatformBackend(const PlatformClient& client) {
    Backend b;
    b.order_list = [&client](const QueryFields& fields) {
        return ParseOrderListAnswer(client.QueryOrderList(fields));
    };
    b.statistics = [&client](const QueryFields& fields) {
        return ParseStatisticsAnswer(client.QueryStatistics(fields));
    };
    return b;
}

}  // namespace tendrix::inquiry
