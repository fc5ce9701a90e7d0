#include "accounts/login_logic.h"

#include <atomic>

#include "accounts/credential_cipher.h"
#include "accounts/net_settings.h"
#include "common/diag_log.h"
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
        store::Store store(dir);
        if (store.OpenCashiers()) {
            std::vector<std::string> passwords, device_ids;
            store.ListCashiers(st.cashier_names, passwords, device_ids);
            for (const auto& p : passwords) st.cashier_passwords.push_back(DecryptIfSet(p));
        }
    }
    // Reading the two keys writes their defaults when they are missing.
    const std::string land_type = store::ReadLoginKey(dir, store::keys::landType);
    store::ReadLoginKey(dir, store::keys::isUseAgent);
    st.password_visible = land_type != store::keys::kLandTypeAdmin;
    st.auto_land = store::ReadLoginKey(dir, store::keys::autoLand) == "true";
    st.remember_password = store::ReadLoginKey(dir, store::keys::remberPassword) == "true";
    st.auto_boot = store::ReadLoginKey(dir, store::keys::autoBoot) == "true";
    st.chosen_cashier = store::ReadLoginKey(dir, store::keys::choicedCashier);
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
    return store::SaveLoginKey(config_.data_dir, key, on ? "true" : "false");
}

std::string LoginLogic::RememberedPassword(const std::string& name) {
    store::Store store(config_.data_dir);
    store::CashierRecord rec;
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
    LoginRequest request;
    std::string refusal;
    if (!Prepare(form, request, refusal)) {
        LoginResult result;
        result.messages.push_back(std::move(refusal));
        return result;
    }
    return Finish(request, Exchange(request));
}

bool LoginLogic::Prepare(const LoginForm& form, LoginRequest& request, std::string& refusal) {
    const std::string& dir = config_.data_dir;

    // 1. Remember what was typed.
    store::SaveLoginKey(dir, store::keys::choicedCashier, form.name);

    // 2. Stored merchant identifiers and proxy.
    request = LoginRequest{};
    request.name = form.name;
    request.api_base = config_.api_base;
    request.timeout = config_.environment.platform_timeout;
    request.merchant_id = store::ReadLoginKey(dir, store::keys::merchantId);
    request.secret = DecryptIfSet(store::ReadLoginKey(dir, store::keys::merchantAPI));
    if (store::ReadLoginKey(dir, store::keys::isUseAgent) != store::keys::kNoProxy) {
        request.proxy_ip = store::ReadLoginKey(dir, store::keys::agentIp);
        request.proxy_port = store::ReadLoginKey(dir, store::keys::agentPort);
        request.proxy_user = store::ReadLoginKey(dir, store::keys::agentAccout);
        request.proxy_password = ReadProxyPassword(dir);
    }

    // 3. Name.
    if (!NameIsAcceptable(form.name)) {
        refusal = texts::kEmptyName;
        return false;
    }

    // 4. Password: typed, or from the stored record when the field is hidden.
    store::CashierRecord stored;
    bool known = false;
    {
        store::Store store(dir);
        known = store.OpenCashiers() && store.ReadCashier(form.name, stored);
    }
    request.device_id = known ? stored.device_id : std::string();
    request.permission = known ? stored.refund_permission : std::string(kRefundByScan);
    if (form.password_visible) {
        if (form.password.empty()) {
            refusal = texts::kEmptyPassword;
            return false;
        }
        request.password = form.password;
    } else {
        // Without a record, or without a password to log in with, the till must already
        // know the device and the merchant: an empty client id would sign every payment for
        // no device.
        if (!known) {
            refusal = texts::kUnknownCashier;
            return false;
        }
        request.password = DecryptIfSet(stored.password);
        if (request.password.empty()) {
            if (request.device_id.empty()) {
                refusal = texts::kNoStoredDevice;
                return false;
            }
            if (request.merchant_id.empty() || request.secret.empty()) {
                refusal = texts::kNoStoredMerchant;
                return false;
            }
        }
    }

    // 5. Save the cashier record (a new cashier may refund by scanning).
    request.stored_password =
        form.remember_password ? EncryptCredential(request.password) : std::string();
    {
        store::Store store(dir);
        if (store.OpenCashiers()) {
            store.SaveCashier(form.name, request.stored_password, request.device_id,
                              request.permission);
        }
    }
    return true;
}

