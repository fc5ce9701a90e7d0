// The settings page model: every key reachable once, the texts offered, value checks, saving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>

#include "settings/settings_page_model.h"
#include "settings/settings_save.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::store;

namespace tendrix::settings {
namespace {

TEST(SettingsModel, EveryKeyHasExactlyOneControlAndNothingElseHasOne) {
    std::multiset<std::string> keys_in_model;
    for (const auto& c : Controls()) keys_in_model.insert(c.key);
    std::set<std::string> defaults;
    for (const auto& d : keys::SettingDefaults()) {
        defaults.insert(d.key);
        EXPECT_EQ(keys_in_model.count(d.key), 1u) << d.key;
    }
    for (const auto& k : keys_in_model) EXPECT_EQ(defaults.count(k), 1u) << "not a setting: " << k;
    // Every page but the camera and help pages has controls; every control has a label.
    for (const auto& p : Pages()) {
        if (p.id == PageId::Camera || p.id == PageId::Help) continue;
        EXPECT_FALSE(ControlsOf(p.id).empty()) << p.class_name;
    }
    for (const auto& c : Controls()) EXPECT_FALSE(c.label.empty()) << c.key;
}

TEST(SettingsModel, EveryDefaultIsAcceptedAsItIs) {
    for (const auto& d : keys::SettingDefaults()) {
        const ControlDescription* description = FindControl(d.key);
        ASSERT_NE(description, nullptr) << d.key;
        std::string value = d.value ? d.value : "Shop";
        auto bad = CheckValue(*description, value);
        EXPECT_FALSE(bad) << d.key << ": " << *bad;
    }
}

TEST(SettingsModel, ChoicesAreExactlyTheTextsTheSettingsUse) {
    EXPECT_EQ(FindControl(keys::sysCaptureWay)->choices,
              (std::vector<std::string>{"模拟键盘", "模拟键盘(增强模式)", "USB串口"}));
    EXPECT_EQ(FindControl(keys::sysPrinterPortWay)->choices,
              (std::vector<std::string>{"串口", "并口", "驱动打印机", "免驱USB", "无"}));
    EXPECT_EQ(FindControl(keys::sysPrintMoneyProgram)->choices,
              (std::vector<std::string>{"第一步快捷键之前", "第二步快捷键之前", "第三步快捷键之前",
                                        "无"}));
    // Hotkeys: "Tab" only for the page switch key.
    EXPECT_EQ(std::ranges::count(FindControl(keys::sysSetOptionHotKey)->choices, "Tab"), 1);
    EXPECT_EQ(std::ranges::count(FindControl(keys::sysShowHideHotKey)->choices, "Tab"), 0);
    EXPECT_EQ(KeyMeaning("F"), "字母键F");  // "F" alone is the letter F
    EXPECT_EQ(KeyMeaning("KeyBody13"), "回车");
    EXPECT_EQ(KeyMeaning("KeyBody123"), "F12");
    EXPECT_EQ(KeyMeaning("KeyBodyx"), "");
}

TEST(SettingsModel, ValueChecksRefuseWhatTheProgramCouldNotUse) {
    using Row = std::pair<const char*, const char*>;
    for (auto [key, value] :
         {Row{keys::sysFloatTransparency, "256"}, Row{keys::sysFloatTransparency, "-1"},
          Row{keys::sysFloatTransparency, "12a"}, Row{keys::sysBaudRateSet, "fast"},
          Row{keys::sysPrinterComId, "COM0"}, Row{keys::sysPrinterComId, "/dev/ttyS0"},
          Row{keys::sysVirtualComdRecvId, "COM3"}, Row{keys::sysCutPicThemeMoney, "top:1, left:"},
          Row{keys::sysPrintMoneyFocusPos, "FALSE"},  // no off value here
          Row{keys::sysGetMoneyFromHwnd, "here"}, Row{keys::sysShowHideHotKey, "Tab"},
          Row{keys::sysCaptureWay, "扫码枪"}, Row{keys::sysAutoPrintBill, "yes"},
          Row{keys::sysIsPaySuccessHotKeyNext2, "CTRL + "},
          Row{keys::sysPrinterParallerPortId, "COM1"}}) {
        EXPECT_TRUE(CheckValue(*FindControl(key), value)) << key << " = " << value;
    }
    for (auto [key, value] :
         {Row{keys::sysFloatTransparency, "0"}, Row{keys::sysPrinterComId, "COM12"},
          Row{keys::sysVirtualComdRecvId, "COM3->COM4"}, Row{keys::sysCutPicThemeMoney, "TRUE"},
          Row{keys::sysCutPicThemeMoney, "top:1, left:2, right:30, bottom:40"},
          Row{keys::sysGetMoneyFromHwnd, "x:0, y:5"}}) {
        EXPECT_FALSE(CheckValue(*FindControl(key), value)) << key << " = " << value;
    }
}

TEST(SettingsModel, PortListsFromDevicesAndThePortMap) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "dev");
    std::ofstream(dir / "dev/ttyS0").put('x');
    std::ofstream(dir / "dev/ttyS2").put('x');
    std::ofstream(dir / "ports.ini") << "COM7=/dev/pts/9\nLPT4=/dev/usb/lp0\n";
    EXPECT_EQ(SerialPortChoices(dir / "ports.ini", dir / "dev"),
              (std::vector<std::string>{"无", "COM1", "COM3", "COM7"}));
    EXPECT_EQ(ParallelPortChoices(dir / "ports.ini"),
              (std::vector<std::string>{"LPT1", "LPT2", "LPT3", "LPT4"}));
    auto pairs = PortPairChoices({"无", "COM3", "COM4", "COM9"});
    EXPECT_EQ(pairs, (std::vector<std::string>{"无", "COM3->COM4", "COM4->COM3"}));
    std::vector<std::string> many = {"无"};
    for (int n = 1; n <= 32; ++n) many.push_back("COM" + std::to_string(n));
    EXPECT_LT(PortPairChoices(many).size(), 130u);
}

