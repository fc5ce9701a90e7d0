// The checkout pages as widgets (offscreen), driven like a cashier would, against the real
// sandbox: amounts and codes typed, Enter pressed, buttons clicked, timers left to run.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <memory>

#include "checkout/pages/feature_pages.h"
#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/qr_label.h"
#include "checkout/pages/result_session.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "store/settings_keys.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/checkout/pages/page_host.h"
#include "tests/support/qt_app.h"

namespace tendrix::checkout {
namespace {

using test::Enter;
using test::PageHost;
using test::WaitUntil;

class PagesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        test::EnsureApp();
        RegisterCheckoutPages();
    }
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        test::LogInToSandbox(config_, sandbox_, dir_.path() + "data/");
        config_.soft_name = "TendrixPagesTest";
        config_.pone_help = "400-000-0000";
        host_ = std::make_unique<PageHost>(&config_);
        answers_ = std::make_unique<test::BoxAnswerer>();
        // The page rules are checked step by step; the background exchanges have their own
        // cases (result_session_test, the end-to-end cases).
        if (ResultPage()) ResultPage()->RunExchangesInline();
    }
    void TearDown() override {
        if (HasFailure() && answers_)
            for (const auto& t : answers_->texts)
                std::printf("[ box ] %s\n", t.toUtf8().constData());
        host_.reset();
        answers_.reset();
    }

    QLineEdit* Edit(const char* name) { return host_->Find<QLineEdit>(name); }
    QAbstractButton* Button(const char* name) { return host_->Find<QAbstractButton>(name); }
    QString ResultText() { return host_->Find<QPlainTextEdit>("tade_result")->toPlainText(); }
    CPayResultDlg* ResultPage() { return dynamic_cast<CPayResultDlg*>(host_->Result()); }
    // The session's text keeps the platform's line breaks; the text control shows them.
    const std::string& SessionText() { return ResultPage()->session()->result_text(); }
    int State() { return PayResultSession::StateOf(SessionText()); }
    bool PopupSaid(const char* title) {
        for (const auto& p : host_->popups)
            if (p.first == QString::fromUtf8(title)) return true;
        return false;
    }
    // Types the amount and the code on the pay page and presses Enter in the code field.
    void PayAtTill(const char* amount, const std::string& code) {
        host_->SelectTab(0);
        Edit("moneyinput")->setText(QString::fromUtf8(amount));
        Enter(Edit("moneyinput"));
        Edit("barcodeinput")->setText(QString::fromStdString(code));
        Enter(Edit("barcodeinput"));
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    AppConfig config_;
    std::unique_ptr<PageHost> host_;
    std::unique_ptr<test::BoxAnswerer> answers_;
};

TEST_F(PagesTest, PaidAtOnceFromEnterToAutomaticReturn) {
    config_.settings.Set(keys::sysIsOpenPaySuccessClose, "1");
    PayAtTill("36.00", test::PaidCode());
    EXPECT_EQ(host_->face_pay, CPayDlg::ShowCommand());  // a valid amount was announced
    EXPECT_EQ(host_->Tab(), checkout_tab::kResult);
    EXPECT_TRUE(Edit("moneyinput")->text().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return !host_->popups.empty(); }));
    EXPECT_EQ(host_->popups[0],
              std::make_pair(QStringLiteral("支付成功！"), QStringLiteral("36.00")));
    EXPECT_EQ(host_->Payloads(CheckoutCommand::Voice), std::vector<std::string>{"paysuccess.mp3"});
    EXPECT_EQ(host_->Payloads(CheckoutCommand::AfterPayment), std::vector<std::string>{"36.00"});
    // The receipt is offered on the pay page for printing again.
    auto* receipt = Button("Contain_print_msg");
    EXPECT_TRUE(receipt->text().startsWith(QStringLiteral("演示商户")));

    // After one second the page returns by itself and hides the main window (command 10).
    ASSERT_TRUE(WaitUntil([&] { return host_->Tab() == checkout_tab::kPay; }, 5000));
    EXPECT_EQ(host_->Payloads(CheckoutCommand::ToggleShowHide).size(), 1u);
    EXPECT_EQ(host_->Payloads(CheckoutCommand::AfterPayment).size(), 1u);
    EXPECT_TRUE(answers_->texts.empty());

    // Print again from the pay page: command 1 with the mark, in GBK.
    receipt->click();
    ASSERT_EQ(host_->Payloads(CheckoutCommand::PaymentSuccess).size(), 1u);
    EXPECT_TRUE(host_->Pay()->PrintBillMarked());
    EXPECT_EQ(GbkToUtf8(host_->Payloads(CheckoutCommand::PaymentSuccess)[0]),
              receipt->text().toStdString());
}

