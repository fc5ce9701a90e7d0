// The background check of unresolved orders against the real sandbox: orders found paid are
// announced once with no keys for the POS program, unknown ones dropped, timed-out and
// pending ones kept; the schedule backs off while the platform fails and resumes at once
// when it answers again.
#include "checkout/pages/order_reconciler.h"

#include <gtest/gtest.h>

#include <ctime>

#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/support/qt_app.h"

using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::platform_api;

namespace tendrix::checkout {
namespace {

// The spread around 30 s is measured on a running reconciler below.
TEST(ReconcileSchedule, DoublingAndBackingOffToFiveMinutes) {
    EXPECT_EQ(OrderReconciler::NextDelayMs(1, 0), 60000);
    EXPECT_EQ(OrderReconciler::NextDelayMs(3, 0), 240000);
    for (int failures : {4, 50, 1000}) {
        EXPECT_EQ(OrderReconciler::NextDelayMs(failures, 0), 300000) << failures;
        EXPECT_LE(OrderReconciler::NextDelayMs(failures, 1), 390000);
    }
}

class ReconcilerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        test::LogInToSandbox(config_, sandbox_, dir_.path() + "data/");
        store_ = std::make_unique<UnresolvedOrderStore>(config_.data_dir);
    }
    // An order made at the platform whose answer the till never saw.
    UnresolvedOrder Lost(const std::string& code) {
        PlatformClient client(config_);
        UnresolvedOrder o;
        o.out_order_id = MakeOutOrderId(std::time(nullptr), code);
        client.CreateOrder(o.out_order_id, "1250", code, "");
        o.amount = "12.50";
        o.created_at = 1;
        o.confirmed = true;
        EXPECT_TRUE(store_->Add(o));
        return o;
    }
    std::unique_ptr<OrderReconciler> Make() {
        OrderReconciler::Hooks hooks;
        hooks.popup = [this](const std::string& t, const std::string& a) {
            popups.emplace_back(t, a);
        };
        return std::make_unique<OrderReconciler>(config_, *store_, &sink_, std::move(hooks));
    }
    void RunRound(OrderReconciler& r) {
        r.RunNow();
        test::SpinUntil([&] { return !r.round_running() && r.scheduled_ms() != 0; }, 10000);
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    AppConfig config_;
    test::RecordingSink sink_;
    std::unique_ptr<UnresolvedOrderStore> store_;
    std::vector<std::pair<std::string, std::string>> popups;
};

TEST_F(ReconcilerTest, FoundPaidAnnouncedOnceUnknownDroppedTimedOutKept) {
    Lost(test::PaidCode());
    const UnresolvedOrder timed_out = Lost(test::TimeoutCode());
    UnresolvedOrder unknown;
    unknown.out_order_id = "20000101000000999";
    unknown.created_at = 2;
    ASSERT_TRUE(store_->Add(unknown));

    auto r = Make();
    r->Start();
    ASSERT_TRUE(test::SpinUntil([&] { return !popups.empty() && !r->round_running(); }, 10000));
    // Later rounds take the timed-out order to state 13, where it stays.
    for (int i = 0; i < 5; ++i) RunRound(*r);

    // Its receipt, and no keys for the POS program, on the real program after a kill:
    // tests/e2e/test_checkout_recovery.py kill9_restart_resolves.
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0], std::make_pair(std::string("支付成功！"), std::string("12.50")));
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::Voice), std::vector<std::string>{"paysuccess.mp3"});
    const auto left = store_->List();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].out_order_id, timed_out.out_order_id);
    EXPECT_FALSE(left[0].order_id.empty());  // the platform number was learnt on the way
    EXPECT_EQ(r->failures(), 0);
    EXPECT_GE(r->scheduled_ms(), 21000);
    EXPECT_LE(r->scheduled_ms(), 39000);
}

TEST_F(ReconcilerTest, BacksOffWhilePlatformFailsAndResumesWhenItAnswers) {
    Lost(test::PaidCode());
    const std::string base = config_.api_base;
    config_.api_base = "http://127.0.0.1:1";  // nothing listens there
    auto r = Make();
    r->Start();
    RunRound(*r);
    EXPECT_EQ(r->failures(), 1);
    EXPECT_GE(r->scheduled_ms(), 42000);
    RunRound(*r);
    EXPECT_EQ(r->failures(), 2);
    EXPECT_GE(r->scheduled_ms(), 84000);
    EXPECT_EQ(store_->List().size(), 1u);
    EXPECT_TRUE(popups.empty());

    // A page's exchange gets through: a round starts at once, without waiting minutes.
    config_.api_base = base;
    r->OnPlatformReach(true);
    ASSERT_TRUE(test::SpinUntil([&] { return !popups.empty(); }, 10000));
    EXPECT_TRUE(store_->List().empty());
    EXPECT_EQ(r->failures(), 0);
}

}  // namespace
}  // namespace tendrix::checkout
