#include "input/payment_input.h"

#include <gtest/gtest.h>

#include "tests/input/fakes.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/recording_sink.h"

using namespace tendrix::common;
using namespace tendrix::input;
using namespace tendrix::store;

namespace tendrix {
namespace {

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
    test::FakeMainWindow main;
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
