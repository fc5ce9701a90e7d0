// The checkout pages in the real main window (offscreen), driven like a cashier would, against
// the real sandbox: amounts and codes typed, Enter pressed, buttons clicked, timers left to run.
// First the rules of the pay, keypad and refund pages, the result text reader and the QR matrix.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <algorithm>
#include <memory>

#include "checkout/pages/feature_pages.h"
#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pages/pay_logic.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/qr_label.h"
#include "checkout/pages/qr_matrix.h"
#include "checkout/pages/result_session.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "checkout/pay_popup_dlg.h"
#include "store/settings_keys.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/checkout/pages/main_window_fixture.h"
#include "tests/support/qt_app.h"

using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::store;

namespace tendrix::checkout {
namespace {
// Amounts refused before sending: ResultSessionTest.BadAmounts*; 13 and 14 characters on the
// refund and cancel panels: PagesTest.PartialRefundAndCancel*.
TEST(PayPageRules, AmountsOfAtMostTwoDecimalsOrderNumbersOfFourteenCharactersAndAReason) {
    for (const char* ok : {"12.5", "12", "12."}) EXPECT_TRUE(IsValidAmount(ok)) << ok;
    // Only the digits after the first point count.
    EXPECT_FALSE(IsValidAmount("1.2.3.4"));
    EXPECT_FALSE(IsSubmittableOrder("12345678901234", ""));
    // Characters, not bytes: 13 Chinese characters are 39 bytes but still too short.
    EXPECT_FALSE(IsSubmittableOrder("一二三四五六七八九十一二三", "x"));
}

// The on-page keypad typing into a field: PagesTest.KeypadsTypeIntoTheFocusedField.
TEST(KeypadRules, KeypadWindowSendsNumericPadKeys) {
    using V = std::vector<KeyStroke>;
    EXPECT_EQ(KeypadStrokes("btnnum7", "7", KeypadKind::Window), (V{{103, false}}));
    EXPECT_EQ(KeypadStrokes("btnnum00", "00", KeypadKind::Window), (V{{96, false}, {96, false}}));
    EXPECT_EQ(KeypadStrokes("btnnumbackspace", "", KeypadKind::Window), (V{{8, false}}));
    // A digit button whose text is not a digit injects nothing; other names are not keys.
    EXPECT_TRUE(KeypadStrokes("btnnum7", "x", KeypadKind::Controls).empty());
    EXPECT_TRUE(KeypadStrokes("btn_check", "", KeypadKind::Controls).empty());
    EXPECT_TRUE(IsKeypadDigitButton("btnnum3"));
    EXPECT_FALSE(IsKeypadDigitButton("btnnum00"));
}

// The numbered list of the setting fills the reason box: PagesTest.PartialRefundAndCancel*;
// the order field per permission: PagesTest.RefundPermissionShapesTheOrderField*.
TEST(RefundPageRules, ReasonListFromTheSetting) {
    EXPECT_TRUE(ParseReasonList("").empty());
    EXPECT_EQ(ParseReasonList("无编号的理由").at(0), "无编号的理由");
}

constexpr const char* kPaidResult =
    "商户名称：\r\n演示商户\r\n订单号：2026120600000001\r\n交易金额：36.00元\r\n"
    "实际金额：35.50元\r\n支付方式：支付宝\r\n支付状态：已付款（7）\r\n"
    "支付时间：2026-12-06 12:00:00\r\n支付码：\r\n284512345678901230\r\n";

// The sandbox's result texts are read all through ResultSessionTest and PagesTest.
TEST(ResultTextReader, ReadsNumbersStateAmountsAndDepositKinds) {
    EXPECT_EQ(PayResultSession::MerchantOrderOf(kPaidResult), "");
    EXPECT_EQ(PayResultSession::AmountAfter(kPaidResult, kActualAmountLabel), "35.50");
    EXPECT_EQ(PayResultSession::AmountAfter(kPaidResult, kRefundAmountLabel), "");

    const std::string failed = std::string(kDeviceOrderLabel) + "20261206120000451234567890";
    EXPECT_EQ(PayResultSession::MerchantOrderOf(failed), "20261206120000451234567890");
    EXPECT_EQ(PayResultSession::PlatformOrderOf(failed), "");
    EXPECT_EQ(PayResultSession::StateOf(failed), -1);

    EXPECT_EQ(PayResultSession::StateOf("支付状态：（12）\r\n"), 12);
    EXPECT_EQ(PayResultSession::StateOf("支付状态：已付款（x）\r\n"), -1);
    EXPECT_EQ(PayResultSession::StateOf("支付状态：已付款（7\r\n其他）"), -1);

    const std::string deposit =
        "商户名称：\r\n演示\r\n订单号：P1\r\n交易金额：1.00元\r\n本次解冻金额：0.40元\r\n"
        "支付方式：支付宝预付款\r\n支付状态：已退款（10）\r\n解冻、转支付操作订单号：\r\n"
        "2088000000000001\r\n";
    EXPECT_EQ(PayResultSession::DepositOrderOf(deposit), "2088000000000001");
    EXPECT_TRUE(PayResultSession::IsDepositFreeze(deposit));
    EXPECT_EQ(PayResultSession::AmountAfter(deposit, kThawAmountLabel), "0.40");
    EXPECT_FALSE(PayResultSession::IsDepositFreeze("支付方式：支付宝预付款(转支付)\r\n"));
    EXPECT_TRUE(PayResultSession::IsDepositFreeze("支付方式：微信预付款\r\n"));
}

TEST(QrMatrix, EncodesAtLevelHAndRefusesNothing) {
    QrMatrix m = EncodeQr("https://pay.example/qr/abc123");
    ASSERT_GT(m.width, 20);
    EXPECT_EQ(m.dark.size(), static_cast<size_t>(m.width * m.width));
    // Finder pattern corners are dark.
    EXPECT_TRUE(m.At(0, 0));
    EXPECT_TRUE(m.At(m.width - 1, 0));
    EXPECT_TRUE(m.At(0, m.width - 1));
    EXPECT_EQ(EncodeQr("").width, 0);
}

using test::Enter;
using test::WaitUntil;

class PagesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::EnsureApp(); }
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        test::LogInToSandbox(config_, sandbox_, dir_.path() + "data/");
        config_.soft_name = "TendrixPagesTest";
        config_.pone_help = "400-000-0000";
        config_.log_dir = dir_.path() + "log/";
        config_.voice_dir = dir_.path() + "Voice/";
        config_.settings.Set(keys::sysIsOpenVoicePrompt, "TRUE");
        answers_ = std::make_unique<test::BoxAnswerer>();
        Open();
    }
    void TearDown() override {
        if (HasFailure() && answers_)
            for (const auto& t : answers_->texts)
                std::printf("[ box ] %s\n", t.toUtf8().constData());
        main_.reset();
        answers_.reset();
    }
    // (Re)starts the main window. The page rules are checked step by step, with the platform
    // exchanges run inline; `background` leaves them on the pool as in the program.
    void Open(bool background = false) {
        main_.reset();
        main_ = test::OpenMainWindow(config_, outputs_, &desktop_);
        ASSERT_NE(ResultPage(), nullptr);
        if (!background) ResultPage()->RunExchangesInline();
    }

    // A control by name, on the page shown first (pages may share names, e.g. btn_return).
    template <typename T = QWidget>
    T* Find(const char* name) {
        const QString n = QString::fromLatin1(name);
        auto* pages = main_->findChild<QStackedWidget*>(QStringLiteral("switch"));
        if (pages && pages->currentWidget())
            if (T* w = pages->currentWidget()->findChild<T*>(n)) return w;
        return main_->findChild<T*>(n);
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QAbstractButton* Button(const char* name) { return Find<QAbstractButton>(name); }
    QString ResultText() { return Find<QPlainTextEdit>("tade_result")->toPlainText(); }
    CPayResultDlg* ResultPage() { return dynamic_cast<CPayResultDlg*>(main_->ResultPage()); }
    // The session's text keeps the platform's line breaks; the text control shows them.
    const std::string& SessionText() { return ResultPage()->session()->result_text(); }
    int State() { return PayResultSession::StateOf(SessionText()); }
    bool PopupSaid(const char* title) {
        return main_->Popup()->ResultText() == QString::fromUtf8(title);
    }
    long Played(const char* name) {
        const auto& v = outputs_.voice.played;
        return std::count(v.begin(), v.end(), std::string(name));
    }
    // Types the amount and the code on the pay page and presses Enter in the code field.
    void PayAtTill(const char* amount, const std::string& code) {
        main_->SelectTab(checkout_tab::kPay);
        Edit("moneyinput")->setText(QString::fromUtf8(amount));
        Enter(Edit("moneyinput"));
        Edit("barcodeinput")->setText(QString::fromStdString(code));
        Enter(Edit("barcodeinput"));
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    AppConfig config_;
    RecordingDesktop desktop_;
    test::RecordingOutputs outputs_;
    std::unique_ptr<test::BoxAnswerer> answers_;
    std::unique_ptr<CMainDlg> main_;
};

TEST_F(PagesTest, SaleFromEnterToPopupReceiptAndAutomaticReturn) {
    config_.settings.Set(keys::sysIsOpenPaySuccessClose, "1");
    Open(/*background=*/true);
    PayAtTill("36.00", test::PaidCode());
    EXPECT_EQ(outputs_.face_pay.written, CPayDlg::ShowCommand());  // a valid amount announced
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kResult);
    EXPECT_TRUE(Edit("moneyinput")->text().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return main_->Popup()->isVisible(); }));
    EXPECT_EQ(main_->Popup()->ResultText(), QStringLiteral("支付成功！"));
    EXPECT_EQ(main_->Popup()->MoneyText(), QStringLiteral("支付金额：36.00"));
    EXPECT_EQ(Played("paysuccess.mp3"), 1);

    // Printed through the main window's print hand-off (once per query:
    // ResultSessionTest.PaidAtOnceFinishesTheOrder).
    Button("btn_print_bill")->click();
    ASSERT_EQ(outputs_.receipts.printed.size(), 1u);
    EXPECT_NE(outputs_.receipts.printed[0].find(Utf8ToGbk("客户签名")), std::string::npos);
    // The receipt is offered on the pay page for printing again.
    auto* receipt = main_->findChild<QAbstractButton*>(QStringLiteral("Contain_print_msg"));
    EXPECT_TRUE(receipt->text().startsWith(QStringLiteral("演示商户")));

    // After one second the page returns by itself and the main window hides (and stays
    // hidden: tests/e2e, test_sale_loop.py display_sale).
    ASSERT_TRUE(WaitUntil([&] { return main_->IsHiddenFlag(); }, 5000));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kPay);
    EXPECT_TRUE(answers_->texts.empty());
    // Printing it again from the pay page: MainDlgTest.ReprintFromThePayPage*.
}

