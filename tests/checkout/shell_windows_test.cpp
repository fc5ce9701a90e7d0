// The floating window and the payment popup, driven as the main window drives them.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <filesystem>

#include "checkout/float_dlg.h"
#include "checkout/pay_popup_dlg.h"
#include "context/app_config.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::checkout;
using namespace tendrix::context;
namespace test = tendrix::test;

namespace {

void Tick(ui::Window& w, QWidget* control, int id) {
    ui::Notification n;
    n.type = QString::fromLatin1(ui::kTimer);
    n.sender = control;
    n.timer_id = id;
    w.Hub().Send(n);
}

class ShellWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        config_.SetProgramDir(root_ / "bin/");
        std::filesystem::create_directories(root_ / "bin/UIskin");
    }
    test::TempDir root_;
    AppConfig config_;
    RecordingDesktop desktop_;
};

}  // namespace

TEST_F(ShellWindows, FloatGoesToTheDefaultPlaceOrTheStoredOneAndReassertsEveryTenSeconds) {
    bool main_visible = false;
    CFloatDlg f(
        &config_, &desktop_, [] {}, [&] { return main_visible; });  // click: MainDlgTest.Tray*
    ASSERT_TRUE(f.built());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    f.ApplyOpacity(200);
    EXPECT_EQ(f.pos(), QPoint(area.right() + 1 - f.width(), area.top() + area.height() / 10));
    EXPECT_EQ(f.opacity(), 200);
    EXPECT_NEAR(f.windowOpacity(), 200 / 255.0, 0.01);
    // Saved on quit, used from then on.
    f.move(120, 340);
    ASSERT_TRUE(f.SavePosition());
    f.move(0, 0);
    f.ApplyOpacity(255);
    EXPECT_EQ(f.pos(), QPoint(120, 340));
    // Out-of-range opacity texts are clamped, never wrapped.
    f.ApplyOpacity(300);
    EXPECT_EQ(f.opacity(), 255);
    f.ApplyOpacity(-4);
    EXPECT_EQ(f.opacity(), 0);

    // Timer 84 reasserts the float every ten seconds unless its opacity is zero.
    auto* btn = f.FindControl<QPushButton>(QStringLiteral("btn_openmain"));
    f.show();  // windowinit starts timer 84
    EXPECT_EQ(f.Hub().TimerInterval(btn, CFloatDlg::kReassertTimer), 10000);

    // Opacity 0: nothing happens on the tick.
    f.ApplyOpacity(0);
    desktop_.ClearLog();
    Tick(f, btn, CFloatDlg::kReassertTimer);
    EXPECT_TRUE(desktop_.Log().empty());

    // Otherwise the window behind the float's top-left corner gets the activation back.
    f.ApplyOpacity(255);
    const QPoint p = f.pos();
    desktop_.AddWindow(77, {p.x() - 50, p.y() - 50, p.x() + 5, p.y() + 5}, "POS");
    Tick(f, btn, CFloatDlg::kReassertTimer);
    EXPECT_EQ(desktop_.Log(), std::vector<std::string>{"foreground 77"});
    // With the main window visible, it is activated instead.
    desktop_.ClearLog();
    main_visible = true;
    Tick(f, btn, CFloatDlg::kReassertTimer);
    EXPECT_TRUE(desktop_.Log().empty());
    // A menu of the float over its centre is left alone.
    main_visible = false;
    const QPoint c = f.frameGeometry().center();
    desktop_.AddWindow(78, {c.x() - 5, c.y() - 5, c.x() + 5, c.y() + 5}, "MenuUIFloat");
    Tick(f, btn, CFloatDlg::kReassertTimer);
    EXPECT_TRUE(desktop_.Log().empty());
}

TEST_F(ShellWindows, PopupCaptionAndPictureFollowTheResultThenTicksBlankAndHide) {
    CPayPopupDlg pop;
    ASSERT_TRUE(pop.built());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(pop.pos(), QPoint(area.right() + 1 - pop.width(), area.bottom() + 1 - pop.height()));
    EXPECT_FALSE(pop.isVisible());

    struct Row {
        const char* result;
        const char* money;
        const char* picture;
    };
    const Row rows[] = {
        {"预授权冻结成功！", "冻结金额：1.00", "image/frozenlab.png"},
        {"支付成功！", "支付金额：1.00", "image/paysuccelab.png"},
        {"退款成功！", "退款金额：1.00", "image/refundlab.png"},
        {"解冻成功！", "解冻金额：1.00", "image/thrawlabel.png"},
        {"撤销成功！", "撤销金额：1.00", "image/payfaillab.png"},
    };
    for (const Row& r : rows) {
        pop.ShowResult(QString::fromUtf8(r.result), QStringLiteral("1.00"));
        EXPECT_EQ(pop.MoneyText(), QString::fromUtf8(r.money));
        EXPECT_EQ(pop.Picture(), QString::fromUtf8(r.picture));
        EXPECT_TRUE(std::filesystem::exists(ui::SkinDir() + r.picture)) << r.picture;
    }
    // A result outside the table keeps caption and picture.
    pop.ShowResult(QStringLiteral("部分退款成功！"), QStringLiteral("2.50"));
    EXPECT_EQ(pop.MoneyText(), QStringLiteral("撤销金额：2.50"));
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/payfaillab.png"));
    // Command 15 sets the label only.
    pop.ShowText(QStringLiteral("正在查询"));
    EXPECT_EQ(pop.ResultText(), QStringLiteral("正在查询"));
    EXPECT_EQ(pop.MoneyText(), QStringLiteral("撤销金额：2.50"));

    // Shown for three ticks, the picture blank on the fourth, hidden on the fifth.
    pop.ShowResult(QStringLiteral("支付成功！"), QStringLiteral("9.90"));
    EXPECT_EQ(pop.Hub().TimerInterval(&pop, CPayPopupDlg::kDisplayTimer), 1000);
    for (int i = 0; i < 3; ++i) Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paysuccelab.png"));
    EXPECT_TRUE(pop.isVisible());
    Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);  // 4th tick: picture blank
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paynulllab.png"));
    EXPECT_TRUE(pop.isVisible());
    Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);  // 5th tick: hidden, timer stopped
    EXPECT_FALSE(pop.isVisible());
    EXPECT_FALSE(pop.Hub().HasTimer(&pop, CPayPopupDlg::kDisplayTimer));
    EXPECT_EQ(CPayPopupDlg::TickCounter(), 0);

    // A second result while shown starts the display time again.
    pop.ShowResult(QStringLiteral("支付成功！"), QStringLiteral("1"));
    Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);
    Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);
    pop.ShowResult(QStringLiteral("退款成功！"), QStringLiteral("1"));
    for (int i = 0; i < 4; ++i) Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);
    EXPECT_TRUE(pop.isVisible());

    // The close button hides at once with the blank picture.
    pop.FindControl<QPushButton>(QStringLiteral("btn_close"))->click();
    EXPECT_FALSE(pop.isVisible());
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paynulllab.png"));
}
