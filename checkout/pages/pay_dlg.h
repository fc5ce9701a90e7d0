#pragma once
// CPayDlg ("PayDlg", layout PayDlg.xml): the first tab. Amount `moneyinput`, payment code
// `barcodeinput` (Enter there starts the payment in the main window), the payment choice
// (customer's code / QR code shown to the customer / fixed QR code, not offered), the QR
// payment fields, the last receipt for printing again, and the notice of orders whose
// result is not yet known.
#include <QPointer>
#include <memory>

#include "checkout/checkout_pages.h"
#include "checkout/pages/key_controls.h"
#include "ui/window.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;

namespace tendrix::checkout {

class CPayDlg : public ui::Page, public PayPageView {
    Q_OBJECT
  public:
    explicit CPayDlg(QWidget* parent = nullptr);
    ~CPayDlg() override;

    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // PayPageView
    void Attach(const CheckoutContext& context) override;
    void OnMainWindowShown(bool shown) override;
    QString Amount() const override;
    void SetAmount(const QString& yuan) override;
    QString PaymentCode() const override;
    void SetPaymentCode(const QString& code) override;
    bool PrintBillMarked() const override;
    void ClearPrintBillMark() override;
    void SetAmountShown(bool shown) override { amount_shown_ = shown; }
    bool AmountShown() const override { return amount_shown_; }
    void SetKeypadWindow(const std::string& window_id) override { keypad_window_ = window_id; }
    const std::string& keypad_window() const { return keypad_window_; }

    // The receipt of the last finished order (Contain_print_msg).
    void ShowLastReceipt(const QString& receipt);
    // Re-reads the unresolved orders and shows or hides the notice.
    void RefreshUnresolved();
    // While a payment awaits the platform's answer no second one can be started here.
    void SetPaymentInFlight(bool in_flight);
    // Starts the QR-code payment from `qrmoney_input` and `qrbarcode_ordertype`.
    bool StartQrPayment();
    CKeyWindow* key_window() const { return key_window_.data(); }

    // Face-pay device commands.
    static const std::string& ShowCommand();  // 02 00 06 00 a3 00 00 01 17 03
    static const std::string& HideCommand();  // 02 00 06 08 a3 00 00 01 15 03 ba

  private:
    void CheckAmount();
    void ChoosePanel(QWidget* option);
    void PrintAgain();
    void ToggleKeyWindow();

    CheckoutContext context_;
    bool amount_shown_ = false;
    std::string keypad_window_;
    QLineEdit* money_ = nullptr;
    QLineEdit* barcode_ = nullptr;
    QLineEdit* qr_money_ = nullptr;
    QComboBox* qr_type_ = nullptr;
    QLabel* static_msg_ = nullptr;
    QWidget* panel_scan_ = nullptr;
    QWidget* panel_qr_ = nullptr;
    QAbstractButton* opt_scan_ = nullptr;
    QAbstractButton* opt_qr_ = nullptr;
    QAbstractButton* opt_static_ = nullptr;
    QAbstractButton* receipt_ = nullptr;  // Contain_print_msg
    QLabel* unresolved_label_ = nullptr;
    QAbstractButton* unresolved_button_ = nullptr;
    QAbstractButton* qr_pay_button_ = nullptr;
    QPointer<CKeyWindow> key_window_;
};

}  // namespace tendrix::checkout
