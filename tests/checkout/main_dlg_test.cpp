// The main window's rules from its settings and texts; the window driven offscreen with the real
// pages, a recording desktop and no devices; the floating window and the payment popup driven
// as the main window drives them.
#include "checkout/main_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "capture/capture_sources.h"
#include "checkout/float_dlg.h"
#include "checkout/main_logic.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pay_popup_dlg.h"
#include "common/serial_device.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "store/settings_keys.h"
#include "tests/capture/capture_test_support.h"
#include "tests/checkout/pages/main_window_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/recording_outputs.h"
#include "tests/support/temp_dir.h"
#include "ui/message_box.h"

using namespace tendrix;
using namespace tendrix::checkout;
using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::store;
namespace test = tendrix::test;
using ui::CDuiMessageBox;

namespace {

// Reads what arrived on a pty end within `ms`.
std::string ReadPty(SerialDevice& dev, size_t want, int ms = 3000) {
    std::string got;
    QElapsedTimer t;
    t.start();
    while (got.size() < want && t.elapsed() < ms) {
        char buf[64];
        const long n = dev.Read(buf, sizeof buf, std::chrono::milliseconds(50));
        if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

class MainDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        config_.SetProgramDir(root_ / "bin/");
        std::filesystem::create_directories(root_ / "bin/UIskin");
        std::filesystem::create_directories(root_ / "data");
        config_.soft_name = "Tendrix 收银助手";
        config_.LoadCodeTables();
        config_.LoadSettings();
    }

    // `devices`: the capture devices and the real face-pay port instead of the recording one.
    std::unique_ptr<CMainDlg> Make(bool login = true, bool devices = false) {
        CMainDlg::Options o;
        o.login = [this, login](CMainDlg&) {
            if (login) config_.cashier_name = "demo";
            return login;
        };
        o.desktop = &desktop_;
        outputs_.Inject(o);
        if (devices) o.face_pay = nullptr;
        o.start_devices = devices;
        o.launcher = [this](const std::string& what) {
            launched_.push_back(what);
            return true;
        };
        auto dlg = std::make_unique<CMainDlg>(&config_, o);
        dlg->Initialise();
        return dlg;
    }

    test::TempDir root_;
    AppConfig config_;
    RecordingDesktop desktop_;
    test::RecordingOutputs outputs_;
    const std::vector<std::string>& printed_ = outputs_.receipts.printed;
    const std::vector<std::string>& voices_ = outputs_.voice.played;
    std::vector<std::string> launched_;
};
using ShellWindows = MainDlgTest;

// Fires timer `id` of `control` as the window's timer would.
void Tick(ui::Window& w, QWidget* control, int id) {
    ui::Notification n;
    n.type = QString::fromLatin1(ui::kTimer);
    n.sender = control;
    n.timer_id = id;
    w.Hub().Send(n);
}

}  // namespace

// 返回, 二维码支付返回 and 上一步返回 are clicked in the page tests (tests/checkout/pages).
TEST(MainLogic, ReturnButtonTextsLeadToTheirTabs) {
    EXPECT_EQ(TabForReturnText("预授权返回"), 1);
    for (const char* text : {"", "返回 ", "撤销/退款"})
        EXPECT_EQ(TabForReturnText(text), std::nullopt) << text;
}

TEST(MainLogic, PaidAmountOfAReceipt) {
    EXPECT_EQ(PaidAmountFromReceipt("订单号：123\r\n订单金额：40.00元\r\n实际金额：36.50元\r\n"),
              "36.50");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额: 7元"), "7");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额：1234.5.6abc"), "1234.5.6");
    // No label, or the label without an amount on its line.
    for (const char* text : {"订单金额：40.00元", "实际金额：\r\n订单金额：40.00元", "实际金额"})
        EXPECT_EQ(PaidAmountFromReceipt(text), "") << text;
    // At most 49 characters, whatever the receipt holds.
    EXPECT_EQ(PaidAmountFromReceipt("实际金额：" + std::string(80, '9')).size(), 49u);
}

