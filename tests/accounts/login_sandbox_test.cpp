// The login, the shop-manager query and the permission save against the real sandbox platform.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "accounts/cashier_permissions.h"
#include "accounts/credential_cipher.h"
#include "accounts/login_logic.h"
#include "accounts/net_settings.h"
#include "platform_api/platform_client.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "store/store.h"
#include "tests/accounts/network_faults.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::context;
using namespace tendrix::platform_api;
using namespace tendrix::store;

namespace tendrix::accounts {
namespace {

const char kManyIds[] =
    "您的名下有多个设备号，默认使用C2001作为本次收款，建议联系我司客服人员将多余的设备号删除！";

class LoginAgainstSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(dir_ / "accounts.txt")
            << "merchant M200 secret-200 单机商户 S9 九号店 C2001\n"
               "cashier solo pw-solo M200 0\n";
        sandbox_ = std::make_unique<test::SandboxProcess>(
            test::SandboxProcess::Options{dir_ / "accounts.txt", {}});
        if (!sandbox_->ok()) GTEST_SKIP() << sandbox_->error();
        config_ = Fresh();
    }
    // A till that remembers nothing but its data folder.
    AppConfig Fresh() {
        AppConfig config;
        config.data_dir = dir_.path();
        config.api_base = sandbox_->base_url();
        return config;
    }

    // Logs in with `form` (name, password, password shown, remember) expecting success.
    LoginResult LogIn(const LoginForm& form) {
        LoginResult r = LoginLogic(config_).Login(form);
        EXPECT_TRUE(r.ok) << (r.messages.empty() ? "" : r.messages.back());
        return r;
    }
    void StoreCashier(const std::string& name, const std::string& password,
                      const std::string& permission) {
        Store store(dir_.path());
        ASSERT_TRUE(store.OpenCashiers());
        store.SaveCashier(name, password, "", permission);
    }
    std::optional<CashierRecord> Record(const std::string& name) {
        Store store(dir_.path());
        CashierRecord rec;
        if (store.OpenCashiers() && store.ReadCashier(name, rec)) return rec;
        return std::nullopt;
    }

    std::vector<std::string> Ids() const {
        return {config_.merchant_id, config_.secret, config_.client_id};
    }

    test::TempDir dir_;
    std::unique_ptr<test::SandboxProcess> sandbox_;
    AppConfig config_;
};

TEST_F(LoginAgainstSandbox, DemoCashierLogsInWithoutANotice) {
    LoginResult r = LogIn({"demo", "demo", true, true});
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(Ids(), (std::vector<std::string>{"M100001", "sandbox-demo-secret", "C1001"}));
    EXPECT_EQ(config_.cashier_name, "demo");
    EXPECT_EQ(config_.refund_permission, "扫码可退");
    EXPECT_EQ(r.merchant_name, "Tendrix 演示商户");
    EXPECT_EQ(r.shop_name, "演示一号店");
    EXPECT_NE(config_.title_suffix.find("演示一号店"), std::string::npos);
    // Remembered: the record holds the enciphered password (filled in again: the window test).
    EXPECT_EQ(Record("demo").value().password, EncryptCredential("demo"));
    EXPECT_EQ(Record("demo").value().refund_permission, "扫码可退");
}

TEST_F(LoginAgainstSandbox, SeveralClientIdsUseTheFirstAndTellTheCashier) {
    LoginResult r = LogIn({"multi", "multi", true, false});
    EXPECT_EQ(r.messages, (std::vector<std::string>{kManyIds}));
    EXPECT_EQ(config_.merchant_id, "M100002");
    EXPECT_EQ(config_.client_id, "C2001");
}

