#include "checkout/pages/refund_dlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_logic.h"
#include "context/app_config.h"
#include "store/settings_keys.h"

namespace tendrix::checkout {
namespace {

const QString kChooseReason = QStringLiteral("请选择原因");

}  // namespace

CRefundOrCloseOrderDlg::CRefundOrCloseOrderDlg(QWidget* parent)
    : ui::Page(QStringLiteral("RefundOrCloseDlg"), QStringLiteral("RefundOrCloseDlg.xml"), parent) {
}

void CRefundOrCloseOrderDlg::DoInit() {
    giveup_order_ = FindControl<QLineEdit>(QStringLiteral("giveup_ordid_edit"));
    cancel_reason_ = FindControl<QLineEdit>(QStringLiteral("cancelreason_edit"));
    refund_order_ = FindControl<QLineEdit>(QStringLiteral("refundorderinput"));
    refund_money_ = FindControl<QLineEdit>(QStringLiteral("refundmoneyinput"));
    refund_reason_ = FindControl<QLineEdit>(QStringLiteral("refundreason_edit"));
    cancel_reasons_ = FindControl<QComboBox>(QStringLiteral("cancelreason_comb"));
    refund_reasons_ = FindControl<QComboBox>(QStringLiteral("refundreason_comb"));
    panel_cancel_ = FindControl(QStringLiteral("timeoutcancel"));
    panel_refund_ = FindControl(QStringLiteral("refund"));
    opt_cancel_ = FindControl<QAbstractButton>(QStringLiteral("opt_cancel_panel"));
    opt_refund_ = FindControl<QAbstractButton>(QStringLiteral("opt_refund_panel"));
    notice_ = FindControl<QLabel>(QStringLiteral("lab_refund_notice"));
    BuildNestedPages(this, nullptr);
    ShowPanel(false);
}

void CRefundOrCloseOrderDlg::Attach(const CheckoutContext& context) {
    context_ = context;
    BuildNestedPages(this, context.desktop);
    LoadReasons();
}

void CRefundOrCloseOrderDlg::LoadReasons() {
    context::AppConfig* config = context_.config;
    const auto reasons = ParseReasonList(
        config ? config->Setting(store::keys::sysCancelRefundPayReason) : std::string());
    for (QComboBox* box : {cancel_reasons_, refund_reasons_}) {
        if (!box) continue;
        const QSignalBlocker block(box);  // filling the list is not a choice
        box->clear();
        box->addItem(kChooseReason);
        for (const auto& r : reasons) box->addItem(QString::fromStdString(r));
        box->setCurrentIndex(0);
    }
}

void CRefundOrCloseOrderDlg::ApplyRefundPermission(const QString& permission) {
    const RefundFieldState s = RefundFieldFor(permission.toStdString());
    if (!s.applies || !refund_order_) return;
    refund_order_->setReadOnly(s.read_only);
    refund_order_->setEnabled(s.enabled);
    if (s.notice_applies && notice_) {
        notice_->setText(QString::fromStdString(s.notice));
        notice_->setEnabled(s.notice_enabled);
    }
}

QString CRefundOrCloseOrderDlg::CancelOrderNo() const {
    return giveup_order_ ? giveup_order_->text().trimmed() : QString();
}
QString CRefundOrCloseOrderDlg::CancelReason() const {
    return cancel_reason_ ? cancel_reason_->text() : QString();
}
void CRefundOrCloseOrderDlg::ClearCancelFields() {
    if (giveup_order_) giveup_order_->clear();
    if (cancel_reason_) cancel_reason_->clear();
    if (cancel_reasons_) cancel_reasons_->setCurrentIndex(0);
}
QString CRefundOrCloseOrderDlg::RefundOrderNo() const {
    return refund_order_ ? refund_order_->text().trimmed() : QString();
}
QString CRefundOrCloseOrderDlg::RefundAmount() const {
    return refund_money_ ? refund_money_->text().trimmed() : QString();
}
QString CRefundOrCloseOrderDlg::RefundReason() const {
    return refund_reason_ ? refund_reason_->text() : QString();
}
void CRefundOrCloseOrderDlg::ClearRefundFields() {
    if (refund_money_) refund_money_->clear();
    if (refund_order_) refund_order_->clear();
    if (refund_reason_) refund_reason_->clear();
    if (refund_reasons_) refund_reasons_->setCurrentIndex(0);
}

void CRefundOrCloseOrderDlg::PrefillOrder(const QString& order_no, bool cancel) {
    if (giveup_order_) giveup_order_->setText(order_no);
    if (refund_order_) refund_order_->setText(order_no);
    ShowPanel(cancel);
    QLineEdit* next = cancel ? cancel_reason_ : refund_money_;
    if (next) next->setFocus();
}

void CRefundOrCloseOrderDlg::ShowPanel(bool cancel) {
    if (panel_cancel_) panel_cancel_->setVisible(cancel);
    if (panel_refund_) panel_refund_->setVisible(!cancel);
    QAbstractButton* opt = cancel ? opt_cancel_ : opt_refund_;
    if (opt && !opt->isChecked()) {
        const QSignalBlocker block(opt);
        opt->setChecked(true);
    }
}

void CRefundOrCloseOrderDlg::Notify(const ui::Notification& msg) {
    const QString name = msg.name();
    if (msg.type == QLatin1String(ui::kSelectChanged)) {
        if (msg.sender == opt_cancel_) ShowPanel(true);
        if (msg.sender == opt_refund_) ShowPanel(false);
        return;
    }
    if (msg.type == QLatin1String(ui::kItemSelect)) {
        // A chosen reason fills the reason field; the placeholder row leaves it alone.
        auto* box = qobject_cast<QComboBox*>(msg.sender);
        QLineEdit* field = msg.sender == cancel_reasons_   ? cancel_reason_
                           : msg.sender == refund_reasons_ ? refund_reason_
                                                           : nullptr;
        if (box && field && msg.index > 0) {
            field->setText(box->itemText(msg.index));
            field->setFocus();
        }
        return;
    }
    if (msg.type != QLatin1String(ui::kClick)) return;
    // The confirm buttons act as Enter in the reason field, which the main window submits.
    if (name == QLatin1String("btn_cancel_submit") && cancel_reason_)
        emit cancel_reason_->returnPressed();
    else if (name == QLatin1String("btn_refund_submit") && refund_reason_)
        emit refund_reason_->returnPressed();
}

}  // namespace tendrix::checkout