TEST(MainLogic, PaymentVoicesNameEveryCharacterOfTheAmount) {
    EXPECT_EQ(PaymentSuccessVoices("36.50"),
              (std::vector<std::string>{"qrpaysuccess.mp3", "3.mp3", "6.mp3", "..mp3", "5.mp3",
                                        "0.mp3"}));
    EXPECT_EQ(PaymentSuccessVoices(""), std::vector<std::string>{"qrpaysuccess.mp3"});
    // Nothing but digits and the point becomes a file name.
    EXPECT_EQ(PaymentSuccessVoices("1/../x"),
              (std::vector<std::string>{"qrpaysuccess.mp3", "1.mp3", "..mp3", "..mp3"}));
}

// A valid rectangle's centre is clicked in MainDlgTest.GiveFocusBack*.
TEST(MainLogic, RectangleSettingsThatAreNoScreenPoint) {
    for (const char* text : {"FALSE", "无", "top:0, left:0, right:0, bottom:0", "top:1, left:2"})
        EXPECT_FALSE(RectSettingCentre(text)) << text;
}

TEST(MainLogic, NumbersAndKeysFromSettings) {
    EXPECT_EQ(IntSetting("30"), 30);
    EXPECT_EQ(IntSetting("", 255), 255);
    EXPECT_EQ(IntSetting("abc", 7), 7);
    EXPECT_EQ(IntSetting("99999999999999999999"), 1000000000);
    EXPECT_EQ(MainKeyFromSetting("F12"), 123);
    EXPECT_EQ(MainKeyFromSetting("q"), 'Q');
    EXPECT_EQ(MainKeyFromSetting("Tab"), 0);
    EXPECT_EQ(MainKeyFromSetting("Tab", true), 9);
    for (const char* text : {"无", "alt + x", "F0", "F99"})
        EXPECT_EQ(MainKeyFromSetting(text), 0) << text;
}

TEST_F(MainDlgTest, LoginShowsTheWindowWithItsTitleAndNoAutomaticTimers) {
    auto dlg = Make();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tendrix 收银助手"));
    EXPECT_EQ(dlg->WindowClass(), QStringLiteral("DUIMainFram"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->IsHiddenFlag());
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((dlg->geometry().center() - centre).manhattanLength(), 2);
    // A long title suffix does not widen the window.
    const int width = dlg->width();
    dlg->FindControl<QLabel>(QStringLiteral("lab_titles"))->setText(QString(200, QChar(u'长')));
    QApplication::processEvents();
    EXPECT_EQ(dlg->width(), width);
    // sysPrintKeytime 0 and sysIsAutoHideWhenLand FALSE: timers 17 and 37 do not run.
    EXPECT_EQ(dlg->Hub().TimerInterval(dlg->FindControl<QWidget>(QStringLiteral("OptionUI2")),
                                       CMainDlg::kAfterPaymentTimer),
              -1);
    EXPECT_EQ(dlg->Hub().TimerInterval(dlg->FindControl<QWidget>(QStringLiteral("lab_titles")),
                                       CMainDlg::kAutoHideTimer),
              -1);
    EXPECT_TRUE(dlg->FloatWindow()->isVisible());
}

TEST_F(MainDlgTest, AutoHideAfterLoginRunsOnceOnTimer37) {
    config_.settings.Set(keys::sysIsAutoHideWhenLand, "TRUE");
    auto dlg = Make();
    auto* titles = dlg->FindControl<QWidget>(QStringLiteral("lab_titles"));
    EXPECT_EQ(dlg->Hub().TimerInterval(titles, CMainDlg::kAutoHideTimer), 1000);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(test::SpinUntil([&] { return dlg->IsHiddenFlag(); }, 5000));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Hub().HasTimer(titles, CMainDlg::kAutoHideTimer));
    // Shown again by the cashier, it stays up.
    dlg->ToggleShowHide();
    test::Wait(1300);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainDlgTest, MainWindowKeysMoveBetweenVisibleOptions) {
    config_.settings.Set(keys::sysRefundOrCancelHotKey, "F5");
    auto dlg = Make();
    // "Tab" (sysSetOptionHotKey) skips the hidden options 2..4; F9 has no function.
    const std::pair<int, int> steps[] = {
        {Qt::Key_Tab, 4}, {Qt::Key_Tab, 5}, {Qt::Key_Tab, 0}, {Qt::Key_F5, 4}, {Qt::Key_F9, 4}};
    for (const auto& [key, tab] : steps) {
        QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &e);
        QApplication::processEvents();
        EXPECT_EQ(dlg->CurrentTab(), tab) << key;
    }
}

