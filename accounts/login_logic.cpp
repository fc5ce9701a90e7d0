#include "accounts/login_logic.h"

#include <atomic>

#include "accounts/credential_cipher.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "store/store.h"

namespace tendrix::accounts {
namespace {

std::atomic<int> g_ticks{0};

std::string DecryptIfSet(const std::string& text) {
    return text.empty() ? std::string() : DecryptCredential(text);
}

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

LoginPageState LoginLogic::LoadPage() {
    LoginPageState st;
    const std::string& dir = config_.data_dir;
    {
        Store store(dir);
        if (store.OpenCashiers()) {
            std::vector<std::string> passwords, device_ids;
            store.ListCashiers(st.cashier_names, passwords, device_ids);
            for (const auto& p : passwords) st.cashier_passwords.push_back(DecryptIfSet(p));
        }
    }
    // Reading the two keys writes their defaults when they are missing.
    const std::string land_type = ReadLoginKey(dir, keys::landType);
    ReadLoginKey(dir, keys::isUseAgent);
    st.password_visible = land_type != keys::kLandTypeAdmin;
    st.auto_land = ReadLoginKey(dir, keys::autoLand) == "true";
    st.remember_password = ReadLoginKey(dir, keys::remberPassword) == "true";
    st.auto_boot = ReadLoginKey(dir, keys::autoBoot) == "true";
    st.chosen_cashier = ReadLoginKey(dir, keys::choicedCashier);
    for (size_t i = 0; i < st.cashier_names.size(); ++i) {
        if (st.cashier_names[i] == st.chosen_cashier) {
            st.chosen_index = static_cast<int>(i);
            break;
        }
    }
    if (!st.chosen_cashier.empty()) st.chosen_password = RememberedPassword(st.chosen_cashier);
    return st;
}

bool LoginLogic::SaveSwitch(const char* key, bool on) {
    return SaveLoginKey(config_.data_dir, key, on ? "true" : "false");
}

std::string LoginLogic::RememberedPassword(const std::string& name) {
    Store store(config_.data_dir);
    CashierRecord rec;
    if (!store.OpenCashiers() || !store.ReadCashier(name, rec)) return {};
    return DecryptIfSet(rec.password);
}

bool LoginLogic::NameIsAcceptable(const std::string& name) {
    // A blank name is as empty as an empty one.
    return !IsBlank(name) && name.find(' ', 1) == std::string::npos;
}

std::string LoginLogic::MakeTitleSuffix(const LoginResult& r) {
    std::string suffix;
    auto add = [&suffix](const char* label, const std::string& v) {
        if (v.empty()) return;
        suffix += "  ";
        suffix += label;
        suffix += v;
    };
    add("商户：", r.merchant_name);
    add("门店：", r.shop_name);
    add("收银员：", r.cashier_display_name);
    add("版本：", r.version);
    return suffix;
}

LoginResult LoginLogic::Login(const LoginForm& form) {
    LoginResult result;
    const std::string& dir = config_.data_dir;
    auto fail = [&result](std::string text) {
        result.messages.push_back(std::move(text));
        return result;
    };

    // 1. Remember what was typed.
    SaveLoginKey(dir, keys::choicedCashier, form.name);

    // 2. Stored merchant identifiers and proxy, and the client made from them.
    const std::string stored_merchant_id = ReadLoginKey(dir, keys::merchantId);
    const std::string stored_api_key = DecryptIfSet(ReadLoginKey(dir, keys::merchantAPI));
    std::string proxy_ip, proxy_port, proxy_user, proxy_password;
    if (ReadLoginKey(dir, keys::isUseAgent) != keys::kNoProxy) {
        proxy_ip = ReadLoginKey(dir, keys::agentIp);
        proxy_port = ReadLoginKey(dir, keys::agentPort);
        proxy_user = ReadLoginKey(dir, keys::agentAccout);
        proxy_password = ReadLoginKey(dir, keys::agentPassword);
    }
    PlatformClient client(proxy_ip, proxy_port, proxy_user, proxy_password, config_.api_base);

    // 3. Name.
    if (!NameIsAcceptable(form.name)) return fail(texts::kEmptyName);

    // 4. Password: typed, or from the stored record when the field is hidden.
    CashierRecord stored;
    bool known = false;
    {
        Store store(dir);
        known = store.OpenCashiers() && store.ReadCashier(form.name, stored);
    }
    std::string password;
    std::string device_id = known ? stored.device_id : std::string();
    std::string permission = known ? stored.refund_permission : std::string(kRefundByScan);
    if (form.password_visible) {
        if (form.password.empty()) return fail(texts::kEmptyPassword);
        password = form.password;
    } else {
        password = DecryptIfSet(stored.password);
    }

    // 5. Save the cashier record (a new cashier may refund by scanning).
    {
        Store store(dir);
        if (store.OpenCashiers()) {
            store.SaveCashier(form.name,
                              form.remember_password ? EncryptCredential(password) : std::string(),
                              device_id, permission);
        }
    }

    // 6. Log in (with a password) for the merchant id, secret and client id.
    std::string merchant_id = stored_merchant_id;
    std::string secret = stored_api_key;
    std::string client_id = device_id;
    if (!password.empty()) {
        std::string answer;
        client.Login(answer, form.name, password);
        if (answer == kNetworkFailureText) return fail(answer);
        TextList list;
        ParseLoginAnswer(answer, list);
        if (list.empty()) return fail(answer.empty() ? texts::kNoServerInfo : answer);
        if (list.size() < 3 || list[2].empty()) return fail(texts::kNoClientId);
        merchant_id = list[0];
        secret = list[1];
        client_id = list[2];
        if (list.size() > 3) {
            result.messages.push_back(std::string(texts::kManyClientIdsBegin) + client_id +
                                      texts::kManyClientIdsEnd);
        }
    }

    // 7. Merchant, shop and cashier names.
    {
        std::string answer;
        client.QueryMerchantInfo(answer, merchant_id, client_id, secret);
        if (answer == kNetworkFailureText) return fail(answer);
        TextList names;
        ParseMerchantInfoAnswer(answer, names);
        if (!answer.empty()) return fail(answer);
        if (names.size() > 0) result.merchant_name = names[0];
        if (names.size() > 1) result.shop_name = names[1];
        if (names.size() > 2) result.cashier_display_name = names[2];
        if (names.size() > 3) result.version = names[3];
    }

    // 8. The identity every later request is signed with.
    config_.cashier_name = form.name;
    config_.cashier_password = password;
    config_.cashier_device_id = client_id;
    config_.refund_permission = permission;
    config_.merchant_id = merchant_id;
    config_.secret = secret;
    config_.client_id = client_id;
    config_.proxy_address = proxy_ip;
    config_.proxy_port = proxy_port;
    config_.proxy_account = proxy_user;
    config_.proxy_password = proxy_password;
    config_.title_suffix = MakeTitleSuffix(result);
    result.ok = true;
    return result;
}

void AutoLoginTicker::Start() {
    g_ticks = 0;
}

bool AutoLoginTicker::Tick() {
    if (++g_ticks >= kTicks) {
        g_ticks = 0;
        return true;
    }
    return false;
}

int AutoLoginTicker::Count() {
    return g_ticks.load();
}

}  // namespace tendrix::accounts
