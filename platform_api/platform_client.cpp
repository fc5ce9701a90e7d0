#include "platform_api/platform_client.h"

#include <algorithm>

#include "common/diag_log.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "platform_api/money_text.h"
#include "platform_api/signing.h"

namespace tendrix::platform_api {

PlatformClient::PlatformClient(const std::string& proxy_host, const std::string& proxy_port,
                               const std::string& proxy_user, const std::string& proxy_password,
                               const std::string& api_base, std::chrono::milliseconds timeout)
    : timeout_(timeout.count() > 0 ? timeout : kDefaultTimeout) {
    // The port alone or the password alone is ignored; texts are kept whole whatever their
    // length.
    if (!proxy_host.empty()) proxy_address_ = proxy_host + ":" + proxy_port;
    if (!proxy_user.empty()) proxy_credentials_ = proxy_user + ":" + proxy_password;
    set_api_base(api_base);
}

PlatformClient::PlatformClient(const context::AppConfig& config)
    : PlatformClient(config.proxy_address, config.proxy_port, config.proxy_account,
                     config.proxy_password, config.api_base, config.environment.platform_timeout) {
    identity_.merchant_id = config.merchant_id;
    identity_.client_id = config.client_id;
    identity_.secret = config.secret;
    identity_.cashier_name = config.cashier_name;
}

void PlatformClient::set_api_base(std::string base) {
    while (!base.empty() && (base.back() == '/' || base.back() == ' ')) base.pop_back();
    api_base_ = std::move(base);
}

std::string PlatformClient::Url(std::string_view path) const {
    return api_base_ + std::string(path);
}

PlatformAnswer PlatformClient::Post(std::string_view path, const std::string& body) const {
    return PostForm(body, Url(path));
}

namespace {

PlatformAnswer NothingSent() {
    // The cashier sees what an answer without an order shows.
    PlatformAnswer answer;
    answer.error = PlatformError::kRefusedInput;
    answer.message = std::string(kIllegalFormatText);
    return answer;
}

}  // namespace

bool IsPaymentCodeText(std::string_view code) {
    if (code.empty()) return false;
    for (char c : code) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

PlatformAnswer PlatformClient::CreateOrder(const std::string& out_order_id,
                                           const std::string& total_fee,
                                           const std::string& pay_code,
                                           const std::string& order_type) const {
    if (!IsPaymentCodeText(pay_code)) return NothingSent();
    ParamList items{"merchantId=" + identity_.merchant_id, "clientId=" + identity_.client_id,
                    "payCode=" + pay_code, "totalFee=" + total_fee, "outOrderId=" + out_order_id};
    if (!order_type.empty()) items.push_back("orderType=" + order_type);
    return Post(paths::kCreate, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::QueryOrder(const std::string& order_id,
                                          const std::string& out_order_id) const {
    ParamList items;
    if (!out_order_id.empty()) {
        items.push_back("outOrderId=" + out_order_id);
    } else {
        items.push_back("orderId=" + order_id);
    }
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    return Post(paths::kQuery, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::RefundOrder(const std::string& refund_fee,
                                           const std::string& order_id,
                                           const std::string& description) const {
    if (description.size() > kHexUtf8MaxBytes) return NothingSent();
    ParamList items{"orderId=" + order_id};
    if (refund_fee != "00") items.push_back("refundFee=" + refund_fee);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    if (!description.empty()) items.push_back("description=" + HexUtf8(description));
    return Post(paths::kRefund, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::CloseOrder(const std::string& order_id,
                                          const std::string& description) const {
    if (description.size() > kHexUtf8MaxBytes) return NothingSent();
    ParamList items{"orderId=" + order_id, "description=" + HexUtf8(description),
                    "merchantId=" + identity_.merchant_id, "clientId=" + identity_.client_id};
    return Post(paths::kClose, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::PreCreateOrder(const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    return Post(paths::kPreCreate, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::Login(const std::string& user_name,
                                     const std::string& password) const {
    ParamList items{"userName=" + HexUtf8(user_name), "userPwd=" + password,
                    "merchantId=" + Md5HexOf(user_name + password), "deviceType=3"};
    return Post(paths::kShowLogin, BuildSignedBody(std::move(items), std::string(kLoginKey)));
}

PlatformAnswer PlatformClient::QueryMerchantInfo(const std::string& merchant_id,
                                                 const std::string& client_id,
                                                 const std::string& key) const {
    ParamList items{"merchantId=" + merchant_id, "clientId=" + client_id};
    return Post(paths::kReturn, BuildSignedBody(std::move(items), key));
}

PlatformAnswer PlatformClient::QueryShopManager(const std::string& merchant_id,
                                                const std::string& key,
                                                const std::string& shop_id) const {
    ParamList items{"merchantId=" + merchant_id, "shopId=" + shop_id};
    return Post(paths::kQueryManager, BuildSignedBody(std::move(items), key));
}

PlatformAnswer PlatformClient::GrantPermission(const std::string& user_name,
                                               const std::string& merchant_id,
                                               const std::string& permission,
                                               const std::string& key) const {
    ParamList items{"userName=" + HexUtf8(user_name), "merchantId=" + merchant_id,
                    "jtion=" + permission};
    return Post(paths::kAddJtion, BuildSignedBody(std::move(items), key));
}

PlatformAnswer PlatformClient::QueryOrderList(const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    return Post(paths::kQueryOrderList, BuildSignedBody(std::move(items), identity_.secret));
}

PlatformAnswer PlatformClient::QueryStatistics(const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    return Post(paths::kQueryStatistics, BuildSignedBody(std::move(items), identity_.secret));
}

std::string PlatformClient::MakePreCreateOrderNumber(std::time_t when) const {
    return MakePreCreateOutOrderId(when, identity_.client_id, identity_.cashier_name);
}

}  // namespace tendrix::platform_api
