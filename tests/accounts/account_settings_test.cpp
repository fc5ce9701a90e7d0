// Login page state, network settings, autostart entry, on-screen keyboard and the refund rule:
// everything of the login area that needs no platform.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "accounts/cashier_permissions.h"
#include "accounts/credential_cipher.h"
#include "accounts/login_logic.h"
#include "accounts/net_settings.h"
#include "accounts/session_start.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "store/store.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::context;
using namespace tendrix::store;

namespace tendrix::accounts {
namespace {

TEST(LoginPage, OpensWithDefaultsWrittenAndTheChosenCashiersPassword) {
    test::TempDir dir;
    AppConfig config;
    config.data_dir = dir.path();
    {
        Store store(dir.path());
        ASSERT_TRUE(store.OpenCashiers());
        store.SaveCashier("alice", EncryptCredential("pw-a"), "dev1", kRefundByScan);
        store.SaveCashier("bob", "", "dev2", kRefundNone);
    }
    SaveLoginKey(dir.path(), keys::choicedCashier, "alice");
    SaveLoginKey(dir.path(), keys::autoLand, "true");
    LoginLogic logic(config);
    LoginPageState st = logic.LoadPage();
    EXPECT_EQ(st.cashier_names, (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(st.cashier_passwords, (std::vector<std::string>{"pw-a", ""}));
    EXPECT_TRUE(st.auto_land);
    EXPECT_EQ(st.chosen_index, 0);
    EXPECT_EQ(st.chosen_password, "pw-a");
    // The two keys with defaults are written when missing.
    Store store(dir.path());
    ASSERT_TRUE(store.OpenSettings());
    EXPECT_EQ(store.ReadName(keys::landType), keys::kLandTypeCashier);
    EXPECT_EQ(store.ReadName(keys::isUseAgent), keys::kNoProxy);
    // The switches and the administrator mode through the window: login_window_test.
}

// Refused before anything is written or sent. (The key stored enciphered: LoginWindowTest.
// SettingsTabSavesAndQueriesTheShopManager; read back and used: LoginAgainstSandbox.
// AdministratorModeNeverSignsWithAnEmptyClientId.)
TEST(NetSettingsPage, ProxyWithoutAddressAndQueryWithoutMerchantAreRefused) {
    test::TempDir dir;
    NetSettings s;
    s.use_agent = keys::kHttpProxy;
    s.merchant_id = "M1";
    EXPECT_EQ(SaveNetSettings(dir.path(), s), texts::kNeedProxyAddress);
    EXPECT_FALSE(LoadNetSettings(dir.path()).UsesProxy());
    EXPECT_EQ(LoadNetSettings(dir.path()).merchant_id, "");
    EXPECT_EQ(QueryShopManager(NetSettings{}, "http://127.0.0.1:1").message,
              texts::kNeedMerchantId);
}

TEST(SessionStart, AutostartEntryIsWrittenQuotedAndRemoved) {
    test::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(AutostartEntryPath(), dir.path() + "autostart/tendrix.desktop");
    ASSERT_TRUE(SetSessionAutostart(true, "/opt/till app/bin/tendrix", "收银\n助手"));
    std::stringstream entry;
    entry << std::ifstream(AutostartEntryPath()).rdbuf();
    const std::string text = entry.str();
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=\"/opt/till app/bin/tendrix\"\n"), std::string::npos);
    EXPECT_NE(text.find("Name=收银 助手\n"), std::string::npos);  // one line
    EXPECT_NE(AutostartEntryText("/a/$x", "n").find("Exec=\"/a/\\\\$x\""), std::string::npos);
    // (Switched off and removed through the window: LoginWindowTest.StartWithTheSession...)
    ASSERT_TRUE(SetSessionAutostart(false, "", ""));
    EXPECT_TRUE(SetSessionAutostart(false, "", ""));  // deleting what is gone is fine
    unsetenv("XDG_CONFIG_HOME");
}

TEST(SessionStart, OnScreenKeyboardCommandIsSplitAndStarted) {
    test::TempDir dir;
    std::string marker = dir / "keyboard started";
    ASSERT_TRUE(StartOnScreenKeyboard("touch \"" + marker + "\""));
    for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(StartOnScreenKeyboard(""));
    EXPECT_FALSE(StartOnScreenKeyboard("/nonexistent/keyboard-program"));
}

// (What each permission does to the refund page: PagesTest.RefundPermissionShapesTheOrderField.)
TEST(CashierPermissions, UnknownChoiceAsksForNoRefunds) {
    EXPECT_EQ(PermissionWireValue("扫码可退"), "2");
    EXPECT_EQ(PermissionWireValue("随便"), "0");
}

}  // namespace
}  // namespace tendrix::accounts
