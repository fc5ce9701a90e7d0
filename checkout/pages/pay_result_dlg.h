#pragma once
// CPayResultDlg ("PayResultDlg", layout PayResultDlg.xml): the page that carries one order
// from its creation to its outcome. A thin shell over PayResultSession: it shows the result
// text in `tade_result`, runs timer 9 on it and timer 45 on `btn_return`, and shows the
// session's messages in the shared message box. Platform exchanges run on the background
// workers; while one of the cashier's operations awaits its answer the page says so and
// the buttons that would start another are disabled. It also owns the background check of
// unresolved orders (OrderReconciler).
#include <memory>

#include "checkout/checkout_pages.h"
#include "checkout/pages/result_session.h"
#include "ui/window.h"

class QAbstractButton;
class QPlainTextEdit;

namespace tendrix::checkout {

class QrLabel;
class UnresolvedOrderStore;

class CPayResultDlg : public ui::Page, public PayResultPageView, public ResultPageView {
    Q_OBJECT
  public:
    explicit CPayResultDlg(QWidget* parent = nullptr);
    ~CPayResultDlg() override;

    void DoInit() override;
    void Notify(const ui::Notification& msg) override;

    // CheckoutPageView / PayResultPageView
    void Attach(const CheckoutContext& context) override;
    void StartPayment(const QString& amount, const QString& code, const QString& pay_type) override;
    void PreCreate(const QString& amount, const QString& pay_type_name) override;
    void Refund(const QString& amount, const QString& order_no, const QString& reason) override;
    void Cancel(const QString& order_no, const QString& reason) override;
    void ClearResult() override;
    void SetReturnText(const QString& text) override;
    void SetCancelOrRefundText(const QString& text) override;
    void PressClose() override;
    void SetPopup(PaymentPopupView* popup) override { popup_ = popup; }
    void CurrentOrder(QString& order_no, int& state) const override;

    // Shows the oldest unresolved order and queries it (the pay page's notice).
    bool ShowOldestUnresolved();
    int UnresolvedCount();

    PayResultSession* session() { return session_.get(); }
    UnresolvedOrderStore* unresolved_store() { return store_.get(); }
    class OrderReconciler* reconciler() {
        return reconciler_;
    }
    // A cashier's operation awaits the platform's answer.
    bool Busy() const override { return session_ && session_->busy(); }
    // Runs exchanges at once on the window thread instead of the workers (unit tests).
    void RunExchangesInline() { inline_exchanges_ = true; }

    // ResultPageView
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ShowResultText(const std::string& text) override;
    void SetTimer(int id, int ms) override;
    void KillTimer(int id) override;
    void SetCancelButtonText(const std::string& text) override;
    void ShowQrCode(const std::string& link, int number) override;
    void HideQrCode() override;
    void SetQrText(const std::string& text) override;
    void ShowPopup(const std::string& title, const std::string& amount) override;
    void OnOrderFinished(const std::string& receipt) override;
    void OnUnresolvedChanged() override;
    void SetBusy(const std::string& text) override;

  private:
    void EnsureSession();
    ExchangeRunner Runner();
    void OpenRefundPage();
    QWidget* Owner() const;

    CheckoutContext context_;
    PaymentPopupView* popup_ = nullptr;
    std::unique_ptr<UnresolvedOrderStore> store_;
    std::unique_ptr<PayResultSession> session_;
    QPlainTextEdit* result_ = nullptr;
    QAbstractButton* btn_return_ = nullptr;
    QAbstractButton* btn_cancel_ = nullptr;
    QAbstractButton* btn_print_ = nullptr;
    QAbstractButton* btn_check_ = nullptr;
    QrLabel* qr_ = nullptr;
    class OrderReconciler* reconciler_ = nullptr;  // child QObject
    bool inline_exchanges_ = false;
};

}  // namespace tendrix::checkout
