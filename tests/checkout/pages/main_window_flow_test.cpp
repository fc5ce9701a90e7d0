// The whole sale in the real main window (offscreen) against the sandbox: the pages are
// registered, CMainDlg hosts them, and the cashier types, scans and clicks.
#include <gtest/gtest.h>

#include <QLabel>

#include "checkout/main_dlg.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/result_session.h"
#include "checkout/pay_popup_dlg.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/checkout/pages/page_host.h"
#include "tests/support/qt_app.h"

namespace tendrix::checkout {
namespace {

using test::Enter;
using test::WaitUntil;

class MainWindowFlow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        test::EnsureApp();
        RegisterCheckoutPages();
    }
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        test::LogInToSandbox(config_, sandbox_, dir_.path() + "data/");
        config_.soft_name = "TendrixFlowTest";
        config_.log_dir = dir_.path() + "log/";
        config_.voice_dir = dir_.path() + "Voice/";
        config_.settings.Set(keys::sysIsOpenVoicePrompt, "TRUE");
        answers_ = std::make_unique<test::BoxAnswerer>();
    }
    std::unique_ptr<CMainDlg> Open() {
        CMainDlg::Options o;
        o.login = [](CMainDlg&) { return true; };
        o.use_x11_desktop = false;
        o.sound = false;
        o.start_devices = false;
        o.launcher = [](const std::string&) { return true; };
        auto main = std::make_unique<CMainDlg>(&config_, o);
        EXPECT_TRUE(main->Initialise());
        return main;
    }
    template <typename T = QLineEdit>
    static T* Get(CMainDlg& m, const char* name) {
        return m.findChild<T*>(QString::fromLatin1(name));
    }
    static int State(CMainDlg& m) {
        auto* page = dynamic_cast<CPayResultDlg*>(m.ResultPage());
        return PayResultSession::StateOf(page->session()->result_text());
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    AppConfig config_;
    std::unique_ptr<test::BoxAnswerer> answers_;
};

TEST_F(MainWindowFlow, SaleFromEnterToPopupReceiptAndAutomaticReturn) {
    config_.settings.Set(keys::sysIsOpenPaySuccessClose, "1");
    auto main = Open();
    auto* popup_label = main->Popup()->findChild<QLabel*>(QStringLiteral("label_pay_result"));
    ASSERT_NE(popup_label, nullptr);

    Get(*main, "moneyinput")->setText(QStringLiteral("36.00"));
    Get(*main, "barcodeinput")->setText(QString::fromStdString(test::PaidCode()));
    QElapsedTimer t;
    t.start();
    Enter(Get(*main, "barcodeinput"));
    ASSERT_TRUE(WaitUntil([&] { return main->Popup()->isVisible(); }));
    std::printf("[ measure ] Enter to paid result shown (main window): %.1f ms\n",
                t.nsecsElapsed() / 1e6);
    EXPECT_EQ(popup_label->text(), QStringLiteral("支付成功！"));
    EXPECT_EQ(State(*main), 7);
    const auto& voices = main->VoiceLog();
    EXPECT_NE(std::find(voices.begin(), voices.end(), "paysuccess.mp3"), voices.end());

    // Print once per query through the main window's print hand-off.
    const int printed = main->PrintedCount();
    Get<QAbstractButton>(*main, "btn_print_bill")->click();
    Get<QAbstractButton>(*main, "btn_print_bill")->click();
    EXPECT_EQ(main->PrintedCount(), printed + 1);
    EXPECT_NE(main->LastPrinted().find(Utf8ToGbk("客户签名")), std::string::npos);

    // One second later the page returns by itself and the main window hides.
    ASSERT_TRUE(WaitUntil([&] { return main->IsHiddenFlag(); }, 5000));
    EXPECT_EQ(main->CurrentTab(), checkout_tab::kPay);
}

TEST_F(MainWindowFlow, RefundPageRulesInTheMainWindow) {
    config_.refund_permission = "扫码可退";
    auto main = Open();
    Get(*main, "moneyinput")->setText(QStringLiteral("20.00"));
    Get(*main, "barcodeinput")->setText(QString::fromStdString(test::PaidCode()));
    Enter(Get(*main, "barcodeinput"));
    ASSERT_TRUE(WaitUntil([&] { return State(*main) == 7; }));
    QString order;
    int state = 0;
    main->ResultPage()->CurrentOrder(order, state);

    main->SelectTab(checkout_tab::kRefund);
    Get(*main, "refundorderinput")->setText(order.left(13));
    Get(*main, "refundreason_edit")->setText(QStringLiteral("商品问题"));
    Enter(Get(*main, "refundreason_edit"));
    EXPECT_EQ(main->CurrentTab(), checkout_tab::kRefund);  // 13 characters: nothing happens
    Get(*main, "refundorderinput")->setText(order);
    Get(*main, "refundmoneyinput")->setText(QStringLiteral("5.00"));
    Enter(Get(*main, "refundreason_edit"));
    EXPECT_EQ(main->CurrentTab(), checkout_tab::kResult);
    EXPECT_TRUE(WaitUntil([&] { return State(*main) == 11; }));
    EXPECT_TRUE(Get(*main, "refundorderinput")->text().isEmpty());
    // "上一步返回" brings the refund page back.
    // (the order inquiry page has a "btn_return" of its own)
    auto* result = dynamic_cast<CPayResultDlg*>(main->ResultPage());
    result->findChild<QAbstractButton*>(QStringLiteral("btn_return"))->click();
    EXPECT_EQ(main->CurrentTab(), checkout_tab::kRefund);
}

TEST_F(MainWindowFlow, NoRefundPermissionDisablesTheOrderField) {
    config_.refund_permission = "不可退款";
    auto main = Open();
    auto* field = Get(*main, "refundorderinput");
    EXPECT_FALSE(field->isEnabled());
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(Get<QLabel>(*main, "lab_refund_notice")->text(),
              QStringLiteral("权限不足，不可退款！"));
    // The disabled field is not the only guard: a number that gets there anyway (a scanner,
    // the result page's button) is refused where the refund is submitted.
    field->setText(QStringLiteral("20261207000000000001"));
    Get(*main, "refundreason_edit")->setText(QStringLiteral("商品问题"));
    Enter(Get(*main, "refundreason_edit"));
    EXPECT_TRUE(WaitUntil([&] { return answers_->Saw(QStringLiteral("权限不足，不可退款！")); }));
    EXPECT_EQ(State(*main), -1);
}

}  // namespace
}  // namespace tendrix::checkout