TEST_F(PagesTest, PartialRefundAndCancelThroughTheRefundPage) {
    PayAtTill("36.00", test::PaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }));
    QString order;
    int state = 0;
    main_->ResultPage()->CurrentOrder(order, state);
    Button("btn_cancelorrefund")->click();
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kRefund);
    EXPECT_EQ(Edit("refundorderinput")->text(), order);
    Edit("refundmoneyinput")->setText(QStringLiteral("10.00"));
    auto* reasons = Find<QComboBox>("refundreason_comb");
    ASSERT_EQ(reasons->count(), 6);
    reasons->setCurrentIndex(1);
    EXPECT_EQ(Edit("refundreason_edit")->text(), QStringLiteral("金额错误"));
    // 13 characters never submit.
    Edit("refundorderinput")->setText(order.left(13));
    Enter(Edit("refundreason_edit"));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kRefund);
    Edit("refundorderinput")->setText(order);
    Enter(Edit("refundreason_edit"));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kResult);
    EXPECT_TRUE(Edit("refundorderinput")->text().isEmpty());
    EXPECT_TRUE(Edit("refundreason_edit")->text().isEmpty());
    EXPECT_EQ(State(), 11);
    Button("btn_check")->click();
    EXPECT_TRUE(PopupSaid("部分退款成功！"));
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("上一步返回"));
    Button("btn_return")->click();
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kRefund);

    // A pending order goes to the cancel panel and is cancelled.
    PayAtTill("3.00", test::PendingThenPaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 1; }));
    Button("btn_cancelorrefund")->click();
    EXPECT_FALSE(Find("timeoutcancel")->isHidden());
    EXPECT_TRUE(Find("refund")->isHidden());
    EXPECT_FALSE(Edit("giveup_ordid_edit")->text().isEmpty());
    Edit("cancelreason_edit")->setText(QStringLiteral("价格争议"));
    Button("btn_cancel_submit")->click();
    EXPECT_EQ(State(), 4);
    EXPECT_FALSE(ResultPage()->session()->polling());
}