TEST_F(PagesTest, PendingOrderIsPolledEveryTwoSecondsAndTheUiStaysResponsive) {
    // A 10-ms ticker measures the longest gap the event loop leaves while polling.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (last) longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start(10);
    PayAtTill("12.50", test::PendingThenPaidCode());
    auto* result = host_->Find<QPlainTextEdit>("tade_result");
    ASSERT_TRUE(WaitUntil([&] { return ResultPage()->session()->polling(); }, 3000));
    EXPECT_EQ(ResultPage()->Hub().TimerInterval(result, kQueryTimerId), kPollPeriodMs);
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }, 15000));
    ticker.stop();
    EXPECT_FALSE(ResultPage()->Hub().HasTimer(result, kQueryTimerId));
    EXPECT_TRUE(PopupSaid("支付成功！"));
    std::printf("[ measure ] longest event-loop gap while polling: %lld ms\n",
                static_cast<long long>(longest));
}

TEST_F(PagesTest, TimedOutRefusedAndNetworkFailure) {
    PayAtTill("8.00", test::TimeoutCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 13; }, 15000));
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("当前处于超时状态")); }));

    PayAtTill("9.00", test::RefusedCode());
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("余额不足")); }));

    test::SandboxProcess::Options options;
    options.extra_args = {"--late-answer-ms", "3000"};
    test::SandboxProcess late(options);
    ASSERT_TRUE(late.ok()) << late.error();
    config_.api_base = late.base_url();
    config_.environment.platform_timeout = std::chrono::milliseconds(500);
    PayAtTill("20.00", test::LateAnswerCode());
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("当前网络故障，不能确定")); }));
    EXPECT_TRUE(ResultText().startsWith(QStringLiteral("设备创建的订单号：")));
    // The pay page warns of the open order.
    EXPECT_FALSE(host_->Find<QLabel>("lab_unresolved")->isHidden());
    Button("btn_check")->click();
    EXPECT_EQ(State(), 7);
    EXPECT_TRUE(PopupSaid("支付成功！"));
    // The timed-out order may still be paid later: it stays on the list until cancelled.
    EXPECT_FALSE(host_->Find<QLabel>("lab_unresolved")->isHidden());
    EXPECT_TRUE(host_->Find<QLabel>("lab_unresolved")->text().contains(QStringLiteral("有 1 笔")));
}

TEST_F(PagesTest, PartialRefundAndCancelThroughTheRefundPage) {
    PayAtTill("36.00", test::PaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }));
    QString order;
    int state = 0;
    host_->Result()->CurrentOrder(order, state);
    // The cancel/refund button takes the paid order to the refund panel.
    Button("btn_cancelorrefund")->click();
    EXPECT_EQ(host_->Tab(), checkout_tab::kRefund);
    EXPECT_EQ(Edit("refundorderinput")->text(), order);
    Edit("refundmoneyinput")->setText(QStringLiteral("10.00"));
    auto* reasons = host_->Find<QComboBox>("refundreason_comb");
    ASSERT_EQ(reasons->count(), 6);
    reasons->setCurrentIndex(1);
    EXPECT_EQ(Edit("refundreason_edit")->text(), QStringLiteral("金额错误"));
    Enter(Edit("refundreason_edit"));
    EXPECT_EQ(host_->Tab(), checkout_tab::kResult);
    EXPECT_TRUE(Edit("refundorderinput")->text().isEmpty());
    EXPECT_TRUE(Edit("refundreason_edit")->text().isEmpty());
    EXPECT_EQ(State(), 11);
    Button("btn_check")->click();
    EXPECT_TRUE(PopupSaid("部分退款成功！"));
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("上一步返回"));
    Button("btn_return")->click();
    EXPECT_EQ(host_->Tab(), checkout_tab::kRefund);

    // A pending order goes to the cancel panel and is cancelled.
    PayAtTill("3.00", test::PendingThenPaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 1; }));
    Button("btn_cancelorrefund")->click();
    EXPECT_FALSE(host_->Find<QWidget>("timeoutcancel")->isHidden());
    EXPECT_TRUE(host_->Find<QWidget>("refund")->isHidden());
    // 13 characters never submit.
    const QString full = Edit("giveup_ordid_edit")->text();
    Edit("giveup_ordid_edit")->setText(full.left(13));
    Edit("cancelreason_edit")->setText(QStringLiteral("价格争议"));
    Enter(Edit("cancelreason_edit"));
    EXPECT_EQ(host_->Tab(), checkout_tab::kRefund);
    Edit("giveup_ordid_edit")->setText(full);
    Button("btn_cancel_submit")->click();
    EXPECT_EQ(State(), 4);
    EXPECT_FALSE(ResultPage()->session()->polling());
}