TEST_F(MainDlgTest, TrayLeftClickWithNobodyLoggedInHidesAndAsksForALogin) {
    auto dlg = Make(/*login=*/false);
    EXPECT_FALSE(dlg->isVisible());
    dlg->show();
    test::BoxAnswerer boxes;
    emit dlg->Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("请用户登录账户！")});
    EXPECT_FALSE(dlg->isVisible());
    // The float's click is the same left click.
    dlg->FloatWindow()->FindControl<QAbstractButton>(QStringLiteral("btn_openmain"))->click();
    EXPECT_EQ(boxes.texts, std::vector<QString>(2, QStringLiteral("请用户登录账户！")));
    // Menu items that need a login are ignored; the others act.
    dlg->TrayMenuCommand(QStringLiteral("设置"));
    dlg->TrayMenuCommand(QStringLiteral("窗口截取"));
    EXPECT_EQ(dlg->PendingTrayAction(), 0);
    dlg->TrayMenuCommand(QStringLiteral("焦点截屏"));
    EXPECT_EQ(dlg->PendingTrayAction(), 5);
}

TEST_F(MainDlgTest, TrayMenuActionsRunOnTheNextTick) {
    config_.cmp_net = "www.tendrix.example";
    config_.check_net = "admin.tendrix.example";
    auto dlg = Make();
    dlg->TrayMenuCommand(QStringLiteral("设置"));
    EXPECT_EQ(dlg->PendingTrayAction(), 1);
    EXPECT_TRUE(test::SpinUntil([&] { return dlg->PendingTrayAction() == 0; }));
    dlg->TrayMenuCommand(QStringLiteral("窗口截取"));
    EXPECT_TRUE(test::SpinUntil([&] { return dlg->PendingTrayAction() == 0; }));
    for (const char* item : {"关于我们", "后台查询", "调用软键盘", "不存在"})
        dlg->TrayMenuCommand(QString::fromUtf8(item));
    EXPECT_EQ(launched_,
              (std::vector<std::string>{"settings", "window-capture", "http://www.tendrix.example",
                                        "http://admin.tendrix.example", "softkeyboard"}));
    // Quit saves the float's position.
    dlg->FloatWindow()->move(33, 44);
    dlg->TrayMenuCommand(QStringLiteral("退出"));
    int x = 0, y = 0;
    config_.LoadFloatPosition(x, y);
    EXPECT_EQ(x, 33);
    EXPECT_EQ(y, 44);
}

// The toggle itself: the face-pay and captured-amount cases below, and the hide ways in
// tests/e2e (test_sale_loop.py hide_ways).
TEST_F(MainDlgTest, HidingClosesAnOpenMessageBox) {
    auto dlg = Make();
    // Closed as with Escape: result 0.
    test::Later([&] {
        test::SpinUntil([] { return CDuiMessageBox::IsOpen(); });
        dlg->SendCommand(CheckoutCommand::ToggleShowHide, {});
    });
    const int result =
        CDuiMessageBox::Show(dlg.get(), QStringLiteral("确认？"), {}, CDuiMessageBox::kYesNo);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(dlg->IsHiddenFlag());
    EXPECT_FALSE(CDuiMessageBox::IsOpen());
}

