#include "input/hotkeys.h"

#include <gtest/gtest.h>

#include "tests/support/recording_desktop.h"

using namespace tendrix::input;
using namespace tendrix::store;

namespace tendrix {
namespace {

using Kind = HotKeyValue::Kind;

TEST(HotKeyValue, Formats) {
    EXPECT_EQ(ParseHotKeyValue("F12"), (HotKeyValue{Kind::FunctionKey, 123}));
    EXPECT_EQ(ParseHotKeyValue("F"), (HotKeyValue{Kind::Letter, 'F'}));  // the letter F
    EXPECT_EQ(ParseHotKeyValue("alt + f"), (HotKeyValue{Kind::AltLetter, 'F'}));
    EXPECT_EQ(ParseHotKeyValue("Tab", true), (HotKeyValue{Kind::Tab, 9}));
    // Tab only for the option key; nothing, malformed and out-of-range values are no key.
    for (const char* v : {"Tab", "无", "", "F0", "F25", "Fx", "F1x", "alt +", "q", "AB"})
        EXPECT_EQ(ParseHotKeyValue(v).kind, Kind::None) << v;
}

TEST(GlobalHotKeys, RegistrationAndFailureTexts) {
    RecordingDesktop desktop;
    Settings s;
    s.Set("sysShowHideHotKey", "F2");
    s.Set("sysSysReBootHotKey", "alt + R");
    s.Set("sysHookOpenOff", "F9");
    desktop.TakeHotKey(1, 'R');  // another program holds Alt+R
    desktop.TakeHotKey(0, 120);  // ... and F9
    int shown = 0;
    const auto failures = RegisterGlobalHotKeys(desktop, s, {[&] { ++shown; }, {}, {}});
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "重启系统热键注册失败，可能其他程序已经占用该组合键！",
                            "开启/关闭扫码捕获热键注册失败，可能其他程序已经占用该键！"}));
    ASSERT_TRUE(desktop.IsRegistered("hotkeyhideshowTendrix"));
    desktop.PressHotKey("hotkeyhideshowTendrix");
    desktop.ProcessEvents();
    EXPECT_EQ(shown, 1);

    // Applying the settings again with the key set to nothing removes the registration.
    s.Set("sysShowHideHotKey", "无");
    EXPECT_TRUE(RegisterGlobalHotKeys(desktop, s, {}).size() == 2);
    EXPECT_FALSE(desktop.IsRegistered("hotkeyhideshowTendrix"));
}

TEST(MainKeyTable, SevenKeysInOrder) {
    Settings s;
    s.Set("sysPrintBillHotKey", "F5");
    s.Set("sysPageDownHotKey", "N");
    s.Set("sysPageUpHotKey", "alt + U");
    s.Set("sysRefundOrCancelHotKey", "无");
    s.Set("sysCheckHotKey", "F");
    s.Set("sysReturnBtnHotKey", "Tab");  // Tab is only for the option key
    s.Set("sysSetOptionHotKey", "Tab");
    MainKeyTable t;
    t.Load(s);
    EXPECT_EQ(t.key(MainKeyTable::PrintBill), 116);
    EXPECT_EQ(t.key(MainKeyTable::PageDown), 'N');
    EXPECT_EQ(t.key(MainKeyTable::PageUp), 0);
    EXPECT_EQ(t.alt_shortcut(MainKeyTable::PageUp), 'U');
    EXPECT_EQ(t.key(MainKeyTable::RefundOrCancel), 0);
    EXPECT_EQ(t.key(MainKeyTable::Check), 'F');
    EXPECT_EQ(t.key(MainKeyTable::ReturnButton), 0);
    EXPECT_EQ(t.key(MainKeyTable::SetOption), 9);
    // Keys matched in the main window: MainDlgTest.MainWindowKeysMoveBetweenVisibleOptions.
    EXPECT_EQ(t.Match(0), -1);
    EXPECT_EQ(t.Match('U'), -1);
}

}  // namespace
}  // namespace tendrix
