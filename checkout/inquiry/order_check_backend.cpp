#include "checkout/inquiry/order_check_backend.h"

#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"

namespace tendrix::inquiry {

Backend PlatformBackend(const PlatformClient& client) {
    Backend b;
    b.order_list = [&client](const QueryFields& fields, std::string& answer,
                             std::vector<std::string>& rows) {
        client.QueryOrderList(answer, fields);
        // The network failure text comes back as it is and is shown as it is.
        if (answer == kNetworkFailureText) {
            rows.clear();
            return;
        }
        ParseOrderListAnswer(answer, rows);
    };
    b.statistics = [&client](const QueryFields& fields, std::string& answer,
                             std::vector<std::string>& rows, std::string& period) {
        client.QueryStatistics(answer, fields);
        if (answer == kNetworkFailureText) {
            rows.clear();
            return;
        }
        ParseStatisticsAnswer(answer, rows, period);
    };
    return b;
}

}  // namespace tendrix::inquiry
