// The main window driven offscreen with the real pages, a recording desktop and no devices.
#include "checkout/main_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <algorithm>
#include <filesystem>
#include <thread>

#include "checkout/float_dlg.h"
#include "checkout/main_logic.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pay_popup_dlg.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "store/settings_keys.h"
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

CDuiMessageBox* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<CDuiMessageBox*>(w); b && b->isVisible()) return b;
    return nullptr;
}

// Arranges for the next message box to be read and closed; returns where its text goes.
std::shared_ptr<QString> CatchNextBox() {
    auto text = std::make_shared<QString>();
    test::Later([text] {
        test::SpinUntil([] { return OpenBox() != nullptr; });
        if (CDuiMessageBox* b = OpenBox()) {
            *text = b->findChild<QLabel*>(QStringLiteral("msg_text"))->text();
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(b, &esc);
        }
    });
    return text;
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

    std::unique_ptr<CMainDlg> Make(bool login = true) {
        CMainDlg::Options o;
        o.login = [this, login](CMainDlg&) {
            if (login) config_.cashier_name = "demo";
            return login;
        };
        o.desktop = &desktop_;
        outputs_.Inject(o);
        o.start_devices = false;
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

}  // namespace

TEST_F(MainDlgTest, LoginShowsTheWindowWithItsTitleAndTimers) {
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
    auto* opt1 = dlg->FindControl<QWidget>(QStringLiteral("OptionUI1"));
    EXPECT_EQ(dlg->Hub().TimerInterval(opt1, CMainDlg::kTrayActionTimer), 30);
    // sysPrintKeytime 0 and sysIsAutoHideWhenLand FALSE: timers 17 and 37 do not run.
    EXPECT_EQ(dlg->Hub().TimerInterval(dlg->FindControl<QWidget>(QStringLiteral("OptionUI2")),
                                       CMainDlg::kAfterPaymentTimer),
              -1);
    EXPECT_EQ(dlg->Hub().TimerInterval(dlg->FindControl<QWidget>(QStringLiteral("lab_titles")),
                                       CMainDlg::kAutoHideTimer),
              -1);
    EXPECT_TRUE(dlg->FloatWindow()->isVisible());
    EXPECT_FALSE(dlg->Popup()->isVisible());
    EXPECT_NE(dlg->Tray(), nullptr);
    // Every page name has a tab, in the fixed order, whatever pages are built.
    auto* sw = dlg->FindControl<QStackedWidget>(QStringLiteral("switch"));
    ASSERT_EQ(sw->count(), 7);
    EXPECT_EQ(sw->widget(0)->objectName(), QStringLiteral("PayDlg"));
    EXPECT_EQ(sw->widget(4)->objectName(), QStringLiteral("RefundOrCloseDlg"));
    EXPECT_EQ(sw->widget(6)->objectName(), QStringLiteral("PayResultDlg"));
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
    test::SpinUntil([] { return false; }, 1300);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainDlgTest, MainWindowKeysMoveBetweenVisibleOptions) {
    config_.settings.Set(keys::sysRefundOrCancelHotKey, "F5");
    auto dlg = Make();
    auto release = [&](int key) {
        QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &e);
        QApplication::processEvents();
    };
    // "Tab" (sysSetOptionHotKey) skips the hidden options 2..4.
    release(Qt::Key_Tab);
    EXPECT_EQ(dlg->CurrentTab(), 4);
    release(Qt::Key_Tab);
    EXPECT_EQ(dlg->CurrentTab(), 5);
    release(Qt::Key_Tab);
    EXPECT_EQ(dlg->CurrentTab(), 0);
    release(Qt::Key_F5);
    EXPECT_EQ(dlg->CurrentTab(), 4);
    release(Qt::Key_F9);  // no function: nothing changes
    EXPECT_EQ(dlg->CurrentTab(), 4);
}

