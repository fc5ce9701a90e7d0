#include "input/scan_classifier.h"

#include <gtest/gtest.h>

#include "tests/input/fakes.h"
#include "tests/support/recording_desktop.h"

using namespace tendrix::input;

namespace tendrix {
namespace {

using Log = std::vector<std::string>;

class ScanClassifierTest : public ::testing::Test {
  protected:
    void Feed(const std::string& s) {
        for (char c : s) classifier.OnHookChar(static_cast<unsigned char>(c));
    }
    // The desktop keys of a replay of digits and carriage returns.
    static Log Keys(const std::string& s) {
        Log out;
        for (char c : s) {
            const int code = c == '\r' ? 13 : c;
            out.push_back("key+ " + std::to_string(code));
            out.push_back("key- " + std::to_string(code));
        }
        return out;
    }
    RecordingDesktop desktop;
    test::FakeMainWindow main;
    ScanClassifier classifier{desktop, main, main};
};

TEST(CaptureWay, SettingTexts) {
    EXPECT_EQ(ParseCaptureWay("模拟键盘"), CaptureWay::Keyboard);
    EXPECT_EQ(ParseCaptureWay("模拟键盘(增强模式)"), CaptureWay::KeyboardEnhanced);
    EXPECT_EQ(ParseCaptureWay("USB串口"), CaptureWay::Serial);
    EXPECT_EQ(ParseCaptureWay(""), CaptureWay::Off);
}

TEST_F(ScanClassifierTest, KeyboardModeCodeWithinOneTickIsHandedOffOnThatTick) {
    classifier.Configure(CaptureWay::Keyboard, /*wait_pay=*/true);
    Feed("13456789012345678\r");  // 17 digits + CR
    classifier.Tick();
    EXPECT_EQ(main.log, (Log{"code 13456789012345678", "toggle", "voice scanbarsuccess.mp3"}));
    EXPECT_TRUE(desktop.Log().empty());
    EXPECT_TRUE(classifier.buffer().empty());

    // sysWaitPay "FALSE" also raises the pay-at-once flag; a shown window is not toggled.
    main.log.clear();
    classifier.Configure(CaptureWay::Keyboard, /*wait_pay=*/false);
    Feed("284567890123456789\r");
    classifier.Tick();
    EXPECT_EQ(main.log, (Log{"code 284567890123456789", "voice scanbarsuccess.mp3", "pay-now"}));
    EXPECT_FALSE(main.hidden);
}

TEST_F(ScanClassifierTest, KeyboardModeShortCodeAndPausesAreReplayed) {
    classifier.Configure(CaptureWay::Keyboard, true);
    Feed("690123456789\r");  // a product barcode: replayed whole on the next tick
    classifier.Tick();
    EXPECT_EQ(main.log, (Log{"hook 1", "hook 0"}));
    EXPECT_EQ(desktop.Log(), Keys("690123456789\r"));
    EXPECT_TRUE(classifier.buffer().empty());

    // 18 characters without a carriage return, then a pause of a tick: replayed.
    main.log.clear();
    desktop.ClearLog();
    Feed("123456789012345678");
    classifier.Tick();
    EXPECT_TRUE(main.log.empty());
    classifier.Tick();
    EXPECT_EQ(main.log, (Log{"hook 1", "hook 0"}));
    EXPECT_EQ(desktop.Log(), Keys("123456789012345678"));

    // Empty ticks do not touch the hook.
    main.log.clear();
    classifier.Tick();
    classifier.Tick();
    EXPECT_TRUE(main.log.empty());
}

TEST_F(ScanClassifierTest, KeyboardModeCodeSpreadOverTicksStillCounts) {
    classifier.Configure(CaptureWay::Keyboard, true);
    Feed("1345678901");
    classifier.Tick();  // still arriving
    Feed("2345678\r");
    classifier.Tick();
    EXPECT_EQ(main.log.front(), "code 13456789012345678");
}

TEST_F(ScanClassifierTest, KeyboardModeTypistKeysGoBackAndKeepTheirCase) {
    classifier.Configure(CaptureWay::Keyboard, true);
    Feed("a");
    classifier.Tick();
    Feed("B");
    classifier.Tick();  // grew: waits
    classifier.Tick();  // pause: replay
    EXPECT_EQ(desktop.Log(), (Log{"type aB"}));
    // Lower-case letters are typed as characters, not as the virtual keys with their codes.
    desktop.ClearLog();
    Feed("p1\r");
    classifier.Tick();
    EXPECT_EQ(desktop.Log(), (Log{"type p", "key+ 49", "key- 49", "key+ 13", "key- 13"}));
}

TEST_F(ScanClassifierTest, KeyboardModeLongRunWithoutReturnIsReplayedAfterAPause) {
    // More than 255 characters: the length memory must not wrap and stall the buffer.
    classifier.Configure(CaptureWay::Keyboard, true);
    Feed(std::string(300, '7'));
    classifier.Tick();
    classifier.Tick();
    EXPECT_TRUE(classifier.buffer().empty());
    EXPECT_EQ(desktop.Log().size(), 600u);
}

TEST_F(ScanClassifierTest, EnhancedModeWaitsForReturn) {
    classifier.Configure(CaptureWay::KeyboardEnhanced, true);
    Feed("12345678901234\r");  // 14 + CR
    classifier.Tick();
    EXPECT_EQ(main.log.front(), "code 12345678901234");

    main.log.clear();
    Feed("1234567890123\r");  // 13 + CR
    classifier.Tick();
    EXPECT_EQ(main.log, (Log{"hook 1", "hook 0"}));
    EXPECT_EQ(desktop.Log(), Keys("1234567890123\r"));

    // Without a carriage return the characters stay, however long the pause.
    main.log.clear();
    Feed("98765");
    for (int i = 0; i < 100; ++i) classifier.Tick();
    EXPECT_EQ(classifier.buffer(), "98765");
    EXPECT_TRUE(main.log.empty());
}

TEST_F(ScanClassifierTest, SerialChunksAndTheTerminatorRule) {
    classifier.Configure(CaptureWay::Serial, true);
    // 16 digits and a carriage return are a code; the terminator is not part of it.
    classifier.OnSerialData("12345678");
    EXPECT_TRUE(main.log.empty());
    classifier.OnSerialData("90123456\r\n");
    EXPECT_EQ(main.log, (Log{"code 1234567890123456", "toggle"}));
    classifier.Tick();  // ticks leave serial data alone
    EXPECT_TRUE(classifier.buffer().empty());

    // A chunk that starts with the previous code's line feed: not a terminator.
    main.log.clear();
    main.hidden = true;
    classifier.OnSerialData("\n");
    classifier.OnSerialData("\r123456789012345");
    EXPECT_TRUE(main.log.empty());
    classifier.OnSerialData("6\r");
    EXPECT_EQ(main.log, (Log{"code 1234567890123456", "toggle"}));

    // A product barcode: typed into the foreground program while the main window is hidden.
    main.log.clear();
    main.hidden = true;
    classifier.OnSerialData("6901234\r\n");
    EXPECT_TRUE(main.log.empty());
    EXPECT_EQ(desktop.Log(), Keys("6901234\r"));
    // ... and dropped while it is shown.
    desktop.ClearLog();
    main.hidden = false;
    classifier.OnSerialData("6901234\r");
    EXPECT_TRUE(desktop.Log().empty());
    EXPECT_TRUE(classifier.buffer().empty());
    // 15 + CR: not a code.
    classifier.OnSerialData("123456789012345\r");
    EXPECT_TRUE(main.log.empty());
}

TEST_F(ScanClassifierTest, SerialGarbageWithoutTerminatorIsBounded) {
    classifier.Configure(CaptureWay::Serial, true);
    for (int i = 0; i < 20; ++i) classifier.OnSerialData(std::string(500, 'x'));
    EXPECT_LE(classifier.buffer().size(), 4096u + 500u);
    EXPECT_TRUE(main.log.empty());
}

}  // namespace
}  // namespace tendrix
