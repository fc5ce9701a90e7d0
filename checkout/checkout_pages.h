#pragma once
// What the main window (CMainDlg) calls on the checkout pages and the payment popup, and
// how pages reach the main window. Pages are ui::Page widgets created by name through the
// page factory ("PayDlg", "PayResultDlg", "OrderCheckDlg", "SingleProductVerificationDlg",
// "FacePayDlg", "PrePayAuthorizationDlg", "RefundOrCloseDlg"); the main window finds these
// interfaces on them with dynamic_cast and hands each page a CheckoutContext right after
// the main layout is built.
//
// Tabs of the main window's stacked layout `switch` (OptionUI1..OptionUI6 select 0..5):
//   0 PayDlg, 1 PrePayAuthorizationDlg, 2 SingleProductVerificationDlg, 3 FacePayDlg,
//   4 RefundOrCloseDlg, 5 OrderCheckDlg, 6 PayResultDlg.
// Return buttons (`btn_return`) of every page are watched by the main window: after the
// page's own "click" handling, "返回" and "二维码支付返回" select tab 0, "预授权返回" tab 1,
// "上一步返回" tab 4.
#include <QString>
#include <functional>
#include <string>

#include "common/checkout_command.h"

class QWidget;

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::checkout {

namespace checkout_tab {
inline constexpr int kPay = 0, kPreAuth = 1, kProductVerification = 2, kFacePay = 3, kRefund = 4,
                     kOrderCheck = 5, kResult = 6;
}  // namespace checkout_tab

// The payment popup (CPayPopupDlg), bottom-right of the screen.
class PaymentPopupView {
  public:
    virtual ~PaymentPopupView() = default;
    // Result text ("支付成功！", "退款成功！", ...) and amount text: caption and picture by
    // the result text, shown without activation for four seconds.
    virtual void ShowResult(const QString& result, const QString& amount) = 0;
    // Command 15: sets the result label only.
    virtual void ShowText(const QString& text) = 0;
    virtual bool IsPopupVisible() const = 0;
};

class PayResultPageView;
class PayPageView;
class RefundPageView;

// Everything a page may use of the main window. Pointers are non-owning and live as long as
// the main window; any of them may be null in a test that builds a page on its own.
struct CheckoutContext {
    context::AppConfig* config = nullptr;
    common::CommandSink* sink = nullptr;  // commands 1..15 (Send on the UI thread, Post elsewhere)
    QWidget* main_window = nullptr;
    PaymentPopupView* popup = nullptr;
    desktop::DesktopServices* desktop = nullptr;  // null when no desktop is available
    // Selects a tab of `switch` (checkout_tab numbers).
    std::function<void(int tab)> select_tab;
    // Writes bytes to the face-pay device port; false when the port is not open.
    std::function<bool(const std::string& bytes)> write_face_pay_port;
    // The sibling pages (null when not built).
    PayPageView* pay_page = nullptr;
    PayResultPageView* result_page = nullptr;
    RefundPageView* refund_page = nullptr;
};

// Every checkout page.
class CheckoutPageView {
  public:
    virtual ~CheckoutPageView() = default;
    // Called once after the main layout is built (and again never).
    virtual void Attach(const CheckoutContext& context) = 0;
    // Called when the main window is shown (true) or hidden (false).
    virtual void OnMainWindowShown(bool /*shown*/) {}
};

// "PayDlg": amount `moneyinput`, payment code `barcodeinput`, receipt control.
class PayPageView : public CheckoutPageView {
  public:
    virtual QString Amount() const = 0;
    virtual void SetAmount(const QString& yuan) = 0;
    virtual QString PaymentCode() const = 0;
    // Sets the code field (scanner hand-off) without starting the payment.
    virtual void SetPaymentCode(const QString& code) = 0;
    // The receipt control carries the mark "printBill" (a reprint was asked for).
    virtual bool PrintBillMarked() const = 0;
    virtual void ClearPrintBillMark() = 0;
    // The amount-shown flag (the amount was announced to the face-pay device).
    virtual void SetAmountShown(bool shown) = 0;
    virtual bool AmountShown() const = 0;
    // Command 14: the keypad window's id, decimal text.
    virtual void SetKeypadWindow(const std::string& window_id) = 0;
};

// "PayResultDlg": carries one order from creation to its outcome.
class PayResultPageView : public CheckoutPageView {
  public:
    // Amount in yuan text, payment code, pay type code ("" = no orderType).
    virtual void StartPayment(const QString& amount, const QString& code,
                              const QString& pay_type) = 0;
    // QR payment: amount and chosen pay type name.
    virtual void PreCreate(const QString& amount, const QString& pay_type_name) = 0;
    virtual void Refund(const QString& amount, const QString& order_no, const QString& reason) = 0;
    virtual void Cancel(const QString& order_no, const QString& reason) = 0;
    // Clears the result text `tade_result`.
    virtual void ClearResult() = 0;
    // Texts of `btn_return` and `btn_cancelorrefund`.
    virtual void SetReturnText(const QString& text) = 0;
    virtual void SetCancelOrRefundText(const QString& text) = 0;
    // Acts as a click on the page's close control (used when the main window hides).
    virtual void PressClose() = 0;
    virtual void SetPopup(PaymentPopupView* popup) = 0;
    // Order in hand: deposit or platform order number and its state number (-1 unknown).
    virtual void CurrentOrder(QString& order_no, int& state) const = 0;
    // An operation of the cashier awaits the platform's answer: nothing new may start.
    virtual bool Busy() const { return false; }
};

// "RefundOrCloseDlg": collects the order number and reason; the main window submits them.
class RefundPageView : public CheckoutPageView {
  public:
    // Refund permission text of the cashier: "当笔可退", "扫码可退" or "不可退款"; any other
    // text leaves the page unchanged.
    virtual void ApplyRefundPermission(const QString& permission) = 0;
    virtual QString CancelOrderNo() const = 0;  // giveup_ordid_edit
    virtual QString CancelReason() const = 0;   // cancelreason_edit
    virtual void ClearCancelFields() = 0;
    virtual QString RefundOrderNo() const = 0;  // refundorderinput
    virtual QString RefundAmount() const = 0;   // refundmoneyinput
    virtual QString RefundReason() const = 0;   // refundreason_edit
    virtual void ClearRefundFields() = 0;       // the three refund fields
};

}  // namespace tendrix::checkout
