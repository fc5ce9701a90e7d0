#pragma once
// The login page's logic without widgets: what the page shows when it opens, the switches it
// saves, the ten-tick automatic login, and the login itself in its fixed order (remember the
// typed name, build the platform client, check the name and password, save the cashier record,
// log in, fetch the merchant names, fill AppConfig).
//
// Every failure is a message text for the login window to show; the window stays open.
#include <chrono>
#include <string>
#include <vector>

#include "context/app_config.h"
#include "platform_api/platform_answer.h"

namespace tendrix::accounts {

namespace texts {
inline constexpr const char* kEmptyName = "收银员名字不能为空！";
inline constexpr const char* kEmptyPassword = "密码不能为空！";
inline constexpr const char* kManyClientIdsBegin = "您的名下有多个设备号，默认使用";
inline constexpr const char* kManyClientIdsEnd =
    "作为本次收款，建议联系我司客服人员将多余的设备号删除！";
// A login answer that names no client id would leave every later request unsigned for a
// device; the login stops with this text instead.
inline constexpr const char* kNoClientId = "登录失败：服务器未返回设备号，请联系客服！";
// Administrator mode (password hidden) logs in from what this till remembers of the cashier;
// without it there is nothing to sign requests with.
inline constexpr const char* kUnknownCashier =
    "本机没有该收银员的记录，请在收银员模式下用密码登录一次！";
inline constexpr const char* kNoStoredDevice =
    "该收银员没有保存的密码或设备号，请在收银员模式下用密码登录一次！";
inline constexpr const char* kNoStoredMerchant = "请先在网络设置中填写商户号和商户密钥！";
// Shown on btn_land while the platform is asked.
inline constexpr const char* kLoggingIn = "正在登录，请稍候…";
inline constexpr const char* kCloseTooltip = "关闭退出";
}  // namespace texts

// Refund permission texts of the cashier records.
inline constexpr const char* kRefundNone = "不可退款";
inline constexpr const char* kRefundCurrent = "当笔可退";
inline constexpr const char* kRefundByScan = "扫码可退";

// What the login page shows when it opens.
struct LoginPageState {
    std::vector<std::string> cashier_names;      // comb_accout, table order
    std::vector<std::string> cashier_passwords;  // decrypted, "" when not remembered
    bool auto_land = false;                      // chbo_auto_Land
    bool remember_password = false;              // chbo_down_pswd
    bool auto_boot = false;                      // chbo_boot_lanch
    bool password_visible = true;                // edit_psw (hidden in administrator mode)
    std::string chosen_cashier;                  // choicedCashier
    int chosen_index = -1;                       // its index in cashier_names, -1 if absent
    std::string chosen_password;                 // its remembered password (decrypted)
};

// What the cashier typed and ticked when pressing btn_land.
struct LoginForm {
    std::string name;      // edit_accout
    std::string password;  // edit_psw
    bool password_visible = true;
    bool remember_password = false;  // chbo_down_pswd
};

// What the login sends, prepared on the window thread from the form and the stored keys.
// Plain values only, so it can be copied into a background job.
struct LoginRequest {
    std::string name;
    std::string password;         // "" when the login call is skipped (stored identifiers)
    std::string stored_password;  // the record's password text as saved in step 5
    std::string device_id;        // from the cashier record
    std::string permission;       // refund permission of the record ("扫码可退" when new)
    std::string merchant_id;      // merchantId / merchantAPI from the settings page
    std::string secret;
    std::string proxy_ip, proxy_port, proxy_user, proxy_password;
    std::string api_base;
    std::chrono::milliseconds timeout{0};  // one exchange's time-out (0: the client's default)
};

// What the platform granted (filled off the window thread).
struct LoginGrant {
    bool logged_in = false;  // the login call was made and succeeded
    std::string merchant_id, secret, client_id;
    std::vector<std::string> names;  // merchant, shop, cashier, version ("" when unknown)
    std::string notice;              // several client ids: which one is used ("" otherwise)
};

struct LoginResult {
    bool ok = false;
    // Message boxes in the order they are shown: on failure the reason (last); on success
    // possibly the notice about several client ids.
    std::vector<std::string> messages;
    // Names from the merchant information call.
    std::string merchant_name, shop_name, cashier_display_name, version;
};

class LoginLogic {
  public:
    // config: receives the login identity; its data_dir holds dataset.db and cashierdata.db and
    // its api_base is the platform's address.
    explicit LoginLogic(context::AppConfig& config) : config_(config) {}

    // Page initialisation: the remembered cashiers, the three switches (missing defaults of
    // landType and isUseAgent are written), the last chosen cashier and its password.
    LoginPageState LoadPage();
    // Saves autoLand, remberPassword or autoBoot as "true"/"false".
    bool SaveSwitch(const char* key, bool on);
    // The remembered password of a stored cashier ("" when none).
    std::string RememberedPassword(const std::string& name);

    // The whole login at once (blocks on the platform; tests and tools).
    LoginResult Login(const LoginForm& form);

    // The login in three steps, for a window that must not wait on the network:
    // Prepare (window thread: the typed name, the checks, the cashier record) gives the request
    // or, on refusal, false and the message; Exchange (any thread, no stored state touched)
    // asks the platform; Finish (window thread) fills AppConfig on success.
    bool Prepare(const LoginForm& form, LoginRequest& request, std::string& refusal);
    static platform_api::PlatformResult<LoginGrant> Exchange(const LoginRequest& request);
    LoginResult Finish(const LoginRequest& request,
                       const platform_api::PlatformResult<LoginGrant>& exchange);

    // The name check: empty, blank, or a space after the first character.
    static bool NameIsAcceptable(const std::string& name);
    // The main window's title suffix from the merchant names.
    static std::string MakeTitleSuffix(const LoginResult& r);

  private:
    context::AppConfig& config_;
};

// Automatic login ten ticks (timer 52, 1000 ms) after the page opened. The count is one per
// process like the page's own; Start() resets it, so a page opened again counts from zero.
class AutoLoginTicker {
  public:
    static constexpr int kTimerId = 52;
    static constexpr int kIntervalMs = 1000;
    static constexpr int kTicks = 10;
    static void Start();
    // Counts one tick; true at the tenth (the counter resets, the timer is to be stopped).
    static bool Tick();
    static int Count();
};

}  // namespace tendrix::accounts