TEST_F(MainDlgTest, OptionsFollowTheSettingsAndRefuseFeaturesThatAreOff) {
    auto dlg = Make();
    auto opt = [&](int i) {
        return dlg->FindControl<QAbstractButton>(QStringLiteral("OptionUI%1").arg(i));
    };
    for (int i : {2, 3, 4}) EXPECT_TRUE(opt(i)->isHidden()) << i;
    opt(5)->click();
    EXPECT_EQ(dlg->CurrentTab(), 4);
    test::BoxAnswerer boxes;
    opt(3)->click();
    opt(4)->click();
    EXPECT_EQ(boxes.texts, (std::vector<QString>{QStringLiteral("单品核销功能尚未开通！"),
                                                 QStringLiteral("刷脸支付功能尚未开通！")}));
    EXPECT_EQ(dlg->CurrentTab(), 4);  // stays where it was
    EXPECT_TRUE(opt(5)->isChecked());

    // Command 4 "OpenAllSet" applies changed settings again.
    config_.settings.Set(keys::sysIsOpenProAliPay, "TRUE");
    config_.settings.Set(keys::sysIsOpenFacePay, "TRUE");
    config_.settings.Set(keys::sysPrintKeytime, "200");
    dlg->SendCommand(CheckoutCommand::PortControl, "OpenAllSet");
    EXPECT_FALSE(opt(2)->isHidden());
    EXPECT_TRUE(opt(3)->isHidden());
    EXPECT_FALSE(opt(4)->isHidden());
    EXPECT_EQ(dlg->Hub().TimerInterval(opt(2), CMainDlg::kAfterPaymentTimer), 200);
    opt(4)->click();
    EXPECT_EQ(dlg->CurrentTab(), 3);
}

TEST_F(MainDlgTest, PaymentSuccessShowsThePopupPrintsAndStartsTheAfterPaymentRun) {
    config_.settings.Set(keys::sysAutoPrintBill, "TRUE");
    config_.settings.Set(keys::sysIsOpenVoicePrompt, "TRUE");
    config_.settings.Set("sysIsOpenPaySuccessClose", "3");
    config_.settings.Set(keys::sysIsPaySuccessHotKeyNext1, "KeyBody13");
    config_.settings.Set(keys::sysPrintMoneyProgram, "第一步快捷键之前");
    auto dlg = Make();
    const std::string receipt = Utf8ToGbk("订单号：42\r\n实际金额：36.50元\r\n");
    dlg->SendCommand(CheckoutCommand::PaymentSuccess, receipt);
    EXPECT_EQ(printed_, std::vector<std::string>{receipt});  // GBK bytes go on unchanged
    EXPECT_TRUE(dlg->Popup()->isVisible());
    EXPECT_EQ(dlg->Popup()->ResultText(), QStringLiteral("支付成功！"));
    EXPECT_EQ(dlg->Popup()->MoneyText(), QStringLiteral("支付金额：36.50"));
    ASSERT_GE(voices_.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(voices_.end() - 6, voices_.end()),
              checkout::PaymentSuccessVoices("36.50"));
    EXPECT_EQ(dlg->AfterPaymentList(), (std::deque<std::string>{"printmoney:36.50", "KeyBody13"}));

    // Without automatic printing nothing is printed.
    config_.settings.Set(keys::sysAutoPrintBill, "FALSE");
    dlg->SendCommand(CheckoutCommand::PaymentSuccess, receipt);
    EXPECT_EQ(printed_.size(), 1u);
    // Command 13 alone queues a run; its amount ends at the first NUL.
    const size_t queued = dlg->AfterPaymentList().size();
    dlg->SendCommand(CheckoutCommand::AfterPayment, std::string("12.00\0junk", 10));
    const std::deque<std::string> run = dlg->AfterPaymentList();
    ASSERT_EQ(run.size(), queued + 2);
    EXPECT_EQ(run[queued], "printmoney:12.00");
    EXPECT_EQ(run[queued + 1], "KeyBody13");
}

TEST_F(MainDlgTest, ReprintFromThePayPagePrintsWithoutReplayingThePayment) {
    config_.settings.Set("sysIsOpenPaySuccessClose", "3");
    config_.settings.Set(keys::sysIsPaySuccessHotKeyNext1, "KeyBody13");
    auto dlg = Make();
    auto* pay = dynamic_cast<checkout::CPayDlg*>(dlg->PayPage());
    ASSERT_NE(pay, nullptr);
    pay->ShowLastReceipt(QStringLiteral("订单号：42\r\n实际金额：36.50元\r\n"));
    auto* receipt = pay->findChild<QAbstractButton*>(QStringLiteral("Contain_print_msg"));
    ASSERT_NE(receipt, nullptr);
    receipt->click();                // the page marks the control and sends command 1
    EXPECT_EQ(printed_.size(), 1u);  // printed although sysAutoPrintBill is FALSE
    EXPECT_FALSE(dlg->Popup()->isVisible());
    EXPECT_TRUE(dlg->AfterPaymentList().empty());
    EXPECT_FALSE(pay->PrintBillMarked());
    // The next real payment follows sysAutoPrintBill again.
    dlg->SendCommand(CheckoutCommand::PaymentSuccess, Utf8ToGbk("实际金额：1.00元"));
    EXPECT_EQ(printed_.size(), 1u);
    EXPECT_TRUE(dlg->Popup()->isVisible());
}

