#pragma once
// CRefundOrCloseOrderDlg ("RefundOrCloseDlg", layout RefundOrCloseDlg.xml): collects the
// order number, amount and reason of a refund or a cancel. Enter in a reason field (or its
// confirm button) goes to the main window, which submits it to the result page.
#include "checkout/checkout_pages.h"
#include "ui/window.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;

namespace tendrix::checkout {

class CRefundOrCloseOrderDlg : public ui::Page, public RefundPageView {
    Q_OBJECT
  public:
    explicit CRefundOrCloseOrderDlg(QWidget* parent = nullptr);

    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // RefundPageView
    void Attach(const CheckoutContext& context) override;
    void ApplyRefundPermission(const QString& permission) override;
    QString CancelOrderNo() const override;
    QString CancelReason() const override;
    void ClearCancelFields() override;
    QString RefundOrderNo() const override;
    QString RefundAmount() const override;
    QString RefundReason() const override;
    void ClearRefundFields() override;

    // The order in hand from the result page: fills both order fields and shows the cancel
    // panel (`cancel`) or the refund panel.
    void PrefillOrder(const QString& order_no, bool cancel);
    void ShowPanel(bool cancel);
    // Refills both reason lists from sysCancelRefundPayReason.
    void LoadReasons();

  private:
    CheckoutContext context_;
    QLineEdit* giveup_order_ = nullptr;
    QLineEdit* cancel_reason_ = nullptr;
    QLineEdit* refund_order_ = nullptr;
    QLineEdit* refund_money_ = nullptr;
    QLineEdit* refund_reason_ = nullptr;
    QComboBox* cancel_reasons_ = nullptr;
    QComboBox* refund_reasons_ = nullptr;
    QWidget* panel_cancel_ = nullptr;  // timeoutcancel
    QWidget* panel_refund_ = nullptr;  // refund
    QAbstractButton* opt_cancel_ = nullptr;
    QAbstractButton* opt_refund_ = nullptr;
    QLabel* notice_ = nullptr;
};

}  // namespace tendrix::checkout