TEST_F(MainDlgTest, TrayLeftClickWithNobodyLoggedInHidesAndAsksForALogin) {
    auto dlg = Make(/*login=*/false);
    EXPECT_FALSE(dlg->isVisible());
    dlg->show();
    auto text = CatchNextBox();
    emit dlg->Tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(*text, QStringLiteral("请用户登录账户！"));
    EXPECT_FALSE(dlg->isVisible());
    // The float's click is the same left click.
    text = CatchNextBox();
    dlg->FloatWindow()->FindControl<QAbstractButton>(QStringLiteral("btn_openmain"))->click();
    EXPECT_EQ(*text, QStringLiteral("请用户登录账户！"));
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
    QStringList items;
    for (QAction* a : dlg->TrayMenu()->actions()) items << a->text();
    EXPECT_EQ(items, QStringList({"设置", "窗口截取", "焦点截屏", "关于我们", "后台查询",
                                  "调用软键盘", "退出", "重启系统"}));
    dlg->TrayMenuCommand(QStringLiteral("设置"));
    EXPECT_EQ(dlg->PendingTrayAction(), 1);
    EXPECT_TRUE(test::SpinUntil([&] { return dlg->PendingTrayAction() == 0; }));
    dlg->TrayMenuCommand(QStringLiteral("窗口截取"));
    EXPECT_TRUE(test::SpinUntil([&] { return dlg->PendingTrayAction() == 0; }));
    dlg->TrayMenuCommand(QStringLiteral("关于我们"));
    dlg->TrayMenuCommand(QStringLiteral("后台查询"));
    dlg->TrayMenuCommand(QStringLiteral("调用软键盘"));
    dlg->TrayMenuCommand(QStringLiteral("不存在"));
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

TEST_F(MainDlgTest, ShowHideToggleFlipsTheFlagAndClosesMessageBoxes) {
    auto dlg = Make();
    dlg->SendCommand(CheckoutCommand::ToggleShowHide, {});
    EXPECT_TRUE(dlg->IsHiddenFlag());
    EXPECT_FALSE(dlg->isVisible());
    dlg->SendCommand(CheckoutCommand::ToggleShowHide, {});
    EXPECT_FALSE(dlg->IsHiddenFlag());
    EXPECT_TRUE(dlg->isVisible());

    // Hiding while a message box is open closes it with Escape (result 0).
    int result = -1;
    test::Later([&] {
        test::SpinUntil([] { return OpenBox() != nullptr; });
        dlg->ToggleShowHide();
    });
    result = CDuiMessageBox::Show(dlg.get(), QStringLiteral("确认？"), {}, CDuiMessageBox::kYesNo);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(dlg->IsHiddenFlag());
    EXPECT_FALSE(CDuiMessageBox::IsOpen());
}

TEST_F(MainDlgTest, ReturnButtonTextsSwitchPages) {
    auto dlg = Make();
    PayResultPageView* result = dlg->ResultPage();
    if (!result) GTEST_SKIP() << "the result page is not built";
    auto* sw = dlg->FindControl<QStackedWidget>(QStringLiteral("switch"));
    auto* ret = sw->widget(6)->findChild<QAbstractButton*>(QStringLiteral("btn_return"));
    ASSERT_NE(ret, nullptr);
    const std::pair<const char*, int> cases[] = {
        {"预授权返回", 1}, {"上一步返回", 4}, {"返回", 0}, {"二维码支付返回", 0}};
    for (const auto& [text, tab] : cases) {
        dlg->SelectTab(6);
        result->SetReturnText(QString::fromUtf8(text));
        ret->click();
        EXPECT_EQ(dlg->CurrentTab(), tab) << text;
    }
    // Any other text leaves the page where it is.
    dlg->SelectTab(6);
    result->SetReturnText(QStringLiteral("撤销/退款"));
    ret->click();
    EXPECT_EQ(dlg->CurrentTab(), 6);
}

TEST_F(MainDlgTest, OptionsFollowTheSettingsAndRefuseFeaturesThatAreOff) {
    auto dlg = Make();
    auto opt = [&](int i) {
        return dlg->FindControl<QAbstractButton>(QStringLiteral("OptionUI%1").arg(i));
    };
    EXPECT_TRUE(opt(2)->isHidden());
    EXPECT_TRUE(opt(3)->isHidden());
    EXPECT_TRUE(opt(4)->isHidden());
    opt(5)->click();
    EXPECT_EQ(dlg->CurrentTab(), 4);
    auto text = CatchNextBox();
    opt(3)->click();
    EXPECT_EQ(*text, QStringLiteral("单品核销功能尚未开通！"));
    EXPECT_EQ(dlg->CurrentTab(), 4);  // stays where it was
    text = CatchNextBox();
    opt(4)->click();
    EXPECT_EQ(*text, QStringLiteral("刷脸支付功能尚未开通！"));
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
    const std::vector<std::string> voices(voices_.end() - 6, voices_.end());
    EXPECT_EQ(voices, (std::vector<std::string>{"qrpaysuccess.mp3", "3.mp3", "6.mp3", "..mp3",
                                                "5.mp3", "0.mp3"}));
    EXPECT_EQ(dlg->AfterPaymentList(), (std::deque<std::string>{"printmoney:36.50", "KeyBody13"}));

    // Without automatic printing nothing is printed.
    config_.settings.Set(keys::sysAutoPrintBill, "FALSE");
    dlg->SendCommand(CheckoutCommand::PaymentSuccess, receipt);
    EXPECT_EQ(printed_.size(), 1u);
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

TEST_F(MainDlgTest, CommandsOfTheTable) {
    config_.settings.Set(keys::sysIsOpenVoicePrompt, "TRUE");
    auto dlg = Make();
    // 2: opacity and place of the float.
    dlg->SendCommand(CheckoutCommand::FloatOpacity, "128");
    EXPECT_EQ(dlg->FloatWindow()->opacity(), 128);
    // 7: print job.
    dlg->SendCommand(CheckoutCommand::Print, "receipt");
    EXPECT_EQ(printed_, std::vector<std::string>{"receipt"});
    // 8: message box titled "提示" with the GBK text.
    auto text = CatchNextBox();
    dlg->SendCommand(CheckoutCommand::ShowMessage, Utf8ToGbk("打印机缺纸"));
    EXPECT_EQ(*text, QStringLiteral("打印机缺纸"));
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
    // 12: amount on the float.
    dlg->SendCommand(CheckoutCommand::FloatAmount, "36.00");
    EXPECT_EQ(dlg->FloatWindow()->Amount(), QStringLiteral("36.00"));
    // 14: keypad window id, handed to the pay page.
    dlg->SendCommand(CheckoutCommand::KeypadWindow, "12345");
    EXPECT_EQ(dlg->KeypadWindow(), "12345");
    // 15: UTF-8 text on the popup.
    dlg->SendCommand(CheckoutCommand::PopupText, "退款中");
    EXPECT_EQ(dlg->Popup()->ResultText(), QStringLiteral("退款中"));
    // 3 and 4 without devices, 5 and 6 with empty payloads: ignored, no crash.
    dlg->SendCommand(CheckoutCommand::DisplayData,
                     "\x1b"
                     "Q"
                     "A12.00\r");
    dlg->SendCommand(CheckoutCommand::PortControl, "CloseGetMoney");
    dlg->SendCommand(CheckoutCommand::ScannerChar, {});
    dlg->SendCommand(CheckoutCommand::ScannerData, {});
    dlg->SendCommand(static_cast<CheckoutCommand>(99), "x");
}

TEST_F(MainDlgTest, AfterPaymentRunFromCommand13) {
    config_.settings.Set("sysIsOpenPaySuccessClose", "3");
    config_.settings.Set(keys::sysIsPaySuccessHotKeyNext1, "KeyBody13");
    config_.settings.Set(keys::sysPrintMoneyProgram, "第一步快捷键之前");
    config_.post_payment_keys = {"printmoney:", "KeyBody13"};
    auto dlg = Make();
    dlg->SendCommand(CheckoutCommand::AfterPayment, std::string("36.50\0junk", 10));
    const std::deque<std::string> run = dlg->AfterPaymentList();
    ASSERT_EQ(run.size(), 2u);
    EXPECT_EQ(run[0], "printmoney:36.50");
    EXPECT_EQ(run[1], "KeyBody13");
}

TEST_F(MainDlgTest, GiveFocusBackClicksTheRestorePointOrWaitsForThePopup) {
    config_.settings.Set(keys::sysReductionFoucus, "top:100, left:200, right:300, bottom:140");
    auto dlg = Make();
    desktop_.ClearLog();
    dlg->SendCommand(CheckoutCommand::GiveFocusBack, {});
    EXPECT_EQ(desktop_.Log(), (std::vector<std::string>{"move 250,120", "down L", "up L"}));
    // While the popup is up, timer 45 retries every 50 ms.
    desktop_.ClearLog();
    dlg->Popup()->ShowResult(QStringLiteral("支付成功！"), QStringLiteral("1"));
    dlg->SendCommand(CheckoutCommand::GiveFocusBack, {});
    EXPECT_TRUE(desktop_.Log().empty());
    auto* opt3 = dlg->FindControl<QWidget>(QStringLiteral("OptionUI3"));
    EXPECT_EQ(dlg->Hub().TimerInterval(opt3, CMainDlg::kFocusRetryTimer), 50);
    dlg->Popup()->hide();
    EXPECT_TRUE(test::SpinUntil([&] { return desktop_.Log().size() == 3; }));
}

TEST_F(MainDlgTest, GiveFocusBackWithoutAPointActivatesTheWindowUnderTheCursor) {
    auto dlg = Make();
    desktop_.AddWindow(501, {0, 0, 400, 300}, "POS");
    desktop_.SetCursor({10, 10});
    desktop_.ClearLog();
    dlg->SendCommand(CheckoutCommand::GiveFocusBack, {});
    EXPECT_EQ(desktop_.Log(), std::vector<std::string>{"foreground 501"});
    // Over none of the windows: a click where the cursor is.
    desktop_.SetCursor({900, 900});
    desktop_.ClearLog();
    dlg->SendCommand(CheckoutCommand::GiveFocusBack, {});
    EXPECT_EQ(desktop_.Log(), (std::vector<std::string>{"down L", "up L"}));
}

TEST_F(MainDlgTest, WorkersPostCommandsThatRunOnTheUiThread) {
    auto dlg = Make();
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

#include <QElapsedTimer>
#include <chrono>
#include <fstream>

#include "capture/capture_sources.h"
#include "common/serial_device.h"
#include "tests/capture/capture_test_support.h"

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

}  // namespace

TEST_F(MainDlgTest, FacePayPortGetsShowAndHideAndDisplayDataReachesTheFloat) {
    if (!test::SocatPair::Available()) GTEST_SKIP() << "socat is not installed";
    test::SocatPair face(root_.path(), "face");
    test::SocatPair display(root_.path(), "display");
    ASSERT_TRUE(face.Ready() && display.Ready());
    std::ofstream(config_.data_dir + "ports.ini")
        << "COM7=" << face.a() << "\nCOM8=" << display.a() << "\n";
    config_.settings.Set(keys::sysIsDragonflyControl, "TRUE");
    config_.settings.Set(keys::sysDragonflyControlComId, "COM7");
    config_.settings.Set(keys::sysCaptureComMoney, "TRUE");
    config_.settings.Set(keys::sysVirtualComdRecvId, "COM8->COM9");

    SerialDevice face_device, pos;
    ASSERT_TRUE(face_device.Open(face.b(), 9600));
    ASSERT_TRUE(pos.Open(display.b(), 9600));
    CMainDlg::Options o;
    o.login = [this](CMainDlg&) {
        config_.cashier_name = "demo";
        return true;
    };
    o.desktop = &desktop_;
    o.voice = &outputs_.voice;  // receipts and the face-pay port are the real ones
    o.launcher = [](const std::string&) { return true; };
    CMainDlg dlg(&config_, o);
    dlg.Initialise();
    ASSERT_NE(dlg.PayPage(), nullptr);

    // Greeting at open, then hide (11 bytes) and show (10 bytes) with an amount on the pay page.
    const std::string greeting(reinterpret_cast<const char*>(capture::kFacePayGreeting), 10);
    EXPECT_EQ(ReadPty(face_device, 10), greeting);
    dlg.ToggleShowHide();
    // The device's own bytes.
    const std::string hide("\x02\x00\x06\x08\xa3\x00\x00\x01\x15\x03\xba", 11);
    const std::string show("\x02\x00\x06\x00\xa3\x00\x00\x01\x17\x03", 10);
    EXPECT_EQ(ReadPty(face_device, 11), hide);
    dlg.PayPage()->SetAmount(QStringLiteral("12.50"));
    dlg.ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 10), show);
    EXPECT_TRUE(dlg.PayPage()->AmountShown());
    // "0.0" is no amount: hiding and showing again sends only the hide command.
    dlg.ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 11), hide);
    dlg.PayPage()->SetAmount(QStringLiteral("0.0"));
    dlg.ToggleShowHide();
    EXPECT_EQ(ReadPty(face_device, 1, 300), "");

    // The POS program's display output: the reader posts command 3, the float shows the amount.
    const std::string line = "\x1bQA36.00\r";
    ASSERT_TRUE(pos.Write(line.data(), line.size(), std::chrono::milliseconds(1000)));
    EXPECT_TRUE(
        test::SpinUntil([&] { return dlg.FloatWindow()->Amount() == QStringLiteral("36.00"); }));
    // "CloseGetMoney" closes the listening port; new display data no longer arrives.
    dlg.SendCommand(CheckoutCommand::PortControl, "CloseGetMoney");
    dlg.SendCommand(CheckoutCommand::FloatAmount, "0.00");
    pos.Write("\x1bQA99.00\r", 9, std::chrono::milliseconds(500));
    test::SpinUntil([] { return false; }, 300);
    EXPECT_EQ(dlg.FloatWindow()->Amount(), QStringLiteral("0.00"));
}

