#pragma once
// Background check of the orders whose result is not known (UnresolvedOrderStore): each is
// queried again until the platform gives a final state (4, 7, 10, 11) or says it has no
// such order. Rounds run at start once the cashier is logged in, as soon as the platform
// answers again after a network failure, and every 30 s (±30 %) while orders remain, backing
// off to 5 minutes while the platform keeps failing, so that a chain's tills do not all ask
// at the same moment when it comes back.
//
// An order found paid this way is announced (popup, voice) and its receipt printed once; no
// keys go to the POS program, whose sale has moved on. Timed-out orders (13) stay listed.
// Everything runs on the window thread; the exchanges go through the exchange runner.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "checkout/pages/result_session.h"
#include "checkout/pages/unresolved_orders.h"

namespace tendrix::common {
class CommandSink;
}  // namespace tendrix::common

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::checkout {

class OrderReconciler : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPeriodMs = 30000;
    static constexpr int kMaxPeriodMs = 300000;

    struct Hooks {
        ExchangeRunner runner;  // null: each exchange runs at once (tests)
        // The result page follows this order itself: leave it alone this round.
        std::function<bool(const UnresolvedOrder&)> in_hand;
        // Popup title and amount for an order found finished.
        std::function<void(const std::string& title, const std::string& amount)> popup;
        // The receipt of an order found paid (UTF-8), e.g. for the pay page's reprint.
        std::function<void(const std::string& receipt)> finished;
        std::function<void()> changed;  // the list of unresolved orders changed
    };

    OrderReconciler(context::AppConfig& config, UnresolvedOrderStore& store,
                    common::CommandSink* sink, Hooks hooks, QObject* parent = nullptr);

    // Arms the checks: the first round runs as soon as a cashier is logged in.
    void Start();
    // A round now (none starts while one runs).
    void RunNow();
    // Every platform exchange of the pages reports here whether the platform was reached;
    // the first success after a failure starts a round.
    void OnPlatformReach(bool reached);
    // The list may have grown: make sure a round is scheduled.
    void OnStoreChanged();

    // Delay before the next round after `failures` failed rounds in a row (0: the normal
    // period), spread by `jitter` in [-1, 1] times 30 %.
    static int NextDelayMs(int failures, double jitter);

    bool round_running() const { return round_; }
    int failures() const { return failures_; }
    int scheduled_ms() const { return timer_.isActive() ? scheduled_ms_ : -1; }

  private:
    bool LoggedIn() const;
    void Schedule(int ms);
    void OnTimer();
    void QueryNext();
    void OnAnswer(const UnresolvedOrder& order, const platform_api::PlatformAnswer& answer);
    void Announce(const UnresolvedOrder& order, const std::string& text);
    void EndRound(bool failed);
    int BasePeriodMs() const;

    context::AppConfig& config_;
    UnresolvedOrderStore& store_;
    common::CommandSink* sink_;
    Hooks hooks_;
    QTimer timer_;
    int scheduled_ms_ = 0;
    bool started_ = false;
    bool round_ = false;
    bool platform_down_ = false;
    int failures_ = 0;
    std::vector<UnresolvedOrder> queue_;
};

}  // namespace tendrix::checkout