TEST_F(PagesTest, DepositFreezeAndReleaseFromThePreAuthorisationPage) {
    auto freeze = [&] {
        main_->SelectTab(checkout_tab::kPreAuth);
        Edit("premoneyinput")->setText(QStringLiteral("100.00"));
        Edit("prebarcodeinput")->setText(QString::fromStdString(test::DepositCode()));
        Enter(Edit("prebarcodeinput"));
    };
    // Switched off: says so and sends nothing.
    freeze();
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("预授权功能尚未开通")); }));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kPreAuth);

    config_.settings.Set(keys::sysIsOpenProAliPay, "TRUE");
    freeze();
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kResult);
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("预授权返回"));
    EXPECT_EQ(Button("btn_cancelorrefund")->text(), QStringLiteral("撤销/解冻"));
    ASSERT_TRUE(WaitUntil([&] { return PopupSaid("预授权冻结成功！"); }));
    EXPECT_EQ(outputs_.voice.played.back(), "frozensuccess.mp3");

    // 撤销/解冻 takes the freeze operation number, which the platform knows the deposit by.
    Button("btn_cancelorrefund")->click();
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kRefund);
    Edit("refundreason_edit")->setText(QStringLiteral("退还押金"));
    Enter(Edit("refundreason_edit"));
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("本次解冻金额：100.00元")); }));
    Button("btn_check")->click();
    EXPECT_TRUE(PopupSaid("解冻成功！"));
    EXPECT_EQ(main_->Popup()->MoneyText(), QStringLiteral("解冻金额：100.00"));
    EXPECT_EQ(outputs_.voice.played.back(), "thawsuccess.mp3");

    // The pay type follows the code: WeChat codes begin 10..15.
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("134512345678901238", false), "109");
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("284512345678901238", false), "31");
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("284512345678901238", true), "109");
}

