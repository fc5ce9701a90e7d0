#pragma once
// The pre-authorisation, face-pay and single-product verification pages.
//
// CPrePayAuthorizationDlg takes an amount and a payment code (`premoneyinput`,
// `prebarcodeinput`) and creates a deposit order (pay type 31 "支付宝预付款" or 109
// "微信预付款") on the result page; its freeze and release are shown there, and the result
// page's return button ("预授权返回") brings this page back. The face-pay and single-product
// pages say what they are for; their features are not offered in this version.
#include <QString>
#include <string_view>

#include "checkout/checkout_pages.h"
#include "ui/window.h"

class QAbstractButton;
class QLabel;
class QLineEdit;

namespace tendrix::checkout {

class CPrePayAuthorizationDlg : public ui::Page, public CheckoutPageView {
    Q_OBJECT
  public:
    explicit CPrePayAuthorizationDlg(QWidget* parent = nullptr);
    void DoInit() override;
    void Notify(const ui::Notification& msg) override;
    void Attach(const CheckoutContext& context) override;

    // Pay type of the deposit: 109 for a WeChat code (begins 10..15) or when the WeChat
    // choice is made, otherwise 31.
    static const char* DepositTypeFor(const std::string& code, bool wechat_chosen);
    bool Submit();

  private:
    CheckoutContext context_;
    QLineEdit* money_ = nullptr;
    QLineEdit* code_ = nullptr;
    QAbstractButton* opt_wechat_ = nullptr;
};

// A page that says what its feature does while the feature's switch is on, and that the
// feature is not open while it is off.
class CFeatureInfoPage : public ui::Page, public CheckoutPageView {
    Q_OBJECT
  public:
    CFeatureInfoPage(const QString& name, const char* switch_key, std::string_view off_text,
                     QString on_text, QWidget* parent);
    void DoInit() override;
    void Attach(const CheckoutContext& context) override;
    void OnMainWindowShown(bool shown) override;

  private:
    void Refresh();
    CheckoutContext context_;
    const char* switch_key_;
    std::string_view off_text_;
    QString on_text_;
};

class CFacePayDlg : public CFeatureInfoPage {
    Q_OBJECT
  public:
    explicit CFacePayDlg(QWidget* parent = nullptr);
};

class CSingleProductVerificationDlg : public CFeatureInfoPage {
    Q_OBJECT
  public:
    explicit CSingleProductVerificationDlg(QWidget* parent = nullptr);
};

}  // namespace tendrix::checkout