TEST_F(MainDlgTest, CommandsOfTheTableSentOrPostedFromWorkers) {
    config_.settings.Set(keys::sysIsOpenVoicePrompt, "TRUE");
    auto dlg = Make();
    dlg->SendCommand(CheckoutCommand::FloatOpacity, "128");
    EXPECT_EQ(dlg->FloatWindow()->opacity(), 128);
    dlg->SendCommand(CheckoutCommand::Print, "receipt");
    EXPECT_EQ(printed_, std::vector<std::string>{"receipt"});
    // 8: message box titled "提示" with the GBK text.
    {
        test::BoxAnswerer boxes;
        dlg->SendCommand(CheckoutCommand::ShowMessage, Utf8ToGbk("打印机缺纸"));
        EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("打印机缺纸")});
    }
    // 9: the names in the message buffer go to the player; the buffer is emptied.
    config_.message_buffer = std::string("a.mp3\0b.mp3\0", 12);
    const size_t before = voices_.size();
    dlg->SendCommand(CheckoutCommand::Voice, {});
    EXPECT_TRUE(config_.message_buffer.empty());
    ASSERT_EQ(voices_.size(), before + 2);
    EXPECT_EQ(voices_.back(), "b.mp3");
    // Prompts switched off ("OpenAllSet"): names are dropped, the buffer still emptied.
    config_.settings.Set(keys::sysIsOpenVoicePrompt, "FALSE");
    dlg->SendCommand(CheckoutCommand::PortControl, "OpenAllSet");
    EXPECT_FALSE(outputs_.voice.on);
    config_.message_buffer = std::string("c.mp3\0", 6);
    dlg->SendCommand(CheckoutCommand::Voice, {});
    EXPECT_TRUE(config_.message_buffer.empty());
    EXPECT_EQ(voices_.size(), before + 2);
    dlg->SendCommand(CheckoutCommand::PopupText, "退款中");
    EXPECT_EQ(dlg->Popup()->ResultText(), QStringLiteral("退款中"));
    // 3 and 4 without devices, 5 and 6 with empty payloads: ignored, no crash.
    dlg->SendCommand(CheckoutCommand::DisplayData, "\x1bQA12.00\r");
    dlg->SendCommand(CheckoutCommand::PortControl, "CloseGetMoney");
    dlg->SendCommand(CheckoutCommand::ScannerChar, {});
    dlg->SendCommand(CheckoutCommand::ScannerData, {});
    dlg->SendCommand(static_cast<CheckoutCommand>(99), "x");

    // Posted from worker threads, commands run on the window thread.
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&dlg, t] {
            for (int i = 0; i < 50; ++i)
                dlg->PostCommand(CheckoutCommand::FloatAmount,
                                 std::to_string(t) + "." + std::to_string(i));
        });
    for (auto& w : workers) w.join();
    dlg->PostCommand(CheckoutCommand::FloatAmount, "88.88");
    EXPECT_TRUE(
        test::SpinUntil([&] { return dlg->FloatWindow()->Amount() == QStringLiteral("88.88"); }));
}

