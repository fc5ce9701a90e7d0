#include "input/scan_classifier.h"

#include <gtest/gtest.h>

#include "tests/input/fakes.h"
#include "tests/support/recording_desktop.h"

using namespace tendrix::input;

namespace tendrix {
namespace {

using Log = std::vector<std::string>;

// The desktop keys of a replay of digits and carriage returns.
Log Keys(const std::string& s) {
    Log out;
    for (char c : s) {
        const int code = c == '\r' ? 13 : c;
        out.push_back("key+ " + std::to_string(code));
        out.push_back("key- " + std::to_string(code));
    }
    return out;
}

const Log kCode17 = {"code 13456789012345678", "toggle", "voice scanbarsuccess.mp3"};
const Log kReplay = {"hook 1", "hook 0"};  // the hook released while the keys go back

class ScanClassifierTest : public ::testing::Test {
  protected:
    // Configures `way`, feeds each piece with a tick after it, then `pause` empty ticks.
    void Run(CaptureWay way, const std::vector<std::string>& pieces, int pause = 0) {
        main.log.clear();
        desktop.ClearLog();
        classifier.Configure(way, wait_pay);
        for (const auto& piece : pieces) {
            for (char c : piece) classifier.OnHookChar(static_cast<unsigned char>(c));
            classifier.Tick();
        }
        for (int i = 0; i < pause; ++i) classifier.Tick();
    }
    bool wait_pay = true;
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

TEST_F(ScanClassifierTest, KeyboardModeCodeIsHandedOffOnTheTickThatCompletesIt) {
    Run(CaptureWay::Keyboard, {"13456789012345678\r"});  // 17 digits + CR
    EXPECT_EQ(main.log, kCode17);
    main.hidden = true;
    Run(CaptureWay::Keyboard, {"1345678901", "2345678\r"});  // spread over two ticks
    EXPECT_EQ(main.log, kCode17);
    EXPECT_TRUE(desktop.Log().empty());
    EXPECT_TRUE(classifier.buffer().empty());

    // sysWaitPay "FALSE" also raises the pay-at-once flag; a shown window is not toggled.
    wait_pay = false;
    Run(CaptureWay::Keyboard, {"284567890123456789\r"});
    EXPECT_EQ(main.log, (Log{"code 284567890123456789", "voice scanbarsuccess.mp3", "pay-now"}));
    EXPECT_FALSE(main.hidden);
}

TEST_F(ScanClassifierTest, KeyboardModeReplaysWhatIsNoCode) {
    Run(CaptureWay::Keyboard, {"690123456789\r"});  // a product barcode
    EXPECT_EQ(main.log, kReplay);
    EXPECT_EQ(desktop.Log(), Keys("690123456789\r"));
    // 18 characters without a carriage return: replayed after a tick's pause; the empty ticks
    // after it do not touch the hook.
    Run(CaptureWay::Keyboard, {"123456789012345678"}, 3);
    EXPECT_EQ(main.log, kReplay);
    EXPECT_EQ(desktop.Log(), Keys("123456789012345678"));
    // More than 255 characters: the length memory must not wrap and stall the buffer.
    Run(CaptureWay::Keyboard, {std::string(300, '7')}, 1);
    EXPECT_EQ(desktop.Log(), Keys(std::string(300, '7')));
    EXPECT_TRUE(classifier.buffer().empty());
    // Typed letters keep their case; lower-case ones go back as characters, not as the
    // virtual keys with their codes.
    Run(CaptureWay::Keyboard, {"a", "B"}, 1);
    EXPECT_EQ(desktop.Log(), (Log{"type aB"}));
    Run(CaptureWay::Keyboard, {"p1\r"});
    EXPECT_EQ(desktop.Log(), (Log{"type p", "key+ 49", "key- 49", "key+ 13", "key- 13"}));
}

TEST_F(ScanClassifierTest, EnhancedModeWaitsForReturn) {
    Run(CaptureWay::KeyboardEnhanced, {"12345678901234\r"});  // 14 + CR
    EXPECT_EQ(main.log.front(), "code 12345678901234");
    Run(CaptureWay::KeyboardEnhanced, {"1234567890123\r"});  // 13 + CR
    EXPECT_EQ(main.log, kReplay);
    EXPECT_EQ(desktop.Log(), Keys("1234567890123\r"));
    // Without a carriage return the characters stay, however long the pause.
    Run(CaptureWay::KeyboardEnhanced, {"98765"}, 100);
    EXPECT_EQ(classifier.buffer(), "98765");
    EXPECT_TRUE(main.log.empty());
}

TEST_F(ScanClassifierTest, SerialChunksTheTerminatorRuleAndBoundedGarbage) {
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
    // Garbage without a terminator is bounded.
    for (int i = 0; i < 20; ++i) classifier.OnSerialData(std::string(500, 'x'));
    EXPECT_LE(classifier.buffer().size(), 4096u + 500u);
    EXPECT_TRUE(main.log.empty());
}

}  // namespace
}  // namespace tendrix
