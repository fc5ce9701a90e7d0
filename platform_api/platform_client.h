#pragma once
// PlatformClient: the payment platform client a window makes for its calls.
//
// It holds the proxy settings, the platform base address and the merchant identity
// (merchant id, client id, signing secret), builds and signs each operation's items, posts
// them with PostForm and hands back a PlatformAnswer: the answer text (UTF-8), or the kind of
// failure with the cashier's text for it. Nothing is thrown.
//
// Calls block the calling thread for the length of the exchange. Each call has its own
// receive buffer and curl handle, so separate clients may be used from separate threads.
#include <chrono>
#include <ctime>
#include <map>
#include <string>
#include <string_view>

#include "platform_api/platform_answer.h"

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::platform_api {

namespace paths {
inline constexpr std::string_view kCreate = "/plugOrder/create";
inline constexpr std::string_view kQuery = "/plugOrder/query";
inline constexpr std::string_view kRefund = "/plugOrder/refund";
inline constexpr std::string_view kClose = "/plugOrder/close";
inline constexpr std::string_view kPreCreate = "/plugOrder/preCreate";
inline constexpr std::string_view kQueryOrderList = "/plugOrder/queryOrderList";
inline constexpr std::string_view kQueryStatistics = "/plugOrder/queryStatistics";
inline constexpr std::string_view kShowLogin = "/plugOrder/showLogin";
inline constexpr std::string_view kReturn = "/plugOrder/return";
inline constexpr std::string_view kQueryManager = "/plugOrder/queryManager";
inline constexpr std::string_view kAddJtion = "/plugOrder/addJtion";
}  // namespace paths

// Who signs: what a successful login leaves in AppConfig.
struct PlatformIdentity {
    std::string merchant_id;
    std::string client_id;
    std::string secret;        // signing key of every request but the login
    std::string cashier_name;  // used in pre-create order numbers
};

// Query fields of the order list, statistics and pre-create calls, sent in key order.
using QueryFields = std::map<std::string, std::string>;

// A payment code as the platform takes it: ASCII letters and digits only, at least one.
// Anything else could add form items to the unencoded request body.
bool IsPaymentCodeText(std::string_view code);

class PlatformClient {
  public:
    // The client-side time-out of one exchange, and of its connection within it.
    static constexpr std::chrono::milliseconds kDefaultTimeout{120000};
    static constexpr std::chrono::milliseconds kConnectTimeout{10000};

    // From the four proxy texts (login page, network settings, permission window), the base
    // address and the time-out of one exchange (0: kDefaultTimeout).
    PlatformClient(const std::string& proxy_host, const std::string& proxy_port,
                   const std::string& proxy_user, const std::string& proxy_password,
                   const std::string& api_base = std::string(),
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
    // From the application context: its proxy settings, api_base, the environment's
    // time-out and the login identity.
    explicit PlatformClient(const context::AppConfig& config);

    // Proxy address "host:port" (empty: none) and credentials "user:password" (empty: none).
    const std::string& proxy_address() const { return proxy_address_; }
    const std::string& proxy_credentials() const { return proxy_credentials_; }

    const std::string& api_base() const { return api_base_; }
    void set_api_base(std::string base);
    const PlatformIdentity& identity() const { return identity_; }
    void set_identity(PlatformIdentity identity) { identity_ = std::move(identity); }

    // Time-out of one exchange (120 s unless the constructor was given another).
    std::chrono::milliseconds timeout() const { return timeout_; }
    void set_timeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // Base address + path.
    std::string Url(std::string_view path) const;

    // Posts the signed body (UTF-8; sent as GBK) to url. The answer is the reply decoded as
    // UTF-8; kEmpty when nothing came back; kNetwork (kNetworkFailureText, libcurl's reason in
    // detail) when the exchange failed: refused, proxy failure, time-out, ... The HTTP status
    // is not looked at. Every exchange is written to the diagnostic log, secrets masked.
    PlatformAnswer PostForm(const std::string& body, const std::string& url) const;

    // ---- order operations (signed with identity().secret) ----
    // With the merchant order number chosen by the caller (MakeOutOrderId), written down
    // before the request leaves so that an order whose answer is lost can be found again.
    // A payment code that is not IsPaymentCodeText sends nothing (kRefusedInput).
    PlatformAnswer CreateOrder(const std::string& out_order_id, const std::string& total_fee,
                               const std::string& pay_code, const std::string& order_type) const;
    // By the merchant order number when it is not empty, otherwise by the platform number.
    PlatformAnswer QueryOrder(const std::string& order_id, const std::string& out_order_id) const;
    // refund_fee "00" leaves the amount out (a full refund). A description of more than
    // kHexUtf8MaxBytes UTF-8 bytes sends nothing (kRefusedInput).
    PlatformAnswer RefundOrder(const std::string& refund_fee, const std::string& order_id,
                               const std::string& description) const;
    PlatformAnswer CloseOrder(const std::string& order_id, const std::string& description) const;
    // fields: "outOrderId", "orderType", "totalFee", "tradeType" ("NATIVE").
    PlatformAnswer PreCreateOrder(const QueryFields& fields) const;

    // ---- merchant and cashier operations ----
    // Signed with the fixed login key.
    PlatformAnswer Login(const std::string& user_name, const std::string& password) const;
    // "/plugOrder/return": merchant, shop and cashier names, version.
    PlatformAnswer QueryMerchantInfo(const std::string& merchant_id, const std::string& client_id,
                                     const std::string& key) const;
    PlatformAnswer QueryShopManager(const std::string& merchant_id, const std::string& key,
                                    const std::string& shop_id) const;
    // permission: "0", "1" or "2".
    PlatformAnswer GrantPermission(const std::string& user_name, const std::string& merchant_id,
                                   const std::string& permission, const std::string& key) const;

    // ---- order list and statistics (fields: startTime, endTime, pageNum, pageSize,
    //      orderType, orderState) ----
    PlatformAnswer QueryOrderList(const QueryFields& fields) const;
    PlatformAnswer QueryStatistics(const QueryFields& fields) const;

    // The pre-create merchant order number for this client's identity at time `when`.
    std::string MakePreCreateOrderNumber(std::time_t when) const;

  private:
    PlatformAnswer Post(std::string_view path, const std::string& body) const;

    std::string proxy_address_;
    std::string proxy_credentials_;
    std::string api_base_;
    PlatformIdentity identity_;
    std::chrono::milliseconds timeout_;
};

}  // namespace tendrix::platform_api