TEST_F(PagesTest, RefundPermissionShapesTheOrderField) {
    auto* field = Edit("refundorderinput");
    auto* notice = Find<QLabel>("lab_refund_notice");
    // The cashier's permission, applied again with the settings ("OpenAllSet"). The disabled
    // field is not the only guard: ResultSessionTest.Refunds* refuses the submit.
    const struct {
        const char* permission;
        bool read_only, enabled;
        const char* notice;
    } rows[] = {{"不可退款", true, false, "权限不足，不可退款！"},
                {"扫码可退", false, true, ""},
                {"当笔可退", true, true, ""},
                {"别的", true, true, ""}};  // unknown: the field stays as it was
    for (const auto& r : rows) {
        SCOPED_TRACE(r.permission);
        config_.refund_permission = r.permission;
        main_->SendCommand(CheckoutCommand::PortControl, "OpenAllSet");
        EXPECT_EQ(field->isReadOnly(), r.read_only);
        EXPECT_EQ(field->isEnabled(), r.enabled);
        EXPECT_EQ(notice->text(), QString::fromUtf8(r.notice));
        EXPECT_EQ(notice->isEnabled(), r.enabled);
    }
}

TEST_F(PagesTest, UnresolvedOrderGuardAcrossRestart) {
    PayAtTill("15.00", test::PendingThenPaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 1; }));
    Button("btn_return")->click();  // the cashier leaves the pending order
    EXPECT_TRUE(answers_->Saw(QStringLiteral("您放弃监控查看这笔订单的交易结果")));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kPay);
    EXPECT_FALSE(ResultPage()->session()->polling());
    const std::string open_order = UnresolvedOrderStore(config_.data_dir).List().at(0).out_order_id;

    // Restart: a new main window over the same data directory.
    Open();
    EXPECT_FALSE(Find<QLabel>("lab_unresolved")->isHidden());
    EXPECT_TRUE(Find<QLabel>("lab_unresolved")->text().contains(QStringLiteral("有 1 笔")));
    answers_->answer_yes = false;  // "否": look at the open order first
    PayAtTill("15.00", test::PaidCode());
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QString::fromStdString(open_order)); }));
    EXPECT_EQ(UnresolvedOrderStore(config_.data_dir).List().size(), 1u);  // no second order
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }, 15000));
    EXPECT_NE(ResultText().indexOf(QStringLiteral("15.00")), -1);
    EXPECT_TRUE(UnresolvedOrderStore(config_.data_dir).List().empty());
    // Only the old order was charged: announced once.
    EXPECT_EQ(Played("paysuccess.mp3"), 1);
    EXPECT_TRUE(Find<QLabel>("lab_unresolved")->isHidden());
}

