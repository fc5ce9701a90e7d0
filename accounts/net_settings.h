#pragma once
// The network and merchant settings page's data: proxy choice and fields, merchant id, shop id
// and the merchant API key (stored enciphered), and the shop-manager query.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform_api/platform_answer.h"

namespace tendrix::accounts {

namespace texts {
inline constexpr const char* kSaved = "保存成功！";
inline constexpr const char* kSaveFailed = "保存失败，无法写入本地数据库！";
inline constexpr const char* kNeedMerchantId = "商户号不能为空！";
inline constexpr const char* kNeedShopId = "门店编号不能为空！";
inline constexpr const char* kNeedMerchantApi = "商户密钥不能为空！";
inline constexpr const char* kNeedProxyAddress = "代理地址和端口不能为空！";
inline constexpr const char* kNoManager = "没有查询到该门店的店长信息！";
inline constexpr const char* kQuerying = "正在查询，请稍候…";
}  // namespace texts

struct NetSettings {
    // Login mode: "收银员模式" (password typed) or "管理员模式" (no password field; the
    // cashier's stored record logs in).
    std::string land_type;
    std::string use_agent;  // "不使用代理" or "使用HTTP代理"
    std::string agent_ip, agent_port, agent_account;
    std::string agent_password;  // plain here; enciphered on disk
    std::string merchant_id;
    std::string shop_id;
    std::string merchant_api;  // plain here; enciphered on disk
    bool UsesProxy() const;
};

NetSettings LoadNetSettings(const std::string& data_dir);
// The stored proxy password (agentPassword), kept through the credential cipher. A value an
// earlier version stored plain is read as it is.
std::string ReadProxyPassword(const std::string& data_dir);
// Writes every key; "" when saved, otherwise the message to show. The proxy address and port
// must be given when the proxy is chosen.
std::string SaveNetSettings(const std::string& data_dir, const NetSettings& s);

// The shop manager's fields as name and value, in the platform's order.
using ShopManagerFields = std::vector<std::pair<std::string, std::string>>;
// Asks the platform for the shop's manager with the page's merchant id, API key, shop id and
// proxy (api_base: the platform's address; timeout: one exchange's, 0 for the client's
// default). A missing field sends nothing (kRefusedInput); an answer without fields is
// kNothingFound (kNoManager).
platform_api::PlatformResult<ShopManagerFields> QueryShopManager(
    const NetSettings& s, const std::string& api_base,
    std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
// What the page shows: the fields as "name：value" lines, or the failure's message.
std::string ShopManagerText(const platform_api::PlatformResult<ShopManagerFields>& answer);

}  // namespace tendrix::accounts
