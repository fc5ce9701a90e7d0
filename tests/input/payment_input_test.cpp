#include "input/payment_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "capture/serial_port.h"
#include "tests/input/fakes.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/recording_sink.h"
#include "tests/support/socat_pair.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::capture;
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
    s.Set("sysSysReBootHotKey", "无");
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

TEST(PaymentInput, CommandsTicksAndTimerAsTheMainWindowRoutesThem) {
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

    // Command 13 fills the run list; timer 17 plays one step per tick.
    input.OnAfterPayment("9.90");
    desktop.ClearLog();
    EXPECT_FALSE(input.StepTimerTick(/*main_hidden=*/true, /*popup_visible=*/true));
    EXPECT_TRUE(input.StepTimerTick(true, false));
    EXPECT_EQ(desktop.Log().front(), "move 5,5");
    EXPECT_TRUE(input.StepTimerTick(true, false));  // the amount's keys, a tick after the click
    EXPECT_EQ(desktop.Log().back(), "key- 96");
    EXPECT_TRUE(input.StepTimerTick(true, false));
    EXPECT_EQ(desktop.Log().back(), "key- 13");
    EXPECT_FALSE(input.StepTimerTick(true, false));

    // The hook hotkey empties the scan buffer.
    input.OnScannerChar("5");
    input.HookOpenOff();
    EXPECT_TRUE(input.classifier().buffer().empty());
}

TEST(PaymentInput, SerialScannerPortDeliversChunksThatFormACode) {
    if (!test::SocatPair::Available()) GTEST_SKIP() << "socat is not installed";
    test::TempDir dir;
    test::SocatPair pty(dir.path(), "scanner");  // the program's port and the scanner's end
    ASSERT_TRUE(pty.Ready());
    test::RecordingSink sink;
    SerialPort port(SerialPort::Variant::Scanner);
    ASSERT_TRUE(port.Open(pty.a(), 9600)) << port.Error();
    port.SetTarget(&sink, CheckoutCommand::ScannerData);
    ASSERT_TRUE(port.StartReader());

    RecordingDesktop desktop;
    test::FakeMainWindow main;
    PaymentInput input(desktop, sink, main, "/nonexistent/libKeyMask.so");
    Settings s = InputSettings();
    s.Set("sysCaptureWay", "USB串口");
    input.ApplySettings(s, {}, {});

    const int fd = open(pty.b().c_str(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(fd, 0);
    const std::string code = "2845678901234567\r\n";
    ASSERT_EQ(write(fd, code.data(), 9), 9);
    usleep(50000);  // a gap, so the code may arrive in two chunks
    ASSERT_EQ(write(fd, code.data() + 9, code.size() - 9), static_cast<ssize_t>(code.size() - 9));
    const std::string received = sink.WaitForBytes(CheckoutCommand::ScannerData, code.size());
    // Command 6, as the main window routes it.
    for (const auto& c : sink.Payloads(CheckoutCommand::ScannerData)) input.OnScannerData(c);
    close(fd);
    port.Close();
    EXPECT_EQ(received, code);
    EXPECT_EQ(main.log, (std::vector<std::string>{"code 2845678901234567", "toggle"}));
}

}  // namespace
}  // namespace tendrix