#include <QLineEdit>

#include "accounts/login_logic.h"
#include "tests/support/sandbox_process.h"

// A whole sale against the simulated platform: login, amount and code on the pay page, Enter in
// the code field, the paid order on the result page and the popup.
TEST_F(MainDlgTest, BarcodePaymentAgainstTheSandbox) {
    test::SandboxProcess sandbox;
    if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
    config_.api_base = sandbox.base_url();
    config_.settings.Set(keys::sysIsOpenPaySuccessClose, "30");
    config_.settings.Set(keys::sysPrintMoneyProgram, "第一步快捷键之前");
    config_.settings.Set(keys::sysIsPaySuccessHotKeyNext1, "KeyBody13");
    config_.settings.Set(keys::sysIsPaySuccessHotKeyNext2, "无");
    config_.settings.Set(keys::sysPrintMoneyFocusPos, "top:40, left:100, right:200, bottom:80");
    config_.settings.Set(keys::sysPrintKeytime, "50");
    CMainDlg::Options o;
    std::vector<std::string> login_messages;
    o.login = [&](CMainDlg&) {
        accounts::LoginLogic logic(config_);
        logic.LoadPage();
        const accounts::LoginResult r = logic.Login({"demo", "demo", true, false});
        login_messages = r.messages;
        return r.ok;
    };
    o.desktop = &desktop_;
    outputs_.Inject(o);
    o.start_devices = false;
    o.launcher = [](const std::string&) { return true; };
    CMainDlg dlg(&config_, o);
    ASSERT_TRUE(dlg.Initialise()) << (login_messages.empty() ? "" : login_messages.back());
    ASSERT_NE(dlg.PayPage(), nullptr);

    // Too short a code, or no amount: nothing starts.
    dlg.PayPage()->SetAmount(QStringLiteral("12.00"));
    dlg.PayPage()->SetPaymentCode(QStringLiteral("1345678901234"));  // 13 characters
    EXPECT_FALSE(dlg.StartBarcodePayment());
    EXPECT_EQ(dlg.CurrentTab(), 0);

    dlg.PayPage()->SetPaymentCode(QStringLiteral("134567890123456780"));  // ends in 0: paid
    auto* code = dlg.FindControl<QLineEdit>(QStringLiteral("barcodeinput"));
    ASSERT_NE(code, nullptr);
    emit code->returnPressed();
    EXPECT_EQ(dlg.CurrentTab(), 6);
    EXPECT_TRUE(dlg.PayPage()->Amount().isEmpty());
    EXPECT_TRUE(dlg.PayPage()->PaymentCode().isEmpty());
    EXPECT_TRUE(test::SpinUntil([&] { return dlg.Popup()->isVisible(); }, 15000));
    EXPECT_EQ(dlg.Popup()->ResultText(), QStringLiteral("支付成功！"));
    EXPECT_TRUE(dlg.Popup()->MoneyText().contains(QStringLiteral("12")));

    // ✕ while the automatic return is armed: hiding presses the result page's return, which
    // asks for the toggle again. The flag still says hidden, and once the popup has gone the
    // paid amount is typed at the amount point.
    auto* close = dlg.FindControl<QAbstractButton>(QStringLiteral("btn_close"));
    ASSERT_NE(close, nullptr);
    desktop_.ClearLog();
    close->click();
    EXPECT_TRUE(dlg.IsHiddenFlag());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(test::SpinUntil(
        [&] {
            const auto log = desktop_.Log();
            return std::find(log.begin(), log.end(), "key+ 13") != log.end();
        },
        15000));
    const auto log = desktop_.Log();
    const auto click = std::find(log.begin(), log.end(), "move 150,60");
    ASSERT_NE(click, log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), "key+ 13"), 1);  // one run
    EXPECT_TRUE(dlg.AfterPaymentList().empty());
    dlg.ToggleShowHide();
    EXPECT_FALSE(dlg.IsHiddenFlag());
    EXPECT_TRUE(dlg.isVisible());
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