platform_api::PlatformResult<LoginGrant> LoginLogic::Exchange(const LoginRequest& request) {
    platform_api::PlatformResult<LoginGrant> result;
    LoginGrant& ex = result.value;
    platform_api::PlatformClient client(request.proxy_ip, request.proxy_port, request.proxy_user,
                                        request.proxy_password, request.api_base, request.timeout);
    auto fail = [&result](const auto& failure) {
        result.error = failure.error;
        result.message = failure.message;
        result.detail = failure.detail;
        result.value = LoginGrant();
        return result;
    };

    // 6. Log in (with a password) for the merchant id, secret and client id.
    ex.merchant_id = request.merchant_id;
    ex.secret = request.secret;
    ex.client_id = request.device_id;
    if (!request.password.empty()) {
        const platform_api::PlatformResult<platform_api::TextList> login =
            platform_api::ParseLoginAnswer(client.Login(request.name, request.password));
        if (!login.ok()) return fail(login);
        const platform_api::TextList& list = login.value;
        if (list.size() < 3 || list[2].empty()) {
            platform_api::PlatformResult<platform_api::TextList> no_device;
            no_device.error = platform_api::PlatformError::kUnreadable;
            no_device.message = texts::kNoClientId;
            return fail(no_device);
        }
        ex.merchant_id = list[0];
        ex.secret = list[1];
        ex.client_id = list[2];
        ex.logged_in = true;
        if (list.size() > 3) {
            ex.notice =
                std::string(texts::kManyClientIdsBegin) + ex.client_id + texts::kManyClientIdsEnd;
        }
    }

    // 7. Merchant, shop and cashier names. After a successful login the identifiers are
    // already known: a failure here (a short network drop) costs only the names in the
    // title. Without the login call this call is the only check of the stored identifiers,
    // so its failure stops the login.
    // An answer that cannot be read, or a refusal without a reason, leaves only the names
    // unknown.
    const platform_api::PlatformResult<platform_api::TextList> names =
        platform_api::ParseMerchantInfoAnswer(
            client.QueryMerchantInfo(ex.merchant_id, ex.client_id, ex.secret));
    if (!names.ok() && !names.message.empty()) {
        if (!ex.logged_in) return fail(names);
        common::diag::Write("login",
                            "merchant information not received, login goes on: " + names.message);
    } else {
        ex.names = names.value;
    }
    return result;
}

LoginResult LoginLogic::Finish(const LoginRequest& request,
                               const platform_api::PlatformResult<LoginGrant>& exchange) {
    LoginResult result;
    if (!exchange.ok()) {
        result.messages.push_back(exchange.message);
        return result;
    }
    const LoginGrant& ex = exchange.value;
    if (!ex.notice.empty()) result.messages.push_back(ex.notice);
    auto name = [&ex](size_t i) { return i < ex.names.size() ? ex.names[i] : std::string(); };
    result.merchant_name = name(0);
    result.shop_name = name(1);
    result.cashier_display_name = name(2);
    result.version = name(3);

    // The device the platform gave is remembered with the cashier, so that a later login
    // without a password (administrator mode) signs for the same device.
    if (ex.logged_in && ex.client_id != request.device_id) {
        store::Store store(config_.data_dir);
        if (store.OpenCashiers()) {
            store.SaveCashier(request.name, request.stored_password, ex.client_id,
                              request.permission);
        }
    }

    // 8. The identity every later request is signed with.
    config_.cashier_name = request.name;
    config_.cashier_password = request.password;
    config_.cashier_device_id = ex.client_id;
    config_.refund_permission = request.permission;
    config_.merchant_id = ex.merchant_id;
    config_.secret = ex.secret;
    config_.client_id = ex.client_id;
    config_.proxy_address = request.proxy_ip;
    config_.proxy_port = request.proxy_port;
    config_.proxy_account = request.proxy_user;
    config_.proxy_password = request.proxy_password;
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