TEST_F(PagesTest, QrCodePaymentDrawsTheLinkAndPollsUntilPaid) {
    Button("opt_qrcode_pay")->click();
    EXPECT_FALSE(Find("panel_qrcode_pay")->isHidden());
    EXPECT_TRUE(Find("panel_scanf_paycode")->isHidden());
    auto* types = Find<QComboBox>("qrbarcode_ordertype");
    types->setCurrentText(QStringLiteral("微信"));
    Edit("qrmoney_input")->setText(QStringLiteral("12.00"));
    Enter(Edit("qrmoney_input"));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kResult);
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("二维码支付返回"));
    auto* qr = Find<QrLabel>("qr_code");
    EXPECT_FALSE(qr->isHidden());
    EXPECT_TRUE(qr->link().contains(QStringLiteral("/qr/")));
    EXPECT_GT(qr->matrix().width, 20);
    ASSERT_TRUE(WaitUntil([&] { return PopupSaid("支付成功！"); }, 15000));
    Button("btn_return")->click();
    EXPECT_EQ(qr->text(), QStringLiteral("无顾客支付的二维码"));
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kPay);

    // The fixed QR code is not offered: its message, then back to the payment code.
    Button("opt_qrcode_pay_static")->click();
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("该功能暂不对外开放")); }));
    ASSERT_TRUE(WaitUntil([&] { return Button("opt_scanf_paycode")->isChecked(); }));
}

TEST_F(PagesTest, KeypadsTypeIntoTheFocusedField) {
    main_->activateWindow();
    auto* money = Edit("moneyinput");
    money->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return money->hasFocus(); }, 2000));
    auto* pad = Find<CKeyControls>("pay_keypad");
    ASSERT_NE(pad, nullptr);
    auto press = [](QWidget* keypad, const char* button) {
        keypad->findChild<QAbstractButton*>(QString::fromLatin1(button))->click();
    };
    for (const char* b : {"btnnum1", "btnnum2", "btnnumdot", "btnnum5", "btnnum00"}) press(pad, b);
    EXPECT_EQ(money->text(), QStringLiteral("12.500"));
    press(pad, "btnnumbackspace");
    EXPECT_EQ(money->text(), QStringLiteral("12.50"));
    EXPECT_TRUE(money->hasFocus());  // the keypad never takes the focus
    press(pad, "btnnumnull");
    EXPECT_TRUE(money->text().isEmpty());
    press(pad, "btnnumnull");  // empty: no harm

    // The keypad window: numeric-pad keys, its id to the main window (command 14) when open.
    Button("btn_keywindow")->click();
    auto* pay = dynamic_cast<CPayDlg*>(main_->PayPage());
    ASSERT_TRUE(pay->key_window());
    ASSERT_TRUE(WaitUntil([&] { return !main_->KeypadWindow().empty(); }, 3000));
    money->setFocus();
    press(pay->key_window(), "btnnum7");
    EXPECT_EQ(money->text(), QStringLiteral("7"));
    // Enter from the keypad in the code field starts the payment; a code of 13 characters does not.
    Edit("barcodeinput")->setFocus();
    Edit("barcodeinput")->setText(QStringLiteral("1345678901234"));
    press(pad, "btnnumenter");
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kPay);
    Edit("barcodeinput")->setText(QString::fromStdString(test::PaidCode()));
    press(pad, "btnnumenter");
    EXPECT_EQ(main_->CurrentTab(), checkout_tab::kResult);
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }));
}

}  // namespace
}  // namespace tendrix::checkout
