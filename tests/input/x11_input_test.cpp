// The after-payment amount step against a real X server: its click and keys must arrive in a
// plain X window exactly. (A replayed barcode's keys: ScanClassifierTest for the sequence,
// X11DesktopTest for the keys arriving.)
#include <gtest/gtest.h>

#include "desktop/x11_desktop.h"
#include "input/after_payment.h"
#include "tests/desktop/x_test_window.h"
#include "tests/desktop/xvfb_server.h"

using namespace tendrix::desktop;
using namespace tendrix::input;

namespace tendrix {
namespace {

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
