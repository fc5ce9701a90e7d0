#include "checkout/pages/result_session.h"

#include <cctype>
#include <ctime>
#include <memory>

#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "context/code_tables.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "store/settings_keys.h"

namespace tendrix::checkout {

int PayResultSession::qr_picture_counter_ = 0;

namespace {

std::string Join(const platform_api::TextList& lines) {
    std::string text;
    for (const auto& l : lines) text += l;
    return text;
}

// Text after `key` up to the next line break (or the end).
std::string ValueAfter(std::string_view text, std::string_view key) {
    size_t at = text.find(key);
    if (at == std::string_view::npos) return {};
    at += key.size();
    size_t end = text.find_first_of("\r\n", at);
    return std::string(text.substr(at, end == std::string_view::npos ? end : end - at));
}

int ParseInt(const std::string& text) {
    // Whole number at the start, as the settings store it; anything else reads as 0.
    long value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool any = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        any = true;
        value = value * 10 + (text[i] - '0');
        if (value > 86400) return 86400;  // a day is more than any return delay needs
    }
    return any ? static_cast<int>(value) : 0;
}

}  // namespace

PayResultSession::PayResultSession(context::AppConfig& config, ResultPageView& view,
                                   common::CommandSink* sink, UnresolvedOrderStore* unresolved)
    : config_(config), view_(view), sink_(sink), unresolved_(unresolved) {}

// ---- reading the result text ----

