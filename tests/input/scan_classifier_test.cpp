// The payment code from the keyboard hook, a serial scanner or typing: the scan classifier, and
// the whole input as the main window drives it (PaymentInput).
#include "input/scan_classifier.h"

#include <gtest/gtest.h>

#include "input/payment_code_target.h"
#include "input/payment_input.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/recording_sink.h"

using namespace tendrix::common;
using namespace tendrix::input;
using namespace tendrix::store;

namespace tendrix {
namespace {

// Records the hand-off calls and the hook switch in one log, in order.
class FakeMainWindow : public PaymentCodeTarget, public HookSwitch {
  public:
    bool hidden = true;
    std::vector<std::string> log;

    void SetPayCode(const std::string& code) override { log.push_back("code " + code); }
    void ToggleShowHide() override {
        hidden = !hidden;
        log.push_back("toggle");
    }
    bool MainWindowHidden() const override { return hidden; }
    void PlayVoice(const std::string& file) override { log.push_back("voice " + file); }
    void SetPayWithoutWaiting() override { log.push_back("pay-now"); }
    void ReleaseOrShield(int flag) override { log.push_back("hook " + std::to_string(flag)); }
};

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
    FakeMainWindow main;
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

Settings InputSettings() {
    Settings s;
    s.Set("sysIsBarcodeCapture", "TRUE");
    s.Set("sysCaptureWay", "模拟键盘");
    s.Set("sysWaitPay", "FALSE");
    s.Set("sysShowHideHotKey", "F2");
    s.Set("sysHookOpenOff", "alt + K");
    s.Set("sysPrintBillHotKey", "F6");
    s.Set("OpenCloseCameraHotKey", "F8");
    s.Set("sysIsOpenPaySuccessClose", "3");
    s.Set("sysIsPaySuccessHotKeyNext1", "KeyBody13");
    s.Set("sysIsPaySuccessHotKeyNext2", "无");
    s.Set("sysPrintMoneyProgram", "第一步快捷键之前");
    s.Set("sysPrintKeytime", "200");
    s.Set("sysPrintMoneyFocusPos", "top:0, left:0, right:10, bottom:10");
    return s;
}

TEST(PaymentInput, CommandsTicksTimerAndSerialChunksAsTheMainWindowRoutesThem) {
    RecordingDesktop desktop;
    test::RecordingSink sink;
    FakeMainWindow main;
    PaymentInput input(desktop, sink, main, "/nonexistent/libKeyMask.so");
    desktop.TakeHotKey(1, 'K');
    int show_hide = 0;
    const auto failures = input.ApplySettings(
        InputSettings(), [&] { ++show_hide; }, [] {});
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "开启/关闭扫码捕获热键注册失败，可能其他程序已经占用该组合键！"}));
    EXPECT_EQ(input.key_table().key(MainKeyTable::PrintBill), 117);
    EXPECT_EQ(input.camera_hotkey().vk, 119);
    EXPECT_EQ(input.step_interval_ms(), 200);

    // Command 5 per character; the payload's first byte is the character.
    for (char c : std::string("134567890123456789\r")) input.OnScannerChar(std::string(1, c));
    input.OnScannerChar("");  // empty payload: ignored
    input.Tick(/*hidden_or_box_open=*/true);
    EXPECT_EQ(main.log, (std::vector<std::string>{"code 134567890123456789", "toggle",
                                                  "voice scanbarsuccess.mp3", "pay-now"}));
    EXPECT_FALSE(input.hook().Loaded());  // library missing: no hook, no crash

    // Hotkeys are delivered by the tick.
    desktop.PressHotKey("hotkeyhideshowTendrix");
    input.Tick(false);
    EXPECT_EQ(show_hide, 1);

    // Command 13 fills the run list; timer 17 plays it (AfterPaymentRunner: a step per tick).
    input.OnAfterPayment("9.90");
    desktop.ClearLog();
    EXPECT_TRUE(input.StepTimerTick(/*main_hidden=*/true, /*popup_visible=*/false));
    EXPECT_EQ(desktop.Log().front(), "move 5,5");

    // The hook hotkey empties the scan buffer.
    input.OnScannerChar("5");
    input.HookOpenOff();
    EXPECT_TRUE(input.classifier().buffer().empty());

    // A serial scanner: command 6 chunks form a code (the port's bytes reaching command 6:
    // SerialTest.FailuresAreReportedWithTheirTexts).
    Settings serial = InputSettings();
    serial.Set("sysCaptureWay", "USB串口");
    input.ApplySettings(serial, {}, {});
    main.log.clear();
    main.hidden = true;
    input.OnScannerData("284567890");
    input.OnScannerData("1234567\r\n");
    EXPECT_EQ(main.log, (std::vector<std::string>{"code 2845678901234567", "toggle"}));
}

}  // namespace
}  // namespace tendrix
