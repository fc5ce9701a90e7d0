#include "accounts/net_settings.h"

#include "accounts/credential_cipher.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"
#include "store/settings.h"
#include "store/settings_keys.h"

namespace tendrix::accounts {

bool NetSettings::UsesProxy() const {
    return use_agent == store::keys::kHttpProxy;
}

std::string ReadProxyPassword(const std::string& dir) {
    const std::string stored = store::ReadLoginKey(dir, store::keys::agentPassword);
    // Enciphered values are lowercase hex, 32 digits a block; anything else was stored plain.
    const bool enciphered = !stored.empty() && stored.size() % 32 == 0 &&
                            stored.find_first_not_of("0123456789abcdef") == std::string::npos;
    return enciphered ? DecryptCredential(stored) : stored;
}

NetSettings LoadNetSettings(const std::string& dir) {
    NetSettings s;
    s.land_type = store::ReadLoginKey(dir, store::keys::landType);
    s.use_agent = store::ReadLoginKey(dir, store::keys::isUseAgent);
    s.agent_ip = store::ReadLoginKey(dir, store::keys::agentIp);
    s.agent_port = store::ReadLoginKey(dir, store::keys::agentPort);
    s.agent_account = store::ReadLoginKey(dir, store::keys::agentAccout);
    s.agent_password = ReadProxyPassword(dir);
    s.merchant_id = store::ReadLoginKey(dir, store::keys::merchantId);
    s.shop_id = store::ReadLoginKey(dir, store::keys::shopId);
    std::string api = store::ReadLoginKey(dir, store::keys::merchantAPI);
    s.merchant_api = api.empty() ? std::string() : DecryptCredential(api);
    return s;
}

std::string SaveNetSettings(const std::string& dir, const NetSettings& s) {
    if (s.UsesProxy() && (s.agent_ip.empty() || s.agent_port.empty())) {
        return texts::kNeedProxyAddress;
    }
    const std::string use_agent = s.UsesProxy() ? store::keys::kHttpProxy : store::keys::kNoProxy;
    const std::string land_type = s.land_type == store::keys::kLandTypeAdmin
                                      ? store::keys::kLandTypeAdmin
                                      : store::keys::kLandTypeCashier;
    bool ok = store::SaveLoginKey(dir, store::keys::landType, land_type);
    ok = store::SaveLoginKey(dir, store::keys::isUseAgent, use_agent) && ok;
    ok = store::SaveLoginKey(dir, store::keys::agentIp, s.agent_ip) && ok;
    ok = store::SaveLoginKey(dir, store::keys::agentPort, s.agent_port) && ok;
    ok = store::SaveLoginKey(dir, store::keys::agentAccout, s.agent_account) && ok;
    ok = store::SaveLoginKey(
             dir, store::keys::agentPassword,
             s.agent_password.empty() ? std::string() : EncryptCredential(s.agent_password)) &&
         ok;
    ok = store::SaveLoginKey(dir, store::keys::merchantId, s.merchant_id) && ok;
    ok = store::SaveLoginKey(dir, store::keys::shopId, s.shop_id) && ok;
    ok = store::SaveLoginKey(
             dir, store::keys::merchantAPI,
             s.merchant_api.empty() ? std::string() : EncryptCredential(s.merchant_api)) &&
         ok;
    return ok ? std::string() : std::string(texts::kSaveFailed);
}

platform_api::PlatformResult<ShopManagerFields> QueryShopManager(
    const NetSettings& s, const std::string& api_base, std::chrono::milliseconds timeout) {
    platform_api::PlatformResult<ShopManagerFields> r;
    const char* missing = s.merchant_id.empty()    ? texts::kNeedMerchantId
                          : s.merchant_api.empty() ? texts::kNeedMerchantApi
                          : s.shop_id.empty()      ? texts::kNeedShopId
                                                   : nullptr;
    if (missing) {
        r.error = platform_api::PlatformError::kRefusedInput;
        r.message = missing;
        return r;
    }
    platform_api::PlatformClient client =
        s.UsesProxy() ? platform_api::PlatformClient(s.agent_ip, s.agent_port, s.agent_account,
                                                     s.agent_password, api_base, timeout)
                      : platform_api::PlatformClient("", "", "", "", api_base, timeout);
    const platform_api::PlatformResult<platform_api::TextList> list =
        platform_api::ParseGenericAnswer(
            client.QueryShopManager(s.merchant_id, s.merchant_api, s.shop_id));
    // A failure without a text of its own (an empty answer, a refusal without a message)
    // is shown as no manager found.
    if (!list.ok() && !list.message.empty()) {
        r.error = list.error;
        r.message = list.message;
        r.detail = list.detail;
        return r;
    }
    for (size_t i = 0; i + 1 < list.value.size(); i += 3) {
        r.value.emplace_back(list.value[i], list.value[i + 1]);
    }
    if (r.value.empty()) {
        r.error = list.ok() ? platform_api::PlatformError::kNothingFound : list.error;
        r.message = texts::kNoManager;
    }
    return r;
}

std::string ShopManagerText(const platform_api::PlatformResult<ShopManagerFields>& answer) {
    if (!answer.ok()) return answer.message;
    std::string text;
    for (const auto& [name, value] : answer.value) text += name + "：" + value + "\n";
    return text;
}

}  // namespace tendrix::accounts