TEST_F(PagesTest, DepositFreezeAndReleaseFromThePreAuthorisationPage) {
    config_.settings.Set(keys::sysIsOpenProAliPay, "TRUE");
    host_->SelectTab(checkout_tab::kPreAuth);
    Edit("premoneyinput")->setText(QStringLiteral("100.00"));
    Edit("prebarcodeinput")->setText(QString::fromStdString(test::DepositCode()));
    Enter(Edit("prebarcodeinput"));
    EXPECT_EQ(host_->Tab(), checkout_tab::kResult);
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("预授权返回"));
    EXPECT_EQ(Button("btn_cancelorrefund")->text(), QStringLiteral("撤销/解冻"));
    ASSERT_TRUE(WaitUntil([&] { return PopupSaid("预授权冻结成功！"); }));
    const QString order = QString::fromStdString(PayResultSession::PlatformOrderOf(SessionText()));

    host_->SelectTab(checkout_tab::kRefund);
    Edit("refundorderinput")->setText(order);
    Edit("refundreason_edit")->setText(QStringLiteral("退还押金"));
    Enter(Edit("refundreason_edit"));
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("本次解冻金额：100.00元")); }));
    Button("btn_check")->click();
    EXPECT_TRUE(PopupSaid("解冻成功！"));
    EXPECT_EQ(host_->Payloads(CheckoutCommand::Voice).back(), "thawsuccess.mp3");

    // The pay type follows the code: WeChat codes begin 10..15.
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("134512345678901238", false), "109");
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("284512345678901238", false), "31");
    EXPECT_STREQ(CPrePayAuthorizationDlg::DepositTypeFor("284512345678901238", true), "109");
}

TEST_F(PagesTest, RefundPermissionShapesTheOrderField) {
    auto* field = Edit("refundorderinput");
    auto* notice = host_->Find<QLabel>("lab_refund_notice");
    host_->Refund()->ApplyRefundPermission(QStringLiteral("不可退款"));
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_FALSE(field->isEnabled());
    EXPECT_EQ(notice->text(), QStringLiteral("权限不足，不可退款！"));
    EXPECT_FALSE(notice->isEnabled());
    host_->Refund()->ApplyRefundPermission(QStringLiteral("扫码可退"));
    EXPECT_FALSE(field->isReadOnly());
    EXPECT_TRUE(field->isEnabled());
    EXPECT_TRUE(notice->text().isEmpty());
    host_->Refund()->ApplyRefundPermission(QStringLiteral("当笔可退"));
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_TRUE(field->isEnabled());
    host_->Refund()->ApplyRefundPermission(QStringLiteral("别的"));
    EXPECT_TRUE(field->isReadOnly());  // unchanged
}

TEST_F(PagesTest, UnresolvedOrderGuardAcrossRestart) {
    PayAtTill("15.00", test::PendingThenPaidCode());
    ASSERT_TRUE(WaitUntil([&] { return State() == 1; }));
    Button("btn_return")->click();  // the cashier leaves the pending order
    EXPECT_TRUE(answers_->Saw(QStringLiteral("您放弃监控查看这笔订单的交易结果")));
    EXPECT_EQ(host_->Tab(), checkout_tab::kPay);
    const std::string open_order = UnresolvedOrderStore(config_.data_dir).List().at(0).out_order_id;

    // Restart: new pages over the same data directory.
    host_ = std::make_unique<PageHost>(&config_);
    EXPECT_FALSE(host_->Find<QLabel>("lab_unresolved")->isHidden());
    answers_->answer_yes = false;  // "否": look at the open order first
    PayAtTill("15.00", test::PaidCode());
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QString::fromStdString(open_order)); }));
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }, 15000));
    EXPECT_NE(ResultText().indexOf(QStringLiteral("15.00")), -1);
    EXPECT_TRUE(UnresolvedOrderStore(config_.data_dir).List().empty());
    // Only the old order was charged: one popup.
    EXPECT_EQ(host_->popups.size(), 1u);
    EXPECT_TRUE(host_->Find<QLabel>("lab_unresolved")->isHidden());
}