int PayResultSession::StateOf(std::string_view text) {
    size_t at = text.find(kStateLabel);
    if (at == std::string_view::npos) return -1;
    size_t line_end = text.find("\r\n", at);
    std::string_view line =
        text.substr(at, line_end == std::string_view::npos ? line_end : line_end - at);
    size_t open = line.find("（");
    if (open == std::string_view::npos) return -1;
    open += std::string_view("（").size();
    size_t close = line.find("）", open);
    if (close == std::string_view::npos) return -1;
    std::string_view digits = line.substr(open, close - open);
    if (digits.empty() || digits.size() > 9) return -1;
    int value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string PayResultSession::PlatformOrderOf(std::string_view text) {
    return ValueAfter(text, kOrderNumberKey);
}

std::string PayResultSession::MerchantOrderOf(std::string_view text) {
    return ValueAfter(text, kMerchantOrderKey);
}

std::string PayResultSession::DepositOrderOf(std::string_view text) {
    // The heading line is followed by the number on the next line.
    size_t at = text.find(kDepositOrderKey);
    if (at == std::string_view::npos) return {};
    at += kDepositOrderKey.size();
    if (text.substr(at, 2) == "\r\n") at += 2;
    size_t end = text.find("\r\n", at);
    return std::string(text.substr(at, end == std::string_view::npos ? end : end - at));
}

std::string PayResultSession::AmountAfter(std::string_view text, std::string_view label) {
    size_t at = 0;
    while (true) {
        at = text.find(label, at);
        if (at == std::string_view::npos) return {};
        if (at == 0 || text[at - 1] == '\n') break;  // the line begins with the label
        at += label.size();
    }
    at += label.size();
    size_t end = text.find_first_of("\r\n", at);
    std::string value(text.substr(at, end == std::string_view::npos ? end : end - at));
    size_t yuan = value.find("元");
    if (yuan != std::string::npos) value.resize(yuan);
    return value;
}

bool PayResultSession::IsDepositFreeze(std::string_view text) {
    const bool deposit = text.find(platform_api::kAlipayDepositName) != std::string_view::npos ||
                         text.find(platform_api::kWechatDepositName) != std::string_view::npos;
    const bool converted = text.find("支付宝预付款(转支付)") != std::string_view::npos ||
                           text.find("微信预付款(转支付)") != std::string_view::npos;
    return deposit && !converted;
}

CurrentOrderInfo PayResultSession::CurrentOrder() const {
    CurrentOrderInfo info;
    info.order_id = DepositOrderOf(result_text_);
    if (info.order_id.empty()) info.order_id = PlatformOrderOf(result_text_);
    info.state = StateOf(result_text_);
    return info;
}

std::string PayResultSession::ReceiptText() const {
    return config_.Setting(store::keys::sysBillFirstMsg) + "\r\n" + result_text_ +
           std::string(kSignatureBlock);
}

bool PayResultSession::Watching(const std::string& out_order_id,
                                const std::string& order_id) const {
    if (busy()) return true;  // a creation in flight may be this very order
    if (timer9_ms_ == 0 && !query_in_flight_) return false;
    const std::string out = MerchantOrderOf(result_text_);
    const std::string id = PlatformOrderOf(result_text_);
    return (!out.empty() && out == out_order_id) || (!id.empty() && id == order_id);
}

// ---- page state ----

void PayResultSession::SetResult(std::string text) {
    result_text_ = std::move(text);
    view_.ShowResultText(result_text_);
}

void PayResultSession::ClearResult() {
    if (busy()) return;  // the text belongs to the operation in flight
    SetResult(std::string());
}

void PayResultSession::StartQueryTimer(int ms) {
    timer9_ms_ = ms;
    view_.SetTimer(kQueryTimerId, ms);
}

// Whenever timer 9 stops, the order in hand is no longer polled.
void PayResultSession::StopQueryTimer() {
    timer9_ms_ = 0;
    polling_ = false;
    view_.KillTimer(kQueryTimerId);
}

void PayResultSession::Send(common::CheckoutCommand cmd, std::string payload) {
    if (sink_) sink_->SendCommand(cmd, std::move(payload));
}

void PayResultSession::SetBusy(std::string text) {
    busy_text_ = std::move(text);
    view_.SetBusy(busy_text_);
}

void PayResultSession::BeginOperation() {
    ++op_;
    StopQueryTimer();
    query_in_flight_ = false;
}

void PayResultSession::Run(std::function<platform_api::PlatformAnswer()> job,
                           std::function<void(platform_api::PlatformAnswer)> done) {
    auto report = [this, done = std::move(done)](platform_api::PlatformAnswer answer) {
        if (reach_observer_) reach_observer_(answer.error != platform_api::PlatformError::kNetwork);
        done(std::move(answer));
    };
    if (runner_) {
        runner_(std::move(job), std::move(report));
    } else {
        report(job());
    }
}

bool PayResultSession::WriteRecord(const UnresolvedOrder& record) {
    if (!unresolved_) return true;
    if (!unresolved_->Add(record)) {
        view_.ShowMessage(std::string(kRecordWriteFailedText) + unresolved_->last_error());
        return false;
    }
    view_.OnUnresolvedChanged();
    return true;
}

void PayResultSession::Resolve(const std::string& out_order_id, const std::string& order_id) {
    if (!unresolved_ || (out_order_id.empty() && order_id.empty())) return;
    if (unresolved_->Resolve(out_order_id, order_id)) view_.OnUnresolvedChanged();
}

// ---- operations ----

bool PayResultSession::GuardUnresolved() {
    if (!unresolved_) return true;
    auto open = unresolved_->List();
    if (open.empty()) return true;
    std::string question = "以下订单的支付结果尚未确认，顾客可能已经付款：\r\n" +
                           DescribeUnresolved(open) +
                           "仍要发起新的收款请选“是”，先查询这些订单请选“否”。";
    if (view_.AskYesNo(question)) return true;
    ShowOldestUnresolved();
    return false;
}

bool PayResultSession::ShowOldestUnresolved() {
    if (!unresolved_ || busy()) return false;
    auto open = unresolved_->List();
    if (open.empty()) return false;
    const UnresolvedOrder& o = open.front();
    std::string text = std::string(kDeviceOrderLabel) + o.out_order_id + "\r\n";
    if (!o.order_id.empty()) text += "订单号：" + o.order_id + "\r\n";
    BeginOperation();
    SetResult(text);
    StartQueryTimer(kFirstQueryDelayMs);
    return true;
}

bool PayResultSession::StartPayment(const std::string& amount_yuan, const std::string& pay_code,
                                    const std::string& pay_type_code) {
    if (busy()) return false;  // one payment at a time: Enter again starts nothing
    view_.HideQrCode();
    const std::string fen = platform_api::YuanToFenText(amount_yuan);
    if (fen.find_first_not_of('0') == std::string::npos) {
        // An amount the platform cannot take (malformed, or nothing to charge) is never sent.
        view_.ShowMessage(std::string(kBadAmountText));
        return false;
    }
    if (!platform_api::IsPaymentCodeText(pay_code)) {
        view_.ShowMessage(std::string(kBadPayCodeText));
        return false;
    }
    if (!GuardUnresolved()) return false;
    BeginOperation();

    // Write ahead: the number the request carries is on disk before it leaves; when that
    // cannot be done nothing is sent.
    const std::time_t now = std::time(nullptr);
    UnresolvedOrder record;
    record.out_order_id = platform_api::MakeOutOrderId(now, pay_code);
    record.amount = amount_yuan;
    record.pay_code = pay_code;
    record.created_at = now;
    if (!WriteRecord(record)) return false;

    SetBusy(std::string(kPayingText));
    const platform_api::PlatformClient client(config_);
    const std::string out = record.out_order_id;
    Run([client, out, fen, pay_code,
         pay_type_code] { return client.CreateOrder(out, fen, pay_code, pay_type_code); },
        [this, out](const platform_api::PlatformAnswer& answer) { OnCreated(out, answer); });
    return true;
}

void PayResultSession::OnCreated(const std::string& out,
                                 const platform_api::PlatformAnswer& answer) {
    SetBusy(std::string());
    if (answer.error == platform_api::PlatformError::kNetwork) {
        if (unresolved_) unresolved_->Confirm(out, out, "");
        view_.ShowMessage(std::string(kCreateNetworkFailureText));
        SetResult(std::string(kDeviceOrderLabel) + out);
        return;
    }

    const platform_api::PlatformResult<platform_api::TextList> order =
        platform_api::ParseOrderAnswer(answer);
    if (order.ok()) {
        std::string text = Join(order.value);
        for (const auto& l : order.value) {
            if (l.rfind(kDepositOrderLine, 0) == 0) {
                view_.SetCancelButtonText(std::string(kCancelOrThawLabel));
                break;
            }
        }
        if (unresolved_) unresolved_->Confirm(out, out, PlatformOrderOf(text));
        SetResult(std::move(text));
    } else {
        if (unresolved_) unresolved_->Confirm(out, out, "");
        if (order.error == platform_api::PlatformError::kRefused ||
            order.error == platform_api::PlatformError::kNoSuchOrder) {
            // Most refusals mean no order was made, but only the platform's "no such order"
            // proves it ("系统繁忙" may come after the order was taken).
            VerifyRefusedCreation(out);
        } else {
            // An answer that cannot be read leaves the order's fate open: keep the merchant
            // order number in the result text so that the query finds it.
            SetResult(std::string(kDeviceOrderLabel) + out);
        }
        view_.ShowMessage(order.message);
    }
    StartQueryTimer(kFirstQueryDelayMs);
}

void PayResultSession::VerifyRefusedCreation(const std::string& out) {
    if (!unresolved_) return;
    const platform_api::PlatformClient client(config_);
    Run([client, out] { return client.QueryOrder("", out); },
        [this, out](const platform_api::PlatformAnswer& answer) {
            if (platform_api::ParseOrderAnswer(answer).error ==
                platform_api::PlatformError::kNoSuchOrder)
                Resolve(out, "");
        });
}

void PayResultSession::OnTimer(int id) {
    if (id == kQueryTimerId) {
        Query();
    } else if (id == kReturnTimerId) {
        OnReturnClick();
    }
}

void PayResultSession::Query(bool by_cashier) {
    if (query_in_flight_) return;  // the previous query still awaits its answer
    if (by_cashier && busy()) return;
    const std::string order_id = PlatformOrderOf(result_text_);
    const std::string out_order_id = MerchantOrderOf(result_text_);
    if (order_id.empty() && out_order_id.empty()) {
        StopQueryTimer();
        return;
    }
    query_in_flight_ = true;
    if (by_cashier) SetBusy(std::string(kQueryingText));
    const platform_api::PlatformClient client(config_);
    const uint64_t op = op_;
    Run([client, order_id, out_order_id] { return client.QueryOrder(order_id, out_order_id); },
        [this, op, by_cashier, order_id, out_order_id](const platform_api::PlatformAnswer& answer) {
            OnQueried(op, by_cashier, order_id, out_order_id, answer);
        });
}

void PayResultSession::OnQueried(uint64_t op, bool by_cashier, const std::string& order_id,
                                 const std::string& out_order_id,
                                 const platform_api::PlatformAnswer& answer) {
    if (by_cashier) SetBusy(std::string());
    if (op != op_) return;  // about an order the page has moved on from
    query_in_flight_ = false;
    if (answer.error == platform_api::PlatformError::kNetwork) {
        view_.ShowMessage(std::string(kQueryNetworkFailureText));
        StopQueryTimer();
        return;
    }

    const platform_api::PlatformResult<platform_api::TextList> order =
        platform_api::ParseOrderAnswer(answer);
    if (!order.ok()) {
        if (order.error == platform_api::PlatformError::kNoSuchOrder && unresolved_) {
            if (TryAlternateNumber(out_order_id)) return;
            Resolve(out_order_id, order_id);
        }
        view_.ShowMessage(order.message);
    } else {
        SetResult(Join(order.value));
    }

    const int state = StateOf(result_text_);
    switch (state) {
        case 1:
        case 12:
            if (!polling_) {
                StartQueryTimer(kPollPeriodMs);
                polling_ = true;
            }
            break;
        case 13:
            // Payment can still arrive after a time-out: the record stays.
            StopQueryTimer();
            view_.ShowMessage(std::string(kTimedOutText));
            break;
        case 4:
            StopQueryTimer();
            Resolve(out_order_id, PlatformOrderOf(result_text_));
            break;
        case 7:
        case 10:
        case 11:
            polling_ = false;
            FinishOrder(state, out_order_id);
            break;
        default:
            StopQueryTimer();
            break;
    }

    // The paid amount goes to the after-payment actions once, right after the query that
    // found the order paid.
    if (!after_payment_amount_.empty()) {
        std::string digits;
        for (char c : after_payment_amount_) {
            if ((std::isdigit(static_cast<unsigned char>(c)) || c == '.') && digits.size() < 49)
                digits += c;
        }
        after_payment_amount_.clear();
        Send(common::CheckoutCommand::AfterPayment, digits);
    }
}

// An order written down by an earlier version before its creation was answered carries the
// merchant number of that second and of the next: when the platform knows the first not,
// the second is asked before the order is given up.
bool PayResultSession::TryAlternateNumber(const std::string& out_order_id) {
    if (out_order_id.empty()) return false;
    for (const UnresolvedOrder& o : unresolved_->List()) {
        if (o.out_order_id != out_order_id || o.confirmed || o.alternate_id.empty()) continue;
        const std::string next = o.alternate_id;
        unresolved_->Confirm(out_order_id, next, "");
        SetResult(std::string(kDeviceOrderLabel) + next + "\r\n");
        StartQueryTimer(kFirstQueryDelayMs);
        return true;
    }
    return false;
}

void PayResultSession::FinishOrder(int state, const std::string& out_order_id) {
    print_data_ = ReceiptText();
    view_.OnOrderFinished(print_data_);
    if (config_.settings.IsTrue(store::keys::sysAutoPrintBill)) OnPrintClick();

    const bool deposit = IsDepositFreeze(result_text_);
    if (state == 7) {
        const std::string amount = AmountAfter(result_text_, kActualAmountLabel);
        if (deposit) {
            Send(common::CheckoutCommand::Voice, std::string(kFrozenVoice));
            view_.ShowPopup(std::string(kFrozenTitle), amount);
        } else {
            Send(common::CheckoutCommand::Voice, std::string(kPaySuccessVoice));
            view_.ShowPopup(std::string(kPaySuccessTitle), amount);
        }
        const int seconds = ParseInt(config_.Setting(store::keys::sysIsOpenPaySuccessClose));
        if (seconds > 0) {
            return_mark_ = std::string(kTimerReturnMark);
            timer45_ms_ = seconds * 1000;
            view_.SetTimer(kReturnTimerId, timer45_ms_);
            // The after-payment actions type into the POS program: once per order, however
            // often the paid order is queried again.
            const std::string order_id = PlatformOrderOf(result_text_);
            if (order_id.empty() || order_id != after_payment_order_) {
                after_payment_amount_ = amount;
                after_payment_order_ = order_id;
            }
        }
    } else {
        std::string amount = AmountAfter(result_text_, kRefundAmountLabel);
        if (amount.empty()) amount = AmountAfter(result_text_, kThawAmountLabel);
        if (state == 10 && deposit) {
            Send(common::CheckoutCommand::Voice, std::string(kThawVoice));
            view_.ShowPopup(std::string(kThawTitle), amount);
        } else if (state == 10) {
            Send(common::CheckoutCommand::Voice, std::string(kRefundVoice));
            view_.ShowPopup(std::string(kRefundTitle), amount);
        } else {
            Send(common::CheckoutCommand::Voice, std::string(kPartRefundVoice));
            view_.ShowPopup(std::string(kPartRefundTitle), amount);
        }
    }
    StopQueryTimer();
    // The record goes only now that the receipt and the popup have been handed on.
    Resolve(out_order_id, PlatformOrderOf(result_text_));
}

void PayResultSession::OnPrintClick() {
    if (print_data_.empty()) {
        view_.ShowMessage(std::string(kPrintBeforeQueryText));
        return;
    }
    // A receipt prints once per query.
    std::string gbk = common::Utf8ToGbk(print_data_);
    print_data_.clear();
    Send(common::CheckoutCommand::Print, std::move(gbk));
}

void PayResultSession::OnReturnClick() {
    view_.SetQrText(std::string(kNoCustomerQrText));
    // Leaving drops the polling and any query answer still to come; an operation in flight
    // keeps its answer (the order it makes must still be shown and recorded).
    if (!busy()) ++op_;
    StopQueryTimer();
    query_in_flight_ = false;
    const int state = StateOf(result_text_);
    if (state == 1 || state == 12 || state == 13)
        view_.ShowMessage(std::string(kAbandonMonitoringText));
    // Disarm before hiding the main window: hiding presses this page's close control, and
    // that second return must not hide the window again.
    const bool timed_return = return_mark_ == kTimerReturnMark;
    timer45_ms_ = 0;
    view_.KillTimer(kReturnTimerId);
    return_mark_.clear();
    if (timed_return && state == 7) Send(common::CheckoutCommand::ToggleShowHide, std::string());
}

bool PayResultSession::TakeOrderAnswer(const platform_api::PlatformAnswer& answer) {
    const platform_api::PlatformResult<platform_api::TextList> order =
        platform_api::ParseOrderAnswer(answer);
    if (!order.ok()) {
        view_.ShowMessage(order.message);
        return false;
    }
    SetResult(Join(order.value));
    return true;
}

bool PayResultSession::Refund(const std::string& amount_yuan, const std::string& order_id,
                              const std::string& reason) {
    if (busy()) return false;
    // Checked here, where every refund path ends, not only in the refund page's fields.
    if (config_.refund_permission == kNoRefundPermissionName) {
        view_.ShowMessage(std::string(kNoRefundPermissionText));
        return false;
    }
    const std::string fen = platform_api::YuanToFenText(amount_yuan);
    if (fen.empty()) {
        view_.ShowMessage(std::string(kBadRefundAmountText));
        return false;
    }
    BeginOperation();
    SetBusy(std::string(kRefundingText));
    const platform_api::PlatformClient client(config_);
    Run([client, fen, order_id, reason] { return client.RefundOrder(fen, order_id, reason); },
        [this, order_id](const platform_api::PlatformAnswer& answer) {
            OnRefunded(order_id, answer);
        });
    return true;
}

void PayResultSession::OnRefunded(const std::string& order_id,
                                  const platform_api::PlatformAnswer& answer) {
    SetBusy(std::string());
    if (answer.error == platform_api::PlatformError::kNetwork) {
        view_.ShowMessage(std::string(kRefundNetworkFailureText));
        // The order the refund was for stays in the text so that btn_check can ask later.
        SetResult(std::string(kRefundUnknownHeading) + std::string(kOrderNumberKey) + order_id +
                  "\r\n");
        return;
    }
    if (TakeOrderAnswer(answer)) {
        const int state = StateOf(result_text_);
        if (state == 10 || state == 11) Resolve("", PlatformOrderOf(result_text_));
        view_.ShowMessage(result_text_);
    }
}

bool PayResultSession::Cancel(const std::string& order_id, const std::string& reason) {
    if (busy()) return false;
    BeginOperation();
    SetBusy(std::string(kCancellingText));
    const platform_api::PlatformClient client(config_);
    Run([client, order_id, reason] { return client.CloseOrder(order_id, reason); },
        [this](const platform_api::PlatformAnswer& answer) { OnCancelled(answer); });
    return true;
}

void PayResultSession::OnCancelled(const platform_api::PlatformAnswer& answer) {
    SetBusy(std::string());
    if (answer.error == platform_api::PlatformError::kNetwork) {
        view_.ShowMessage(answer.message);
        return;
    }
    if (TakeOrderAnswer(answer)) {
        if (StateOf(result_text_) == 4) Resolve("", PlatformOrderOf(result_text_));
        view_.ShowMessage(result_text_);
    }
}

bool PayResultSession::PreCreate(const std::string& amount_yuan, const std::string& pay_type_name) {
    if (busy()) return false;
    const std::string fen = platform_api::YuanToFenText(amount_yuan);
    if (fen.find_first_not_of('0') == std::string::npos) {
        view_.ShowMessage(std::string(kBadAmountText));
        return false;
    }
    const int type = context::CodeForName(context::PayTypeNames(), pay_type_name);
    if (type <= 0) {
        view_.ShowMessage("请选择支付方式！");
        return false;
    }
    // A customer who scans pays as surely as one who is scanned: the same question first.
    if (!GuardUnresolved()) return false;
    BeginOperation();
    const platform_api::PlatformClient client(config_);
    platform_api::QueryFields fields;
    fields["outOrderId"] = client.MakePreCreateOrderNumber(std::time(nullptr));
    fields["orderType"] = std::to_string(type);
    fields["totalFee"] = fen;
    fields["tradeType"] = "NATIVE";

    UnresolvedOrder record;
    record.out_order_id = fields["outOrderId"];
    record.amount = amount_yuan;
    record.created_at = std::time(nullptr);
    if (!WriteRecord(record)) return false;

    SetBusy(std::string(kPreCreatingText));
    const std::string out = record.out_order_id;
    Run([client, fields] { return client.PreCreateOrder(fields); },
        [this, out](const platform_api::PlatformAnswer& answer) { OnPreCreated(out, answer); });
    return true;
}

void PayResultSession::OnPreCreated(const std::string& out,
                                    const platform_api::PlatformAnswer& answer) {
    SetBusy(std::string());
    if (unresolved_) unresolved_->Confirm(out, out, "");
    if (answer.error == platform_api::PlatformError::kNetwork) {
        view_.ShowMessage(answer.message);
        // Whether the platform made the order is unknown: its number stays for btn_check.
        SetResult(std::string(kDeviceOrderLabel) + out);
        return;
    }
    const platform_api::PlatformResult<platform_api::TextList> order =
        platform_api::ParsePreCreateAnswer(answer);
    if (!order.ok()) {
        if (order.error == platform_api::PlatformError::kRefused ||
            order.error == platform_api::PlatformError::kNoSuchOrder)
            VerifyRefusedCreation(out);
        else
            SetResult(std::string(kDeviceOrderLabel) + out);
        view_.ShowMessage(order.message);
        return;
    }
    const platform_api::TextList& items = order.value;
    std::string link;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        if (items[i] == platform_api::kPaymentLinkLabel) {
            link = items[i + 1];
            break;
        }
    }
    SetResult(Join(items));
    if (unresolved_) unresolved_->Confirm(out, out, PlatformOrderOf(result_text_));
    view_.OnUnresolvedChanged();
    view_.ShowQrCode(link, qr_picture_counter_++);
    // Polling begins without the 50-ms first query; the 2-second timer is armed once.
    StartQueryTimer(kPollPeriodMs);
    polling_ = true;
}

}  // namespace tendrix::checkout
