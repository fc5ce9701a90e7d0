#include "input/after_payment.h"

#include <gtest/gtest.h>

#include "desktop/x11_desktop.h"
#include "tests/desktop/x_test_window.h"
#include "tests/desktop/xvfb_server.h"
#include "tests/support/recording_desktop.h"

using namespace tendrix::desktop;
using namespace tendrix::input;
using namespace tendrix::store;

namespace tendrix {
namespace {

using Steps = std::vector<std::string>;

Settings Base() {
    Settings s;
    s.Set("sysIsOpenPaySuccessClose", "5");
    s.Set("sysIsPaySuccessHotKeyNext1", "KeyBody13");
    s.Set("sysIsPaySuccessHotKeyNext2", "ALT + P");
    s.Set("sysIsPaySuccessHotKeyNext3", "CTRL + S");
    s.Set("sysPrintMoneyProgram", "无");
    s.Set("sysPrintKeytime", "300");
    s.Set("sysPrintMoneyFocusPos", "top:100, left:200, right:301, bottom:151");
    s.Set("sysReductionFoucus", "top:10, left:20, right:40, bottom:30");
    return s;
}

TEST(AfterPaymentTemplate, AmountStepWhereConfiguredFewerHotKeyStepsAndSwitchedOff) {
    Settings s = Base();
    const std::pair<const char*, Steps> cases[] = {
        {"无", {"KeyBody13", "ALT + P", "CTRL + S"}},
        {"第一步快捷键之前", {"printmoney:", "KeyBody13", "ALT + P", "CTRL + S"}},
        {"第二步快捷键之前", {"KeyBody13", "printmoney:", "ALT + P", "CTRL + S"}},
        {"第三步快捷键之前", {"KeyBody13", "ALT + P", "printmoney:", "CTRL + S"}},
    };
    for (const auto& [where, steps] : cases) {
        s.Set("sysPrintMoneyProgram", where);
        EXPECT_EQ(BuildAfterPaymentTemplate(s).steps, steps) << where;
    }
    const AfterPaymentTemplate t = BuildAfterPaymentTemplate(s);
    EXPECT_EQ(t.amount_point, (ScreenPoint{250, 125}));  // integer centre
    EXPECT_EQ(t.focus_point, (ScreenPoint{30, 20}));
    EXPECT_EQ(t.step_interval_ms, 300);

    // Fewer hotkey steps; the sequence switched off.
    s = Base();
    s.Set("sysIsPaySuccessHotKeyNext2", "无");  // ends the list: step 3 is not read
    s.Set("sysPrintMoneyProgram", "第二步快捷键之前");
    EXPECT_EQ(BuildAfterPaymentTemplate(s).steps, (Steps{"KeyBody13", "printmoney:"}));
    s.Set("sysIsPaySuccessHotKeyNext1", "无");
    s.Set("sysPrintMoneyProgram", "第三步快捷键之前");
    EXPECT_EQ(BuildAfterPaymentTemplate(s).steps, (Steps{"printmoney:"}));

    for (const char* off : {"0", "-1", "FALSE", ""}) {
        s.Set("sysIsOpenPaySuccessClose", off);
        const AfterPaymentTemplate t = BuildAfterPaymentTemplate(s);
        EXPECT_TRUE(t.steps.empty()) << off;
        EXPECT_EQ(t.amount_point, ScreenPoint{});
        EXPECT_EQ(t.focus_point, (ScreenPoint{30, 20}));  // read regardless
    }
    s = Base();
    s.Set("sysPrintKeytime", "0");
    s.Set("sysReductionFoucus", "FALSE");
    EXPECT_EQ(BuildAfterPaymentTemplate(s).step_interval_ms, 0);
    EXPECT_EQ(BuildAfterPaymentTemplate(s).focus_point, ScreenPoint{});
}

// The amount step is checked where its keys arrive: on a real X server (X11InputTest).
TEST(AfterPaymentPlayer, ExactKeyAndMouseSequences) {
    RecordingDesktop d;
    const ScreenPoint amount{250, 125}, focus{30, 20};
    PlayAfterPaymentStep(d, "KeyBody13", amount, focus);
    PlayAfterPaymentStep(d, "ALT + p", amount, focus);
    PlayAfterPaymentStep(d, "CTRL + S", amount, focus);
    PlayAfterPaymentStep(d, "reduction_focus", amount, focus);
    EXPECT_EQ(d.Log(),
              (Steps{"key+ 13", "key- 13", "key+ 18", "key+ 80", "key- 18", "key- 80", "key+ 17",
                     "key+ 83", "key- 17", "key- 83", "move 30,20", "down L", "up L"}));
    // Malformed steps send only what their format read.
    d.ClearLog();
    PlayAfterPaymentStep(d, "KeyBodyX", amount, focus);
    PlayAfterPaymentStep(d, "CTRL +", amount, focus);
    PlayAfterPaymentStep(d, "unknown", amount, focus);
    EXPECT_EQ(d.Log(), (Steps{"key+ 17", "key- 17"}));
}

TEST(AfterPaymentRunner, OneStepPerTickWhileHiddenAndNoPopup) {
    Settings s = Base();
    s.Set("sysPrintMoneyProgram", "第一步快捷键之前");
    AfterPaymentRunner r;
    r.SetTemplate(BuildAfterPaymentTemplate(s));
    r.Start("8.00");
    EXPECT_EQ(r.pending().front(), "printmoney:8.00");
    ASSERT_EQ(r.pending().size(), 4u);
    RecordingDesktop d;
    EXPECT_FALSE(r.Tick(d, /*main_hidden=*/false, /*popup_visible=*/false));
    EXPECT_FALSE(r.Tick(d, true, true));
    EXPECT_TRUE(d.Log().empty());
    // The amount step clicks on one tick and types on a later one, once the clicked
    // window holds the focus (a window manager moves it only after seeing the click).
    d.AddWindow(77, {200, 100, 300, 150}, "POS");
    EXPECT_TRUE(r.Tick(d, true, false));
    EXPECT_EQ(d.Log(), (Steps{"move 250,125", "down L", "up L"}));
    EXPECT_EQ(r.pending().size(), 3u);
    d.ClearLog();
    EXPECT_FALSE(r.Tick(d, true, false));  // the focus is elsewhere yet
    EXPECT_TRUE(d.Log().empty());
    d.BringToForeground(77);
    d.ClearLog();
    EXPECT_TRUE(r.Tick(d, true, false));
    EXPECT_EQ(d.Log().front(), "key+ 17");
    EXPECT_EQ(d.Log().back(), "key- 96");
    // A new payment before the window was hidden drops the rest of the old run; the
    // focus-restore click goes after the last step, once.
    EXPECT_EQ(r.Clear(), 3u);
    EXPECT_FALSE(r.Running());
    r.Start("9.00");
    r.AppendFocusRestore();
    r.AppendFocusRestore();
    ASSERT_EQ(r.pending().size(), 5u);
    EXPECT_EQ(r.pending().back(), "reduction_focus");
    // Without a confirmed focus the keys still go out, about a second later.
    d.BringToForeground(0);
    d.ClearLog();
    int ticks = 0;
    while (r.Running() && ticks < 100) {
        r.Tick(d, true, false);
        ++ticks;
    }
    EXPECT_FALSE(r.Running());
    EXPECT_EQ(d.Log().back(), "up L");  // the focus-restore click came last
}

// The amount step against a real X server: its click and keys must arrive in a plain X window
// exactly. (A replayed barcode's keys: ScanClassifierTest for the sequence, X11DesktopTest for
// the keys arriving.)
class X11InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!xvfb_.ok()) GTEST_SKIP() << xvfb_.error();
        desktop_ = CreateX11DesktopOn(xvfb_.display());
        ASSERT_NE(desktop_, nullptr);
    }
    test::XvfbServer xvfb_;
    std::unique_ptr<DesktopServices> desktop_;
};

TEST_F(X11InputTest, AmountStepArrivesAsClickSelectAllEraseAndKeypadDigits) {
    test::XTestWindow pos(xvfb_.display(), 100, 100, 400, 300, "POS");
    ASSERT_TRUE(pos.ok());
    PlayAfterPaymentStep(*desktop_, "printmoney:12.50", {300, 250}, {});
    const auto records = pos.Collect(12);
    EXPECT_EQ(records, (std::vector<std::string>{"press 1", "release 1", "key Control_L", "key a",
                                                 "key BackSpace", "key KP_1", "key KP_2",
                                                 "key KP_Decimal", "key KP_5", "key KP_0"}));
    EXPECT_EQ(pos.typed(), std::string("\x01\x08") + "12.50");
    EXPECT_EQ(desktop_->CursorPos(), (ScreenPoint{300, 250}));
}

}  // namespace
}  // namespace tendrix
