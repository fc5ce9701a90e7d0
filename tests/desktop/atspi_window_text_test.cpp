// The text under a point read from the accessibility bus, on a real display and a private
// session bus: a GTK 3 window and a Qt window with a total in a label, an amount in an entry
// and digits in the title. The capture worker posts the control's amount, never a number
// taken from a title; a stopped program costs a read at most the time-out.
#include "desktop/atspi_window_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "capture/capture_worker.h"
#include "desktop/x11_desktop.h"
#include "tests/capture/capture_test_support.h"
#include "tests/desktop/accessible_session.h"
#include "tests/desktop/x_test_window.h"

using namespace tendrix::common;
using namespace tendrix::desktop;

namespace tendrix {
namespace {

using Clock = std::chrono::steady_clock;
using test::ControlsProgram;

constexpr const char* kTitle = "收银 V2.3 店号 0017";

// The GTK test window's command line.
std::vector<std::string> GtkWindow() {
    const char* dir = std::getenv("TENDRIX_SOURCE_DIR");
    return {"/usr/bin/python3",
            std::string(dir ? dir : ".") + "/tests/desktop/accessible_gtk_window.py", "100", "100"};
}

class AccessibleTextTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { session_ = new test::AccessibleSession; }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }
    void SetUp() override {
        if (!session_->ok()) GTEST_SKIP() << "no accessibility session: " << session_->error();
        desktop_ = CreateX11DesktopOn(session_->display());
        ASSERT_NE(desktop_, nullptr);
    }

    // The program publishes its controls shortly after it shows them: read until the control
    // answers (or 10 s passed).
    PointText ReadControl(ScreenPoint p) {
        PointText t;
        for (int i = 0; i < 100; ++i) {
            t = desktop_->TextAt(p);
            if (t.source == PointText::Source::Control) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return t;
    }

    // Runs a point-mode capture worker at p for `n` triggers; returns the posted amounts.
    std::vector<std::string> Capture(ScreenPoint p, size_t n) {
        test::RecordingSink sink;
        capture::CaptureWorker worker(sink, desktop_.get(), "/nonexistent/");
        EXPECT_TRUE(worker.Start(capture::FormatPoint(p)));
        EXPECT_TRUE(worker.WaitReady());
        for (size_t i = 0; i < n; ++i) worker.Trigger();
        auto amounts = sink.WaitFor(CheckoutCommand::FloatAmount, n);
        worker.Stop();
        return amounts;
    }

    static test::AccessibleSession* session_;
    std::unique_ptr<DesktopServices> desktop_;
};

test::AccessibleSession* AccessibleTextTest::session_ = nullptr;

TEST_F(AccessibleTextTest, GtkAndQtControlsAreReadExactly) {
    const struct {
        const char* toolkit;
        std::vector<std::string> argv, env;
    } programs[] = {{"GTK", GtkWindow(), {}},
                    {"Qt",
                     {TENDRIX_ACCESSIBLE_QT_WINDOW, "100", "100"},
                     {"QT_QPA_PLATFORM=xcb", "QT_ACCESSIBILITY=1"}}};
    for (const auto& p : programs) {
        SCOPED_TRACE(p.toolkit);
        ControlsProgram program(p.argv, p.env);
        ASSERT_TRUE(program.ready());
        const PointText label = ReadControl(program.Centre("label"));
        ASSERT_EQ(label.source, PointText::Source::Control) << label.text;
        EXPECT_EQ(label.text, "合计 36.50");
        EXPECT_EQ(label.role, "label");
        EXPECT_EQ(ReadControl(program.Centre("entry")).text, "128.80");
        EXPECT_EQ(Capture(program.Centre("label"), 1), std::vector<std::string>{"36.50"});
        EXPECT_EQ(Capture(program.Centre("entry"), 1), std::vector<std::string>{"128.80"});
    }
}

// A window that publishes nothing: its title is the text, and digits in it are no amount;
// a title that is an amount alone still is one.
TEST_F(AccessibleTextTest, ATitleGivesNoAmountUnlessItIsOne) {
    test::XTestWindow plain(session_->display(), 700, 100, 300, 200, kTitle);
    test::XTestWindow amount(session_->display(), 700, 400, 300, 200, "¥ 1,036.50");
    ASSERT_TRUE(plain.ok() && amount.ok());
    const PointText title = desktop_->TextAt({850, 200});
    EXPECT_EQ(title.source, PointText::Source::WindowTitle);
    EXPECT_EQ(title.text, kTitle);
    EXPECT_EQ(Capture({850, 200}, 1), std::vector<std::string>{""});
    EXPECT_EQ(Capture({850, 500}, 1), std::vector<std::string>{"1036.50"});
}

TEST_F(AccessibleTextTest, StoppedProgramCostsAtMostTheTimeoutAndCapturesGoOn) {
    ControlsProgram gtk(GtkWindow(), {});
    ASSERT_TRUE(gtk.ready());
    const ScreenPoint at = gtk.Centre("label");
    ASSERT_EQ(ReadControl(at).text, "合计 36.50");

    gtk.Pause();
    const auto slack = std::chrono::milliseconds(150);
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const PointText t = desktop_->TextAt(at);
        EXPECT_LE(Clock::now() - start, kAccessibleTextTimeout + slack) << i;
        EXPECT_TRUE(t.timed_out);
        EXPECT_NE(t.source, PointText::Source::Control);
    }
    // Every trigger is answered (with no amount) while the program hangs.
    const auto start = Clock::now();
    const auto amounts = Capture(at, 4);
    EXPECT_EQ(amounts, std::vector<std::string>(4, ""));
    EXPECT_LE(Clock::now() - start, 4 * (kAccessibleTextTimeout + slack));

    // Going on, the program is read again.
    gtk.Resume();
    EXPECT_EQ(ReadControl(at).text, "合计 36.50");
}

}  // namespace
}  // namespace tendrix