TEST_F(MainDlgTest, GiveFocusBackActivatesTheWindowUnderTheCursorOrClicksTheRestorePoint) {
    auto dlg = Make();
    auto give_back = [&] {
        desktop_.ClearLog();
        dlg->SendCommand(CheckoutCommand::GiveFocusBack, {});
        return desktop_.Log();
    };
    desktop_.AddWindow(501, {0, 0, 400, 300}, "POS");
    desktop_.SetCursor({10, 10});
    EXPECT_EQ(give_back(), std::vector<std::string>{"foreground 501"});
    // Over none of the windows: a click where the cursor is.
    desktop_.SetCursor({900, 900});
    EXPECT_EQ(give_back(), (std::vector<std::string>{"down L", "up L"}));

    // With a restore point set, its centre is clicked.
    config_.settings.Set(keys::sysReductionFoucus, "top:100, left:200, right:300, bottom:140");
    EXPECT_EQ(give_back(), (std::vector<std::string>{"move 250,120", "down L", "up L"}));
    // While the popup is up, timer 45 retries every 50 ms.
    dlg->Popup()->ShowResult(QStringLiteral("支付成功！"), QStringLiteral("1"));
    EXPECT_TRUE(give_back().empty());
    auto* opt3 = dlg->FindControl<QWidget>(QStringLiteral("OptionUI3"));
    EXPECT_EQ(dlg->Hub().TimerInterval(opt3, CMainDlg::kFocusRetryTimer), 50);
    dlg->Popup()->hide();
    EXPECT_TRUE(test::SpinUntil([&] { return desktop_.Log().size() == 3; }));
}

// Display data on a real port reaching the pay page: tests/e2e (test_sale_loop.py display_sale);
// "CloseGetMoney" closing that port: tests/capture (SerialTest).
TEST_F(MainDlgTest, FacePayPortGetsShowAndHideWithTheAmount) {
    if (!test::SocatPair::Available()) GTEST_SKIP() << "socat is not installed";
    test::SocatPair face(root_.path(), "face");
    ASSERT_TRUE(face.Ready());
    std::ofstream(config_.data_dir + "ports.ini") << "COM7=" << face.a() << "\n";
    config_.settings.Set(keys::sysIsDragonflyControl, "TRUE");
    config_.settings.Set(keys::sysDragonflyControlComId, "COM7");

    SerialDevice face_device;
    ASSERT_TRUE(face_device.Open(face.b(), 9600));
    auto dlg = Make(/*login=*/true, /*devices=*/true);
    ASSERT_NE(dlg->PayPage(), nullptr);

    // Greeting at open, then hide (11 bytes) and show (10 bytes) with an amount on the pay page.
    const std::string greeting(reinterpret_cast<const char*>(capture::kFacePayGreeting), 10);
    EXPECT_EQ(ReadPty(face_device, 10), greeting);
    dlg->ToggleShowHide();
    const std::string hide("\x02\x00\x06\x08\xa3\x00\x00\x01\x15\x03\xba", 11);
    const std::string show("\x02\x00\x06\x00\xa3\x00\x00\x01\x17\x03", 10);
    EXPECT_EQ(ReadPty(face_device, 11), hide);
    dlg->PayPage()->SetAmount(QStringLiteral("12.50"));
    dlg->ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 10), show);
    EXPECT_TRUE(dlg->PayPage()->AmountShown());
    // "0.0" is no amount: hiding and showing again sends only the hide command.
    dlg->ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 11), hide);
    dlg->PayPage()->SetAmount(QStringLiteral("0.0"));
    dlg->ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 1, 300), "");
}

