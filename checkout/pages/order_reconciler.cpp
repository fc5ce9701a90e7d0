#include "checkout/pages/order_reconciler.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "checkout/pages/result_texts.h"
#include "common/checkout_command.h"
#include "common/diag_log.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"
#include "store/settings_keys.h"

namespace tendrix::checkout {
namespace {

constexpr int kLoginCheckMs = 1000;

double Jitter() {
    static std::mt19937 rng{std::random_device{}()};
    return std::uniform_real_distribution<double>(-1.0, 1.0)(rng);
}

std::string Join(const platform_api::TextList& lines) {
    std::string text;
    for (const auto& l : lines) text += l;
    return text;
}

}  // namespace

OrderReconciler::OrderReconciler(context::AppConfig& config, UnresolvedOrderStore& store,
                                 common::CommandSink* sink, Hooks hooks, QObject* parent)
    : QObject(parent), config_(config), store_(store), sink_(sink), hooks_(std::move(hooks)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &OrderReconciler::OnTimer);
}

int OrderReconciler::NextDelayMs(int failures, double jitter) {
    double base = kPeriodMs;
    for (int i = 0; i < failures && base < kMaxPeriodMs; ++i) base *= 2;
    base = std::min<double>(base, kMaxPeriodMs);
    jitter = std::clamp(jitter, -1.0, 1.0);
    return static_cast<int>(base * (1.0 + 0.3 * jitter));
}

// TENDRIX_RECONCILE_MS shortens the period for demonstrations and tests.
int OrderReconciler::BasePeriodMs() const {
    return config_.environment.reconcile_ms;
}

bool OrderReconciler::LoggedIn() const {
    return !config_.merchant_id.empty() && !config_.client_id.empty() && !config_.secret.empty();
}

void OrderReconciler::Schedule(int ms) {
    scheduled_ms_ = std::max(ms, 0);
    timer_.start(scheduled_ms_);
}

void OrderReconciler::Start() {
    started_ = true;
    Schedule(0);
}

void OrderReconciler::RunNow() {
    if (!started_ || round_) return;
    Schedule(0);
}

void OrderReconciler::OnStoreChanged() {
    if (!started_ || round_ || timer_.isActive()) return;
    const int base = BasePeriodMs();
    Schedule(base > 0 ? base : NextDelayMs(0, Jitter()));
}

void OrderReconciler::OnPlatformReach(bool reached) {
    if (!reached) {
        platform_down_ = true;
        return;
    }
    if (!platform_down_) return;
    platform_down_ = false;
    failures_ = 0;
    common::diag::Write("reconcile", "platform answers again: checking unresolved orders");
    RunNow();
}

void OrderReconciler::OnTimer() {
    if (round_) return;
    if (!LoggedIn()) {
        Schedule(kLoginCheckMs);  // at start: wait for the login
        return;
    }
    queue_ = store_.List();
    if (queue_.empty()) return;  // idle until OnStoreChanged
    round_ = true;
    QueryNext();
}

void OrderReconciler::QueryNext() {
    while (!queue_.empty() && hooks_.in_hand && hooks_.in_hand(queue_.front()))
        queue_.erase(queue_.begin());
    if (queue_.empty()) {
        EndRound(false);
        return;
    }
    const UnresolvedOrder order = queue_.front();
    queue_.erase(queue_.begin());
    const platform_api::PlatformClient client(config_);
    auto job = [client, order] { return client.QueryOrder(order.order_id, order.out_order_id); };
    auto done = [this, order](const platform_api::PlatformAnswer& answer) {
        OnAnswer(order, answer);
    };
    if (hooks_.runner) {
        hooks_.runner(std::move(job), std::move(done));
    } else {
        done(job());
    }
}

void OrderReconciler::EndRound(bool failed) {
    round_ = false;
    queue_.clear();
    failures_ = failed ? failures_ + 1 : 0;
    if (failed) platform_down_ = true;
    if (store_.List().empty()) return;
    const int base = BasePeriodMs();
    Schedule(base > 0 ? base : NextDelayMs(failures_, Jitter()));
}

void OrderReconciler::OnAnswer(const UnresolvedOrder& order,
                               const platform_api::PlatformAnswer& answer) {
    if (answer.error == platform_api::PlatformError::kNetwork) {
        EndRound(true);
        return;
    }
    platform_down_ = false;
    const platform_api::PlatformResult<platform_api::TextList> parsed =
        platform_api::ParseOrderAnswer(answer);
    bool changed = false;
    if (parsed.error == platform_api::PlatformError::kNoSuchOrder) {
        if (!order.confirmed && !order.alternate_id.empty()) {
            // Written down by an earlier version with the number of the next second too.
            changed = store_.Confirm(order.out_order_id, order.alternate_id, "");
        } else {
            changed = store_.Resolve(order.out_order_id, order.order_id);
            common::diag::Write("reconcile", "order " + order.out_order_id +
                                                 " unknown to the platform: nothing was charged");
        }
    } else if (parsed.ok()) {
        const std::string text = Join(parsed.value);
        const int state = PayResultSession::StateOf(text);
        const std::string order_id = PayResultSession::PlatformOrderOf(text);
        // The page may have taken the order up while this answer travelled.
        const bool still_listed = [&] {
            for (const auto& o : store_.List())
                if (o.out_order_id == order.out_order_id) return true;
            return false;
        }();
        if (!still_listed || (hooks_.in_hand && hooks_.in_hand(order))) {
            // Nothing to do: the page or an earlier round has it.
        } else if (state == 7) {
            Announce(order, text);
            changed = store_.Resolve(order.out_order_id, order_id);
        } else if (state == 4 || state == 10 || state == 11) {
            changed = store_.Resolve(order.out_order_id, order_id);
            common::diag::Write("reconcile", "order " + order.out_order_id + " is final (state " +
                                                 std::to_string(state) + "): record dropped");
        } else if (!order_id.empty() && order.order_id.empty()) {
            changed = store_.Confirm(order.out_order_id, order.out_order_id, order_id);
        }
    }
    // Other refusals ("系统繁忙", ...) and unreadable answers keep the record.
    if (changed && hooks_.changed) hooks_.changed();
    QueryNext();
}

void OrderReconciler::Announce(const UnresolvedOrder& order, const std::string& text) {
    const std::string receipt = config_.Setting(store::keys::sysBillFirstMsg) + "\r\n" + text +
                                std::string(kSignatureBlock);
    const std::string amount = PayResultSession::AmountAfter(text, kActualAmountLabel);
    const bool deposit = PayResultSession::IsDepositFreeze(text);
    if (sink_) {
        sink_->SendCommand(common::CheckoutCommand::Print, common::Utf8ToGbk(receipt));
        sink_->SendCommand(common::CheckoutCommand::Voice,
                           std::string(deposit ? kFrozenVoice : kPaySuccessVoice));
    }
    if (hooks_.popup) hooks_.popup(std::string(deposit ? kFrozenTitle : kPaySuccessTitle), amount);
    if (hooks_.finished) hooks_.finished(receipt);
    common::diag::Write("reconcile",
                        "order " + order.out_order_id + " (" +
                            PayResultSession::PlatformOrderOf(text) + ", " + amount +
                            " yuan) found paid by the background check: announced, receipt "
                            "printed; no keys sent to the POS program");
}

}  // namespace tendrix::checkout