TEST_F(PagesTest, QrCodePaymentDrawsTheLinkAndPollsUntilPaid) {
    Button("opt_qrcode_pay")->click();
    EXPECT_FALSE(host_->Find<QWidget>("panel_qrcode_pay")->isHidden());
    EXPECT_TRUE(host_->Find<QWidget>("panel_scanf_paycode")->isHidden());
    auto* types = host_->Find<QComboBox>("qrbarcode_ordertype");
    types->setCurrentText(QStringLiteral("微信"));
    Edit("qrmoney_input")->setText(QStringLiteral("12.00"));
    Enter(Edit("qrmoney_input"));
    EXPECT_EQ(host_->Tab(), checkout_tab::kResult);
    EXPECT_EQ(Button("btn_return")->text(), QStringLiteral("二维码支付返回"));
    auto* qr = host_->Find<QrLabel>("qr_code");
    EXPECT_FALSE(qr->isHidden());
    EXPECT_TRUE(qr->link().contains(QStringLiteral("/qr/")));
    EXPECT_GT(qr->matrix().width, 20);
    ASSERT_TRUE(WaitUntil([&] { return PopupSaid("支付成功！"); }, 15000));
    Button("btn_return")->click();
    EXPECT_EQ(qr->text(), QStringLiteral("无顾客支付的二维码"));
    EXPECT_EQ(host_->Tab(), checkout_tab::kPay);

    // The fixed QR code is not offered: its message, then back to the payment code.
    Button("opt_qrcode_pay_static")->click();
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("该功能暂不对外开放")); }));
    ASSERT_TRUE(WaitUntil([&] { return Button("opt_scanf_paycode")->isChecked(); }));
}

TEST_F(PagesTest, KeypadsTypeIntoTheFocusedField) {
    host_->activateWindow();
    auto* money = Edit("moneyinput");
    money->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return money->hasFocus(); }, 2000));
    auto* pad = host_->Find<CKeyControls>("pay_keypad");
    ASSERT_NE(pad, nullptr);
    for (const char* b : {"btnnum1", "btnnum2", "btnnumdot", "btnnum5", "btnnum00"})
        pad->findChild<QAbstractButton*>(QString::fromLatin1(b))->click();
    EXPECT_EQ(money->text(), QStringLiteral("12.500"));
    pad->findChild<QAbstractButton*>(QStringLiteral("btnnumbackspace"))->click();
    EXPECT_EQ(money->text(), QStringLiteral("12.50"));
    EXPECT_TRUE(money->hasFocus());  // the keypad never takes the focus
    pad->findChild<QAbstractButton*>(QStringLiteral("btnnumnull"))->click();
    EXPECT_TRUE(money->text().isEmpty());
    pad->findChild<QAbstractButton*>(QStringLiteral("btnnumnull"))->click();  // empty: no harm

    // The keypad window: numeric-pad keys, command 14 to the main window when it opens.
    Button("btn_keywindow")->click();
    auto* pay = dynamic_cast<CPayDlg*>(host_->Pay());
    ASSERT_TRUE(pay->key_window());
    ASSERT_TRUE(
        WaitUntil([&] { return !host_->Payloads(CheckoutCommand::KeypadWindow).empty(); }, 3000));
    money->setFocus();
    pay->key_window()->findChild<QAbstractButton*>(QStringLiteral("btnnum7"))->click();
    EXPECT_EQ(money->text(), QStringLiteral("7"));
    // Enter from the keypad in the code field starts the payment.
    Edit("barcodeinput")->setText(QString::fromStdString(test::PaidCode()));
    Edit("barcodeinput")->setFocus();
    pad->findChild<QAbstractButton*>(QStringLiteral("btnnumenter"))->click();
    EXPECT_EQ(host_->Tab(), checkout_tab::kResult);
    ASSERT_TRUE(WaitUntil([&] { return State() == 7; }));
}

TEST_F(PagesTest, FeaturePagesSayWhetherTheyAreOpen) {
    auto* face = dynamic_cast<CFacePayDlg*>(host_->Find<QWidget>("FacePayDlg"));
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->FindControl<QLabel>(QStringLiteral("lab_feature_state"))->text(),
              QStringLiteral("刷脸支付功能尚未开通！"));
    auto* verify = host_->Find<QWidget>("SingleProductVerificationDlg");
    EXPECT_EQ(verify->findChild<QLabel*>(QStringLiteral("lab_feature_state"))->text(),
              QStringLiteral("单品核销功能尚未开通！"));
    // Pre-authorisation while switched off says so and sends nothing.
    host_->SelectTab(checkout_tab::kPreAuth);
    Edit("premoneyinput")->setText(QStringLiteral("1.00"));
    Edit("prebarcodeinput")->setText(QString::fromStdString(test::DepositCode()));
    Enter(Edit("prebarcodeinput"));
    ASSERT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("预授权功能尚未开通")); }));
    EXPECT_EQ(host_->Tab(), checkout_tab::kPreAuth);
}

}  // namespace
}  // namespace tendrix::checkout