// Captured amounts reach the pay page's amount field; showing the window puts the focus on
// the field the next action needs.
TEST_F(MainDlgTest, CapturedAmountFillsThePayPageUnlessTheCashierIsTyping) {
    auto dlg = Make();
    ASSERT_NE(dlg->PayPage(), nullptr);
    auto* money = dlg->FindControl<QLineEdit>(QStringLiteral("moneyinput"));
    auto* code = dlg->FindControl<QLineEdit>(QStringLiteral("barcodeinput"));
    ASSERT_TRUE(money && code);
    dlg->activateWindow();
    EXPECT_TRUE(test::SpinUntil([&] { return money->hasFocus(); }));  // no amount yet

    // A display amount while the field has the focus but holds nothing typed: taken, and the
    // focus moves on to the code field.
    dlg->TakeCapturedAmount("36.50", false);
    EXPECT_EQ(money->text(), QStringLiteral("36.50"));
    EXPECT_EQ(dlg->FloatWindow()->Amount(), QStringLiteral("36.50"));
    EXPECT_TRUE(code->hasFocus());

    // The cashier types another amount: a new display amount stays on the float.
    money->setFocus();
    money->setText(QStringLiteral("30"));
    dlg->TakeCapturedAmount("40.00", false);
    EXPECT_EQ(money->text(), QStringLiteral("30"));
    EXPECT_EQ(dlg->FloatWindow()->Amount(), QStringLiteral("40.00"));

    // Screen readings: only while hidden, only when changed, only amounts that can be paid.
    dlg->SendCommand(CheckoutCommand::FloatAmount, "41.00");  // shown: float only
    EXPECT_EQ(money->text(), QStringLiteral("30"));
    dlg->ToggleShowHide();
    dlg->SendCommand(CheckoutCommand::FloatAmount, "41.00");  // unchanged reading
    EXPECT_EQ(money->text(), QStringLiteral("30"));
    dlg->SendCommand(CheckoutCommand::FloatAmount, "12.345");
    EXPECT_EQ(money->text(), QStringLiteral("30"));
    dlg->SendCommand(CheckoutCommand::FloatAmount, "27.40");
    EXPECT_EQ(money->text(), QStringLiteral("27.40"));
    dlg->ToggleShowHide();  // (the focus on showing is checked on a real display, tests/e2e)

    // The POS shows no sale: an untouched captured amount goes.
    dlg->TakeCapturedAmount("0.00", false);
    EXPECT_TRUE(money->text().isEmpty());
}

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

    // Timer 84 (started by windowinit) reasserts the float every ten seconds unless its
    // opacity is zero.
    auto* btn = f.FindControl<QPushButton>(QStringLiteral("btn_openmain"));
    f.show();
    EXPECT_EQ(f.Hub().TimerInterval(btn, CFloatDlg::kReassertTimer), 10000);
    auto tick = [&] {
        desktop_.ClearLog();
        Tick(f, btn, CFloatDlg::kReassertTimer);
        return desktop_.Log();
    };
    f.ApplyOpacity(0);
    EXPECT_TRUE(tick().empty());

    // Otherwise the window behind the float's top-left corner gets the activation back.
    f.ApplyOpacity(255);
    const QPoint p = f.pos();
    desktop_.AddWindow(77, {p.x() - 50, p.y() - 50, p.x() + 5, p.y() + 5}, "POS");
    EXPECT_EQ(tick(), std::vector<std::string>{"foreground 77"});
    // With the main window visible, it is activated instead.
    main_visible = true;
    EXPECT_TRUE(tick().empty());
    // A menu of the float over its centre is left alone.
    main_visible = false;
    const QPoint c = f.frameGeometry().center();
    desktop_.AddWindow(78, {c.x() - 5, c.y() - 5, c.x() + 5, c.y() + 5}, "MenuUIFloat");
    EXPECT_TRUE(tick().empty());
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
    auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i) Tick(pop, &pop, CPayPopupDlg::kDisplayTimer);
    };
    pop.ShowResult(QStringLiteral("支付成功！"), QStringLiteral("9.90"));
    EXPECT_EQ(pop.Hub().TimerInterval(&pop, CPayPopupDlg::kDisplayTimer), 1000);
    ticks(3);
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paysuccelab.png"));
    EXPECT_TRUE(pop.isVisible());
    ticks(1);
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paynulllab.png"));
    EXPECT_TRUE(pop.isVisible());
    ticks(1);
    EXPECT_FALSE(pop.isVisible());
    EXPECT_FALSE(pop.Hub().HasTimer(&pop, CPayPopupDlg::kDisplayTimer));
    EXPECT_EQ(CPayPopupDlg::TickCounter(), 0);

    // A second result while shown starts the display time again.
    pop.ShowResult(QStringLiteral("支付成功！"), QStringLiteral("1"));
    ticks(2);
    pop.ShowResult(QStringLiteral("退款成功！"), QStringLiteral("1"));
    ticks(4);
    EXPECT_TRUE(pop.isVisible());

    // The close button hides at once with the blank picture.
    pop.FindControl<QPushButton>(QStringLiteral("btn_close"))->click();
    EXPECT_FALSE(pop.isVisible());
    EXPECT_EQ(pop.Picture(), QStringLiteral("image/paynulllab.png"));
}
