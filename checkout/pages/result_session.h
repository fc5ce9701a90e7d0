#pragma once
// The payment result page's logic, without widgets: it creates, queries, refunds, cancels
// and pre-creates orders, keeps the result text the page shows and reads it back, drives
// timer 9 (first query after 50 ms, then every 2000 ms, armed once) and timer 45 (automatic
// return), and hands receipts, voice, the paid amount and the show/hide toggle to the main
// window through its command sink.
//
// Every platform exchange goes through the exchange runner: the page runs it on a worker
// and hands the answer back on the window thread; without one (tests) it runs at once.
// While a cashier's operation is in flight a second one starts nothing. Each operation
// stops the polling of the order before it, and answers about an earlier order are dropped.
//
// The page (or a test) implements ResultPageView and calls OnTimer(id) when a timer fires.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/checkout_command.h"
#include "platform_api/platform_answer.h"

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::checkout {}

namespace tendrix::checkout {

class UnresolvedOrderStore;
struct UnresolvedOrder;

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
    // A cashier's operation is in flight (text to show, e.g. "正在支付，请稍候…"), or no
    // longer ("").
    virtual void SetBusy(const std::string& /*text*/) {}
};

// Runs `job` (a platform exchange returning its answer) and later calls `done` with the
// answer on the window thread.
using ExchangeRunner =
    std::function<void(std::function<platform_api::PlatformAnswer()> job,
                       std::function<void(platform_api::PlatformAnswer answer)> done)>;

// What Current order reads back out of the result text.
struct CurrentOrderInfo {
    std::string order_id;  // deposit order number when present, else platform order number
    int state = -1;        // the number of the "支付状态：" line; -1 when there is none
};

class PayResultSession {
  public:
    PayResultSession(context::AppConfig& config, ResultPageView& view, common::CommandSink* sink,
                     UnresolvedOrderStore* unresolved);

    void set_command_sink(common::CommandSink* sink) { sink_ = sink; }
    void set_unresolved_store(UnresolvedOrderStore* store) { unresolved_ = store; }
    void set_exchange_runner(ExchangeRunner runner) { runner_ = std::move(runner); }
    // Told after every exchange whether the platform was reached (false: network failure).
    void set_reach_observer(std::function<void(bool reached)> observer) {
        reach_observer_ = std::move(observer);
    }

    // Main window operations.
    // Returns false when nothing was sent (an operation still in flight, a refused amount
    // or payment code, a record that could not be written, no refund permission, or the
    // cashier chose to look at the unresolved orders first).
    bool StartPayment(const std::string& amount_yuan, const std::string& pay_code,
                      const std::string& pay_type_code);
    bool PreCreate(const std::string& amount_yuan, const std::string& pay_type_name);
    bool Refund(const std::string& amount_yuan, const std::string& order_id,
                const std::string& reason);
    bool Cancel(const std::string& order_id, const std::string& reason);
    CurrentOrderInfo CurrentOrder() const;

    // Notifications.
    void OnTimer(int id);                 // 9: query; 45: automatic return
    void OnCheckClick() { Query(true); }  // btn_check
    void OnPrintClick();                  // btn_print_bill
    void OnReturnClick();                 // btn_return

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
    // The 2-second polling of the order in hand is armed.
    bool polling() const { return polling_; }
    // A cashier's operation (create, pre-create, refund, cancel, check) awaits its answer.
    bool busy() const { return !busy_text_.empty(); }
    // The page itself is following this order (polling it, or an operation or query on it
    // awaits its answer): background checks leave it to the page.
    bool Watching(const std::string& out_order_id, const std::string& order_id) const;

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
    bool TakeOrderAnswer(const platform_api::PlatformAnswer& answer);
    void Query(bool by_cashier = false);
    void OnCreated(const std::string& out_order_id, const platform_api::PlatformAnswer& answer);
    void OnQueried(uint64_t op, bool by_cashier, const std::string& order_id,
                   const std::string& out_order_id, const platform_api::PlatformAnswer& answer);
    void OnRefunded(const std::string& order_id, const platform_api::PlatformAnswer& answer);
    void OnCancelled(const platform_api::PlatformAnswer& answer);
    void OnPreCreated(const std::string& out_order_id, const platform_api::PlatformAnswer& answer);
    // After a refusal of a creation: asks whether the platform has the order at all, and
    // drops the record only on its explicit "no such order".
    void VerifyRefusedCreation(const std::string& out_order_id);
    void FinishOrder(int state, const std::string& out_order_id);
    bool TryAlternateNumber(const std::string& out_order_id);
    // A new operation: earlier polling stops and answers about earlier orders are dropped.
    void BeginOperation();
    void Run(std::function<platform_api::PlatformAnswer()> job,
             std::function<void(platform_api::PlatformAnswer)> done);
    void SetBusy(std::string text);
    bool WriteRecord(const UnresolvedOrder& record);
    void Resolve(const std::string& out_order_id, const std::string& order_id);
    void SetResult(std::string text);
    void StartQueryTimer(int ms);
    void StopQueryTimer();
    void Send(common::CheckoutCommand cmd, std::string payload);

    context::AppConfig& config_;
    ResultPageView& view_;
    common::CommandSink* sink_;
    UnresolvedOrderStore* unresolved_;

    std::string result_text_;
    std::string print_data_;
    std::string return_mark_;
    std::string after_payment_amount_;
    std::string after_payment_order_;  // platform order whose amount was last sent (13)
    int timer9_ms_ = 0;
    int timer45_ms_ = 0;
    ExchangeRunner runner_;
    std::function<void(bool)> reach_observer_;
    uint64_t op_ = 0;       // number of the operation whose order is in hand
    bool polling_ = false;  // the 2-second timer is armed for the order in hand
    bool query_in_flight_ = false;
    std::string busy_text_;  // non-empty while a cashier's operation awaits its answer

    // Process-wide, used only on the user-interface thread.
    static int qr_picture_counter_;
};

}  // namespace tendrix::checkout