TEST(SettingsSave, AllOrNothingAndEmptyTextsNeverStored) {
    test::TempDir dir;
    Settings s;
    s.Load(dir.path(), "Shop");
    std::map<std::string, std::string> values = {{keys::sysFloatTransparency, "200"},
                                                 {keys::sysAutoPrintBill, "TRUE"},
                                                 {keys::sysPinterPapeNum, "0"}};  // refused
    SaveOutcome out = SaveSettings(s, values);
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.bad_key, keys::sysPinterPapeNum);
    EXPECT_NE(out.message.find("打印联数"), std::string::npos);
    EXPECT_EQ(s.Get(keys::sysFloatTransparency), "255");  // nothing applied

    values[keys::sysPinterPapeNum] = "2";
    values[keys::sysOneShopSay] = "";  // cleared field
    out = SaveSettings(s, values);
    EXPECT_TRUE(out.saved);
    EXPECT_EQ(out.message, "保存成功,请重启软件生效！");
    Settings again;
    again.Load(dir.path(), "Shop");
    EXPECT_EQ(again.Get(keys::sysFloatTransparency), "200");
    EXPECT_EQ(again.Get(keys::sysAutoPrintBill), "TRUE");
    EXPECT_EQ(again.Get(keys::sysPinterPapeNum), "2");
    EXPECT_EQ(again.Get(keys::sysOneShopSay), "谢谢惠顾，欢迎下次光临！");
    EXPECT_EQ(s.Get(keys::sysOneShopSay), "谢谢惠顾，欢迎下次光临！");
}

TEST(SettingsSave, DatabaseThatCannotBeWrittenIsReportedNotSuccess) {
    test::TempDir dir;
    // A directory where the database file should be: it cannot be opened.
    std::filesystem::create_directory(dir / "dataset.db");
    Settings s;
    s.Load(dir.path(), "Shop");
    SaveOutcome out = SaveSettings(s, {{keys::sysAutoPrintBill, "TRUE"}});
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.message, kSaveFailedText);
}

}  // namespace
}  // namespace tendrix::settings
