#include "checkout/pages/pay_dlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_logic.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "context/code_tables.h"
#include "ui/message_box.h"

namespace tendrix::checkout {
namespace {

constexpr const char* kPrintBillProperty = "printBill";

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

}  // namespace

const std::string& CPayDlg::ShowCommand() {
    static const std::string bytes("\x02\x00\x06\x00\xa3\x00\x00\x01\x17\x03", 10);
    return bytes;
}

const std::string& CPayDlg::HideCommand() {
    static const std::string bytes("\x02\x00\x06\x08\xa3\x00\x00\x01\x15\x03\xba", 11);
    return bytes;
}

CPayDlg::CPayDlg(QWidget* parent)
    : ui::Page(QStringLiteral("PayDlg"), QStringLiteral("PayDlg.xml"), parent) {}

CPayDlg::~CPayDlg() {
    delete key_window_.data();
}

void CPayDlg::DoInit() {
    money_ = FindControl<QLineEdit>(QStringLiteral("moneyinput"));
    barcode_ = FindControl<QLineEdit>(QStringLiteral("barcodeinput"));
    qr_money_ = FindControl<QLineEdit>(QStringLiteral("qrmoney_input"));
    qr_type_ = FindControl<QComboBox>(QStringLiteral("qrbarcode_ordertype"));
    static_msg_ = FindControl<QLabel>(QStringLiteral("lab_static_pay_msg"));
    panel_scan_ = FindControl(QStringLiteral("panel_scanf_paycode"));
    panel_qr_ = FindControl(QStringLiteral("panel_qrcode_pay"));
    opt_scan_ = FindControl<QAbstractButton>(QStringLiteral("opt_scanf_paycode"));
    opt_qr_ = FindControl<QAbstractButton>(QStringLiteral("opt_qrcode_pay"));
    opt_static_ = FindControl<QAbstractButton>(QStringLiteral("opt_qrcode_pay_static"));
    receipt_ = FindControl<QAbstractButton>(QStringLiteral("Contain_print_msg"));
    unresolved_label_ = FindControl<QLabel>(QStringLiteral("lab_unresolved"));
    unresolved_button_ = FindControl<QAbstractButton>(QStringLiteral("btn_unresolved"));
    qr_pay_button_ = FindControl<QAbstractButton>(QStringLiteral("btn_qrpay"));
    if (qr_type_) {
        // The pay types a customer can scan: the code table without "全部" and the
        // statistics-only rows.
        qr_type_->clear();
        for (const auto& [code, name] : context::PayTypeNames()) {
            if (code == 0 || name.find("统计") != std::string::npos) continue;
            qr_type_->addItem(QString::fromStdString(name), code);
        }
    }
    if (panel_qr_) panel_qr_->hide();
    if (static_msg_) static_msg_->hide();
    if (unresolved_label_) unresolved_label_->hide();
    if (unresolved_button_) unresolved_button_->hide();
    BuildNestedPages(this, nullptr);
}

void CPayDlg::Attach(const CheckoutContext& context) {
    context_ = context;
    BuildNestedPages(this, context.desktop);
    if (auto* help = FindControl<QLabel>(QStringLiteral("lab_pone_help")); help && context.config)
        help->setText(Q(kHelpPhoneLabel) + QString::fromStdString(context.config->pone_help));
    RefreshUnresolved();
}

void CPayDlg::OnMainWindowShown(bool shown) {
    if (shown) {
        RefreshUnresolved();
        if (barcode_ && isVisible()) barcode_->setFocus();
    }
}

QString CPayDlg::Amount() const {
    return money_ ? money_->text() : QString();
}
void CPayDlg::SetAmount(const QString& yuan) {
    if (money_) money_->setText(yuan);
}
QString CPayDlg::PaymentCode() const {
    return barcode_ ? barcode_->text() : QString();
}
void CPayDlg::SetPaymentCode(const QString& code) {
    if (barcode_) barcode_->setText(code);
}

bool CPayDlg::PrintBillMarked() const {
    return receipt_ && receipt_->property(kPrintBillProperty).toString() == Q(kPrintBillMark);
}

void CPayDlg::ClearPrintBillMark() {
    if (receipt_) receipt_->setProperty(kPrintBillProperty, QString());
}

void CPayDlg::ShowLastReceipt(const QString& receipt) {
    if (!receipt_) return;
    receipt_->setText(receipt);
    receipt_->setToolTip(QStringLiteral("点击再次打印这张小票"));
}

void CPayDlg::RefreshUnresolved() {
    // The result page's store when it is attached (its database stays open), else a
    // short-lived one over the same file.
    int n = 0;
    auto* result = dynamic_cast<CPayResultDlg*>(context_.result_page);
    if (result && result->unresolved_store()) {
        n = static_cast<int>(result->unresolved_store()->List().size());
    } else if (context::AppConfig* config = context_.config) {
        n = static_cast<int>(UnresolvedOrderStore(config->data_dir).List().size());
    }
    if (unresolved_label_) {
        unresolved_label_->setText(
            QStringLiteral("有 %1 笔订单的支付结果尚未确认，请先查询，避免重复收款").arg(n));
        unresolved_label_->setVisible(n > 0);
    }
    if (unresolved_button_) unresolved_button_->setVisible(n > 0);
}

void CPayDlg::SetPaymentInFlight(bool in_flight) {
    for (QLineEdit* e : {barcode_, qr_money_})
        if (e) e->setReadOnly(in_flight);
    for (QAbstractButton* b : {qr_pay_button_, unresolved_button_})
        if (b) b->setEnabled(!in_flight);
}

// ---- notifications ----

void CPayDlg::Notify(const ui::Notification& msg) {
    const QString name = msg.name();
    if (msg.type == QLatin1String(ui::kReturn)) {
        if (msg.sender == money_) {
            CheckAmount();
            if (amount_shown_ && barcode_) barcode_->setFocus();
        } else if (msg.sender == qr_money_) {
            StartQrPayment();
        }
        return;
    }
    if (msg.type == QLatin1String(ui::kSelectChanged)) {
        if (msg.sender == opt_scan_ || msg.sender == opt_qr_ || msg.sender == opt_static_)
            ChoosePanel(msg.sender);
        return;
    }
    if (msg.type == QLatin1String(ui::kTimer)) {
        if (msg.timer_id == kStaticQrTimerId) {
            // The fixed QR code is not offered: go back to the customer's payment code and
            // take the amount off the face-pay device.
            ui::Page::KillTimer(opt_static_, kStaticQrTimerId);
            if (opt_scan_) opt_scan_->setChecked(true);
            if (amount_shown_ && context_.write_face_pay_port)
                context_.write_face_pay_port(HideCommand());
            amount_shown_ = false;
        }
        return;
    }
    if (msg.type != QLatin1String(ui::kClick)) return;
    if (msg.sender == receipt_) {
        PrintAgain();
    } else if (name == QLatin1String("btn_qrpay")) {
        StartQrPayment();
    } else if (msg.sender == unresolved_button_) {
        if (auto* result = dynamic_cast<CPayResultDlg*>(context_.result_page))
            result->ShowOldestUnresolved();
    } else if (name == QLatin1String("btn_keywindow")) {
        ToggleKeyWindow();
    }
}

void CPayDlg::CheckAmount() {
    const std::string amount = Amount().toStdString();
    if (IsValidAmount(amount)) {
        amount_shown_ = true;
        if (context_.write_face_pay_port) context_.write_face_pay_port(ShowCommand());
    } else {
        amount_shown_ = false;
    }
}

void CPayDlg::ChoosePanel(QWidget* option) {
    if (option == opt_static_) {
        if (panel_scan_) panel_scan_->hide();
        if (panel_qr_) panel_qr_->hide();
        QWidget* owner = context_.main_window ? context_.main_window : window();
        ui::ShowMessage(owner, Q(kStaticQrClosedText));
        ui::Page::SetTimer(opt_static_, kStaticQrTimerId, 50);
        return;
    }
    const bool qr = option == opt_qr_;
    if (panel_scan_) panel_scan_->setVisible(!qr);
    if (panel_qr_) panel_qr_->setVisible(qr);
    QLineEdit* focus = qr ? qr_money_ : barcode_;
    if (focus) focus->setFocus();
}

bool CPayDlg::StartQrPayment() {
    if (!qr_money_ || !qr_type_) return false;
    const QString amount = qr_money_->text().trimmed();
    QWidget* owner = context_.main_window ? context_.main_window : window();
    if (!IsValidAmount(amount.toStdString())) {
        ui::ShowMessage(owner, Q(kBadAmountText));
        return false;
    }
    PayResultPageView* result = context_.result_page;
    if (!result) return false;
    if (auto* page = dynamic_cast<CPayResultDlg*>(result); page && page->Busy()) return false;
    if (context_.select_tab) context_.select_tab(checkout_tab::kResult);
    result->ClearResult();
    result->SetReturnText(Q(kQrReturnLabel));
    result->SetCancelOrRefundText(Q(kCancelOrRefundLabel));
    result->PreCreate(amount, qr_type_->currentText());
    qr_money_->clear();
    return true;
}

// Print again: the receipt goes to the main window as a payment result, marked so that it
// is printed even when automatic printing is off.
void CPayDlg::PrintAgain() {
    if (!receipt_ || receipt_->text().isEmpty()) return;
    receipt_->setProperty(kPrintBillProperty, Q(kPrintBillMark));
    if (context_.sink)
        context_.sink->SendCommand(common::CheckoutCommand::PaymentSuccess,
                                   common::Utf8ToGbk(receipt_->text().toStdString()));
}

void CPayDlg::ToggleKeyWindow() {
    if (!key_window_) {
        QWidget* main = context_.main_window ? context_.main_window : window();
        key_window_ = new CKeyWindow(context_.config, main, context_.desktop);
    }
    key_window_->setVisible(!key_window_->isVisible());
}

}  // namespace tendrix::checkout
