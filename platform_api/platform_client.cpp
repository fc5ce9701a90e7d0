#include "platform_api/platform_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "app/app_config.h"
#include "common/diag_log.h"
#include "common/text_codec.h"
#include "platform_api/money_text.h"
#include "platform_api/signing.h"

namespace tendrix {
namespace {

constexpr std::string_view kLogCategory = "platform";

void GlobalCurlInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::chrono::milliseconds DefaultTimeout() {
    if (const char* env = std::getenv("TENDRIX_PLATFORM_TIMEOUT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(env, &end, 10);
        if (end != env && *end == '\0' && ms > 0) return std::chrono::milliseconds(ms);
    }
    return PlatformClient::kDefaultTimeout;
}

// Receive routine: appends each chunk to the buffer of this one exchange.
size_t Receive(char* data, size_t size, size_t count, void* user) {
    auto* buffer = static_cast<std::string*>(user);
    buffer->append(data, size * count);
    return size * count;
}

std::string PathOf(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? url : url.substr(slash);
}

// Items of a body for the log: the signature left out, the password and what derives
// from it (the login "merchantId" digest) masked.
std::string ItemsForLog(const std::string& body, const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string item = body.substr(start, end - start);
        const std::string name = item.substr(0, item.find('='));
        if (name != kSignatureItemName) {
            if (name == "userPwd" || (name == "merchantId" && path == paths::kShowLogin)) {
                item = name + "=***";
            }
            if (!out.empty()) out += '&';
            out += item;
        }
        start = end + 1;
    }
    return out;
}

// The answer for the log: the value of any "secret" member masked.
std::string AnswerForLog(std::string answer) {
    size_t at = 0;
    while ((at = answer.find("\"secret\"", at)) != std::string::npos) {
        size_t value = answer.find_first_not_of(" \t\r\n", at + 8);
        if (value == std::string::npos || answer[value] != ':') {
            at += 8;
            continue;
        }
        value = answer.find_first_not_of(" \t\r\n", value + 1);
        if (value == std::string::npos) break;
        size_t end = value;
        if (answer[value] == '"') {
            ++value;
            end = value;
            while (end < answer.size() && answer[end] != '"') end += answer[end] == '\\' ? 2 : 1;
        } else {
            // A value of another type: up to the next separator.
            end = answer.find_first_of(",}]", value);
        }
        end = std::min(end, answer.size());
        answer.replace(value, end - value, "***");
        at = value + 3;
    }
    constexpr size_t kMaxLogged = 4096;
    if (answer.size() > kMaxLogged) {
        const size_t total = answer.size();
        answer.resize(kMaxLogged);
        // Do not leave half a UTF-8 character at the cut.
        while (!answer.empty() && (static_cast<unsigned char>(answer.back()) & 0xC0) == 0x80) {
            answer.pop_back();
        }
        if (!answer.empty() && static_cast<unsigned char>(answer.back()) >= 0xC0) answer.pop_back();
        answer += "...(" + std::to_string(total) + " bytes)";
    }
    return answer;
}

}  // namespace

PlatformClient::PlatformClient(const std::string& proxy_host, const std::string& proxy_port,
                               const std::string& proxy_user, const std::string& proxy_password,
                               const std::string& api_base)
    : timeout_(DefaultTimeout()) {
    // The port alone or the password alone is ignored; texts are kept whole whatever their
    // length.
    if (!proxy_host.empty()) proxy_address_ = proxy_host + ":" + proxy_port;
    if (!proxy_user.empty()) proxy_credentials_ = proxy_user + ":" + proxy_password;
    std::string base = api_base;
    if (base.empty()) {
        if (const char* env = std::getenv("TENDRIX_API_BASE")) base = env;
    }
    set_api_base(std::move(base));
}

PlatformClient::PlatformClient(const AppConfig& config)
    : PlatformClient(config.proxy_address, config.proxy_port, config.proxy_account,
                     config.proxy_password, config.api_base) {
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

void PlatformClient::PostForm(std::string& answer, const std::string& url) const {
    GlobalCurlInit();
    const auto started = std::chrono::steady_clock::now();
    // The body leaves the program in the ANSI code page, whole whatever its length.
    const std::string body = IsAscii(answer) ? answer : Utf8ToGbk(answer);
    std::string received;  // this exchange's own receive buffer
    CURLcode result = CURLE_FAILED_INIT;
    if (CURL* curl = curl_easy_init()) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        // An empty proxy text also keeps libcurl from taking one from the environment.
        curl_easy_setopt(curl, CURLOPT_PROXY, proxy_address_.c_str());
        if (!proxy_address_.empty() && !proxy_credentials_.empty()) {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, proxy_credentials_.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Receive);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_.count()));
        // Time-outs without signals: clients may run on several threads.
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    const std::string items = ItemsForLog(answer, PathOf(url));
    if (result != CURLE_OK) {
        answer = std::string(kNetworkFailureText);
    } else if (received.empty()) {
        answer.clear();
    } else if (IsValidUtf8(received)) {
        answer = std::move(received);
    } else {
        answer = Utf16ToUtf8(Utf8ToUtf16(received));  // bad bytes become U+FFFD
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    std::string line = "POST " + PathOf(url) + " items=" + items + " ms=" + std::to_string(ms);
    if (result != CURLE_OK) {
        line += " curl=" + std::to_string(static_cast<int>(result)) + " (" +
                curl_easy_strerror(result) + ")";
    }
    line += " answer=" + AnswerForLog(answer);
    diag::Write(kLogCategory, line);
}

void PlatformClient::Post(std::string& answer, std::string_view path, std::string body) const {
    answer = std::move(body);
    PostForm(answer, Url(path));
}

std::string PlatformClient::CreateOrder(std::string& answer, const std::string& total_fee,
                                        const std::string& pay_code,
                                        const std::string& order_type) const {
    const std::string out_order_id = MakeOutOrderId(std::time(nullptr), pay_code);
    ParamList items{"merchantId=" + identity_.merchant_id, "clientId=" + identity_.client_id,
                    "payCode=" + pay_code, "totalFee=" + total_fee, "outOrderId=" + out_order_id};
    if (!order_type.empty()) items.push_back("orderType=" + order_type);
    Post(answer, paths::kCreate, BuildSignedBody(std::move(items), identity_.secret));
    return out_order_id;
}

void PlatformClient::QueryOrder(std::string& answer, const std::string& order_id,
                                const std::string& out_order_id) const {
    ParamList items;
    if (!out_order_id.empty()) {
        items.push_back("outOrderId=" + out_order_id);
    } else {
        items.push_back("orderId=" + order_id);
    }
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    Post(answer, paths::kQuery, BuildSignedBody(std::move(items), identity_.secret));
}

void PlatformClient::RefundOrder(std::string& answer, const std::string& refund_fee,
                                 const std::string& order_id,
                                 const std::string& description) const {
    if (description.size() > kHexUtf8MaxBytes) return;
    ParamList items{"orderId=" + order_id};
    if (refund_fee != "00") items.push_back("refundFee=" + refund_fee);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    if (!description.empty()) items.push_back("description=" + HexUtf8(description));
    Post(answer, paths::kRefund, BuildSignedBody(std::move(items), identity_.secret));
}

void PlatformClient::CloseOrder(std::string& answer, const std::string& order_id,
                                const std::string& description) const {
    if (description.size() > kHexUtf8MaxBytes) return;
    ParamList items{"orderId=" + order_id, "description=" + HexUtf8(description),
                    "merchantId=" + identity_.merchant_id, "clientId=" + identity_.client_id};
    Post(answer, paths::kClose, BuildSignedBody(std::move(items), identity_.secret));
}

void PlatformClient::PreCreateOrder(std::string& answer, const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    Post(answer, paths::kPreCreate, BuildSignedBody(std::move(items), identity_.secret));
}

void PlatformClient::Login(std::string& answer, const std::string& user_name,
                           const std::string& password) const {
    ParamList items{"userName=" + HexUtf8(user_name), "userPwd=" + password,
                    "merchantId=" + Md5HexOf(user_name + password), "deviceType=3"};
    Post(answer, paths::kShowLogin, BuildSignedBody(std::move(items), std::string(kLoginKey)));
}

void PlatformClient::QueryMerchantInfo(std::string& answer, const std::string& merchant_id,
                                       const std::string& client_id, const std::string& key) const {
    ParamList items{"merchantId=" + merchant_id, "clientId=" + client_id};
    Post(answer, paths::kReturn, BuildSignedBody(std::move(items), key));
}

void PlatformClient::QueryShopManager(std::string& answer, const std::string& merchant_id,
                                      const std::string& key, const std::string& shop_id) const {
    ParamList items{"merchantId=" + merchant_id, "shopId=" + shop_id};
    Post(answer, paths::kQueryManager, BuildSignedBody(std::move(items), key));
}

void PlatformClient::GrantPermission(std::string& answer, const std::string& user_name,
                                     const std::string& merchant_id, const std::string& permission,
                                     const std::string& key) const {
    ParamList items{"userName=" + HexUtf8(user_name), "merchantId=" + merchant_id,
                    "jtion=" + permission};
    Post(answer, paths::kAddJtion, BuildSignedBody(std::move(items), key));
}

void PlatformClient::QueryOrderList(std::string& answer, const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    Post(answer, paths::kQueryOrderList, BuildSignedBody(std::move(items), identity_.secret));
}

void PlatformClient::QueryStatistics(std::string& answer, const QueryFields& fields) const {
    ParamList items;
    for (const auto& [name, value] : fields) items.push_back(name + "=" + value);
    items.push_back("merchantId=" + identity_.merchant_id);
    items.push_back("clientId=" + identity_.client_id);
    Post(answer, paths::kQueryStatistics, BuildSignedBody(std::move(items), identity_.secret));
}

std::string PlatformClient::MakePreCreateOrderNumber(std::time_t when) const {
    return MakePreCreateOutOrderId(when, identity_.client_id, identity_.cashier_name);
}

}  // namespace tendrix
