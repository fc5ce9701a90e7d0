#pragma once
// The payment result page's logic, without widgets: it creates, queries, refunds, cancels
// and pre-creates orders, keeps the result text the page shows and reads it back, drives
// timer 9 (first query after 50 ms, then every 2000 ms, armed once) and timer 45 (automatic
// return), and hands receipts, voice, the paid amount and the show/hide toggle to the main
// window through its command sink.
//
// The page (or a test) implements ResultPageView and calls OnTimer(id) when a timer fires.
#include <string>
#include <string_view>

#include "common/checkout_command.h"

namespace tendrix {
class AppConfig;
}

namespace tendrix::checkout {

class UnresolvedOrderStore;

// What the session asks of the page that shows it.
class ResultPageView {
  public:
    virtual ~ResultPageView() = default;
    virtual void ShowMessage(const std::string& text) = 0;  // box titled "提示"
    // A yes/no question; true for "是(Y)".
    virtual bool AskYesNo(const std::string& text) = 0;
    virtual void ShowResultText(const std::string& text) = 0;  // tade_result
    // Timers 9 (on tade_result) and 45 (on btn_return); setting a running id restarts it.
    virtual void SetTimer(int id, int ms) = 0;
    virtual void KillTimer(int id) = 0;
    virtual void SetCancelButtonText(const std::string& text) = 0;  // btn_cancelorrefund
    // The QR code area: draw a link (picture number n), hide it, or show a plain text.
    virtual void ShowQrCode(const std::string& link, int number) = 0;
    virtual void HideQrCode() = 0;
    virtual void SetQrText(const std::string& text) = 0;
    // The payment popup with a title of the popup table and an amount text.
    virtual void ShowPopup(const std::string& title, const std::string& amount) = 0;
    // An order was found paid or refunded; `receipt` is its receipt text (UTF-8).
    virtual void OnOrderFinished(const std::string& /*receipt*/) {}
    // The list of unresolved orders may have changed.
    virtual void OnUnresolvedChanged() {}
};

// What Current order reads back out of the result text.
struct CurrentOrderInfo {
    std::string order_id;  // deposit order number when present, else platform order number
    int state = -1;        // the number of the "支付状态：" line; -1 when there is none
};

class PayResultSession {
  public:
    PayResultSession(AppConfig& config, ResultPageView& view, CommandSink* sink,
                     UnresolvedOrderStore* unresolved);

    void set_command_sink(CommandSink* sink) { sink_ = sink; }
    void set_unresolved_store(UnresolvedOrderStore* store) { unresolved_ = store; }

    // Main window operations.
    // Returns false when nothing was sent (refused amount, or the cashier chose to look at
    // the unresolved orders first).
    bool StartPayment(const std::string& amount_yuan, const std::string& pay_code,
                      const std::string& pay_type_code);
    bool PreCreate(const std::string& amount_yuan, const std::string& pay_type_name);
    bool Refund(const std::string& amount_yuan, const std::string& order_id,
                const std::string& reason);
    bool Cancel(const std::string& order_id, const std::string& reason);
    CurrentOrderInfo CurrentOrder() const;

    // Notifications.
    void OnTimer(int id);             // 9: query; 45: automatic return
    void OnCheckClick() { Query(); }  // btn_check
    void OnPrintClick();              // btn_print_bill
    void OnReturnClick();             // btn_return

    // Shows the unresolved orders and, unless the cashier goes on, queries the oldest.
    // Returns true when the cashier chose to go on with a new payment (or nothing is open).
    bool GuardUnresolved();
    // Puts the oldest unresolved order into the result text and queries it at once.
    bool ShowOldestUnresolved();

    void ClearResult();  // the main window empties tade_result before each operation
    const std::string& result_text() const { return result_text_; }
    const std::string& print_data() const { return print_data_; }    // btn_print_bill
    const std::string& return_mark() const { return return_mark_; }  // btn_return
    int query_timer_ms() const { return timer9_ms_; }                // 0: stopped
    int return_timer_ms() const { return timer45_ms_; }
    static bool polling() { return polling_flag_; }

    // Text helpers, shared with the pages and tests.
    static int StateOf(std::string_view result_text);
    static std::string PlatformOrderOf(std::string_view result_text);
    static std::string MerchantOrderOf(std::string_view result_text);
    static std::string DepositOrderOf(std::string_view result_text);
    // Text after `label` on the line that begins with it, up to "元" or the line end.
    static std::string AmountAfter(std::string_view result_text, std::string_view label);
    static bool IsDepositFreeze(std::string_view result_text);
    std::string ReceiptText() const;

  private:
    // Parses a refund or close answer: on success it becomes the result text (true); otherwise
    // the platform's message (or the malformed-answer text) is shown (false).
    bool TakeOrderAnswer(std::string& answer);
    void Query();
    void FinishOrder(int state);
    bool TryAlternateNumber(const std::string& out_order_id);
    void SetResult(std::string text);
    void StartQueryTimer(int ms);
    void StopQueryTimer();
    void Send(CheckoutCommand cmd, std::string payload);

    AppConfig& config_;
    ResultPageView& view_;
    CommandSink* sink_;
    UnresolvedOrderStore* unresolved_;

    std::string result_text_;
    std::string print_data_;
    std::string return_mark_;
    std::string after_payment_amount_;
    std::string after_payment_order_;  // platform order whose amount was last sent (13)
    int timer9_ms_ = 0;
    int timer45_ms_ = 0;

    // Process-wide, used only on the user-interface thread.
    static bool polling_flag_;
    static int qr_picture_counter_;
};

}  // namespace tendrix::checkout