// (A password not remembered is not filled in again: LoginWindowTest.RememberedPasswordOnAndOff.)
TEST_F(LoginAgainstSandbox, OneClientIdGivesNoNoticeAndAStoredPermissionIsKept) {
    EXPECT_TRUE(LogIn({"solo", "pw-solo", true, false}).messages.empty());
    EXPECT_EQ(config_.client_id, "C2001");
    // A stored permission is kept on the next login.
    StoreCashier("solo", "", "不可退款");
    LogIn({"solo", "pw-solo", true, false});
    EXPECT_EQ(config_.refund_permission, "不可退款");
}

// The network drops right after the login answer: the merchant information call fails, and
// the login goes on with the identifiers already received (only the title's names are missing).
TEST_F(LoginAgainstSandbox, LoginGoesOnWhenTheMerchantInformationCallFails) {
    test::OneConnectionRelay relay(sandbox_->port());
    ASSERT_TRUE(relay.ok());
    config_.api_base = relay.base_url();
    EXPECT_TRUE(LogIn({"demo", "demo", true, false}).messages.empty());
    EXPECT_EQ(Ids(), (std::vector<std::string>{"M100001", "sandbox-demo-secret", "C1001"}));
    EXPECT_EQ(config_.title_suffix, "");
}

TEST_F(LoginAgainstSandbox, AdministratorModeNeverSignsWithAnEmptyClientId) {
    LoginLogic logic(config_);
    // Nothing remembered of this cashier: refused, and no record is made for the name.
    LoginResult r = logic.Login({"nobody", "", false, false});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, (std::vector<std::string>{texts::kUnknownCashier}));
    EXPECT_FALSE(Record("nobody"));
    // A record without password or device: refused before anything is sent.
    StoreCashier("solo", "", "扫码可退");
    r = logic.Login({"solo", "", false, false});
    EXPECT_EQ(r.messages, (std::vector<std::string>{texts::kNoStoredDevice}));
    EXPECT_TRUE(config_.client_id.empty());

    // A login with the password remembers the device the platform gave ...
    LogIn({"solo", "pw-solo", true, false});
    EXPECT_EQ(Record("solo").value().device_id, "C2001");
    EXPECT_EQ(Record("solo").value().password, "");
    // ... but without the merchant's id and key nothing could sign the merchant call.
    AppConfig fresh = Fresh();
    r = LoginLogic(fresh).Login({"solo", "", false, false});
    EXPECT_EQ(r.messages, (std::vector<std::string>{texts::kNoStoredMerchant}));
    NetSettings net = LoadNetSettings(dir_.path());
    net.merchant_id = "M200";
    net.merchant_api = "secret-200";
    ASSERT_EQ(SaveNetSettings(dir_.path(), net), "");
    // (With them the login succeeds: LoginWindowTest.AdministratorModeChosenOnTheSettingsTab.)
    // Without a login call the merchant call is the only check: its failure stops the login.
    AppConfig offline = Fresh();
    sandbox_->Stop();
    r = LoginLogic(offline).Login({"solo", "", false, false});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, (std::vector<std::string>{std::string(kNetworkFailureText)}));
    EXPECT_TRUE(offline.client_id.empty());
}

TEST_F(LoginAgainstSandbox, HiddenPasswordUsesTheStoredRecord) {
    StoreCashier("demo", EncryptCredential("demo"), "当笔可退");
    LogIn({"demo", "", false, true});
    EXPECT_EQ(config_.refund_permission, "当笔可退");
    EXPECT_EQ(config_.cashier_password, "demo");
}

TEST_F(LoginAgainstSandbox, PermissionRowsAreAllSentWhenTheNetworkFails) {
    PlatformClient client("", "", "", "", sandbox_->base_url());
    std::vector<PermissionRow> rows = {{"demo", "不可退款", true},
                                       {"收银员甲", "", true},
                                       {"demo", "扫码可退", false},
                                       {"demo", "当笔可退", true}};
    sandbox_->Stop();
    auto messages = SavePermissions(client, rows, "M100001", "sandbox-demo-secret");
    EXPECT_EQ(messages, (std::vector<std::string>(2, std::string(kNetworkFailureText))));
}

}  // namespace
}  // namespace tendrix::accounts
