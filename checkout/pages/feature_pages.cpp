#include "checkout/pages/feature_pages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_logic.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/result_texts.h"
#include "context/app_config.h"
#include "store/settings_keys.h"
#include "ui/message_box.h"

namespace tendrix::checkout {
namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

bool FeatureOn(const CheckoutContext& c, const char* key) {
    const context::AppConfig* config = c.config;
    return config && config->settings.IsTrue(key);
}

void ShowState(ui::Page& page, bool on, std::string_view off_text, const QString& on_text) {
    if (auto* label = page.FindControl<QLabel>(QStringLiteral("lab_feature_state")))
        label->setText(on ? on_text : Q(off_text));
}

}  // namespace

// ---- pre-authorisation ----

CPrePayAuthorizationDlg::CPrePayAuthorizationDlg(QWidget* parent)
    : ui::Page(QStringLiteral("PrePayAuthorizationDlg"),
               QStringLiteral("PrePayAuthorizationDlg.xml"), parent) {}

void CPrePayAuthorizationDlg::DoInit() {
    money_ = FindControl<QLineEdit>(QStringLiteral("premoneyinput"));
    code_ = FindControl<QLineEdit>(QStringLiteral("prebarcodeinput"));
    opt_wechat_ = FindControl<QAbstractButton>(QStringLiteral("opt_pre_wechat"));
    BuildNestedPages(this, nullptr);
}

void CPrePayAuthorizationDlg::Attach(const CheckoutContext& context) {
    context_ = context;
    BuildNestedPages(this, context.desktop);
}

const char* CPrePayAuthorizationDlg::DepositTypeFor(const std::string& code, bool wechat_chosen) {
    const bool wechat_code = code.size() >= 2 && code[0] == '1' && code[1] >= '0' && code[1] <= '5';
    return wechat_chosen || wechat_code ? "109" : "31";
}

bool CPrePayAuthorizationDlg::Submit() {
    if (!money_ || !code_) return false;
    QWidget* owner = context_.main_window ? context_.main_window : window();
    if (!FeatureOn(context_, store::keys::sysIsOpenProAliPay)) {
        ui::ShowMessage(owner, Q(kPreAuthOffText));
        return false;
    }
    const QString amount = money_->text().trimmed();
    const QString code = code_->text().trimmed();
    // As on the pay page: a short code or no amount does nothing.
    if (CharCount(code.toStdString()) < kMinOrderNumberChars || amount.isEmpty()) return false;
    if (!IsValidAmount(amount.toStdString())) {
        ui::ShowMessage(owner, Q(kBadAmountText));
        return false;
    }
    PayResultPageView* result = context_.result_page;
    if (!result) return false;
    // A payment still awaiting its answer: nothing new starts, and the fields stay filled.
    if (auto* page = dynamic_cast<CPayResultDlg*>(result); page && page->Busy()) return false;
    const bool wechat = opt_wechat_ && opt_wechat_->isChecked();
    if (context_.select_tab) context_.select_tab(checkout_tab::kResult);
    result->ClearResult();
    result->SetReturnText(Q(kPreAuthReturnLabel));
    result->SetCancelOrRefundText(Q(kCancelOrThawLabel));
    result->StartPayment(amount, code,
                         QString::fromLatin1(DepositTypeFor(code.toStdString(), wechat)));
    money_->clear();
    code_->clear();
    return true;
}

void CPrePayAuthorizationDlg::Notify(const ui::Notification& msg) {
    if (msg.type == QLatin1String(ui::kReturn)) {
        if (msg.sender == money_ && code_) {
            code_->setFocus();
        } else if (msg.sender == code_) {
            Submit();
        }
    } else if (msg.type == QLatin1String(ui::kClick) &&
               msg.name() == QLatin1String("btn_pre_submit")) {
        Submit();
    }
}

// ---- pages that describe a feature ----

CFeatureInfoPage::CFeatureInfoPage(const QString& name, const char* switch_key,
                                   std::string_view off_text, QString on_text, QWidget* parent)
    : ui::Page(name, name + QStringLiteral(".xml"), parent),
      switch_key_(switch_key),
      off_text_(off_text),
      on_text_(std::move(on_text)) {}

void CFeatureInfoPage::DoInit() {
    Refresh();
}
void CFeatureInfoPage::Attach(const CheckoutContext& context) {
    context_ = context;
    Refresh();
}
void CFeatureInfoPage::OnMainWindowShown(bool shown) {
    if (shown) Refresh();
}
void CFeatureInfoPage::Refresh() {
    ShowState(*this, FeatureOn(context_, switch_key_), off_text_, on_text_);
}

CFacePayDlg::CFacePayDlg(QWidget* parent)
    : CFeatureInfoPage(
          QStringLiteral("FacePayDlg"), store::keys::sysIsOpenFacePay, kFacePayOffText,
          QStringLiteral("刷脸支付已开通：收款金额会显示在刷脸设备上，顾客在设备上完成支付。"),
          parent) {}

CSingleProductVerificationDlg::CSingleProductVerificationDlg(QWidget* parent)
    : CFeatureInfoPage(QStringLiteral("SingleProductVerificationDlg"),
                       store::keys::sysIsOpenProductVerifi, kProductVerifyOffText,
                       QStringLiteral("单品核销已开通：请在平台后台查看可核销的商品券。"), parent) {
}

}  // namespace tendrix::checkout
