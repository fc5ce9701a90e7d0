// The result page's logic against the real sandbox (outcomes, polling of timer 9, finishing an
// order, the unresolved-order guard), the unresolved-order store on a real SQLite file, and the
// background check of unresolved orders with its back-off.
#include "checkout/pages/result_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>

#include "checkout/pages/order_reconciler.h"
#include "checkout/pages/result_texts.h"
#include "checkout/pages/unresolved_orders.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/support/qt_app.h"

using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::platform_api;
using namespace tendrix::store;

namespace tendrix::checkout {
namespace {

using test::RecordingSink;

// What the result page would show; the texts the cashier reads are checked on the real page.
class RecordingView : public ResultPageView {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&) override { return true; }
    void ShowResultText(const std::string&) override {}
    void SetTimer(int id, int ms) override {
        timers[id] = ms;
        armed.emplace_back(id, ms);
    }
    void KillTimer(int id) override { timers.erase(id); }
    void SetCancelButtonText(const std::string&) override {}
    void ShowQrCode(const std::string&, int) override {}
    void HideQrCode() override {}
    void SetQrText(const std::string&) override {}
    void ShowPopup(const std::string& title, const std::string& amount) override {
        popups.emplace_back(title, amount);
    }
    void SetBusy(const std::string& text) override { busy = text; }
    int ArmedCount(int id, int ms) const {
        return static_cast<int>(std::count(armed.begin(), armed.end(), std::make_pair(id, ms)));
    }
    bool Running(int id) const { return timers.count(id) != 0; }

    std::vector<std::string> messages;
    std::vector<std::pair<int, int>> armed;
    std::map<int, int> timers;
    std::vector<std::pair<std::string, std::string>> popups;
    std::string busy;
};

UnresolvedOrder Order(const std::string& out, int64_t at) {
    UnresolvedOrder o;
    o.out_order_id = out;
    o.alternate_id = out + "-next";
    o.amount = "36.00";
    o.pay_code = "284512345678901235";
    o.created_at = at;
    return o;
}

TEST(UnresolvedOrders, SurviveReopenUntilResolvedAndKeepOddTextsExactly) {
    test::TempDir dir;
    {
        UnresolvedOrderStore store(dir.path() + "data/");
        ASSERT_TRUE(store.Add(Order("A", 100))) << store.last_error();
        ASSERT_TRUE(store.Add(Order("B", 50)));
    }
    // Payment records are the till user's alone, whatever the umask.
    struct stat st {};
    ASSERT_EQ(stat((dir.path() + "data/" + UnresolvedOrderStore::kFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    UnresolvedOrderStore again(dir.path() + "data/");  // a restart
    auto list = again.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].out_order_id, "B");  // oldest first
    EXPECT_FALSE(list[0].confirmed);
    EXPECT_EQ(list[1].amount, "36.00");

    // Creation answered with another number than predicted: the record follows it.
    ASSERT_TRUE(again.Confirm("A", "A2", "P-1"));
    list = again.List();
    EXPECT_EQ(list[1].out_order_id, "A2");
    EXPECT_EQ(list[1].order_id, "P-1");
    EXPECT_TRUE(list[1].confirmed);
    EXPECT_FALSE(again.Confirm("missing", "x", ""));

    // Resolved by the platform number alone, or by the second-after number.
    EXPECT_TRUE(again.Resolve("", "P-1"));
    EXPECT_TRUE(again.Resolve("B-next", ""));
    EXPECT_TRUE(again.List().empty());
    EXPECT_FALSE(again.Resolve("", ""));

    // Odd texts are kept exactly.
    UnresolvedOrder o = Order("X'; DROP TABLE tblUnresolvedOrders; --", 1);
    o.pay_code = "line1\r\nline2 中文 '\"";
    ASSERT_TRUE(again.Add(o));
    list = again.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].out_order_id, o.out_order_id);
    EXPECT_EQ(list[0].pay_code, o.pay_code);
    EXPECT_NE(DescribeUnresolved(list).find("设备创建的订单号：X'"), std::string::npos);
}

// A record that cannot be written: ResultSessionTest.NothingIsSentWhenTheRecordCannotBeWritten.

class ResultSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        test::LogInToSandbox(config_, sandbox_, dir_.path() + "data/");
        store_ = std::make_unique<UnresolvedOrderStore>(config_.data_dir);
        session_ = std::make_unique<PayResultSession>(config_, view_, &sink_, store_.get());
    }
    // The main window clears the text before each operation.
    bool Pay(const std::string& amount, const std::string& code) {
        session_->ClearResult();
        return session_->StartPayment(amount, code, "");
    }
    int State() const { return PayResultSession::StateOf(session_->result_text()); }
    // Points the platform address at a port nobody listens on, or back at the sandbox.
    void SetOffline(bool off) {
        config_.api_base = off ? "http://127.0.0.1:1" : sandbox_.base_url();
    }
    // Fires timer 9 while it runs, at most `limit` times; returns how many queries ran.
    int RunPolling(int limit = 10) {
        int n = 0;
        while (view_.Running(kQueryTimerId) && n < limit) {
            session_->OnTimer(kQueryTimerId);
            ++n;
        }
        return n;
    }

    test::SandboxProcess sandbox_;
    test::TempDir dir_;
    AppConfig config_;
    RecordingView view_;
    RecordingSink sink_;
    std::unique_ptr<UnresolvedOrderStore> store_;
    std::unique_ptr<PayResultSession> session_;
};

TEST_F(ResultSessionTest, PaidAtOnceFinishesTheOrder) {
    ASSERT_TRUE(Pay("36.00", test::PaidCode()));
    EXPECT_EQ(view_.timers[kQueryTimerId], kFirstQueryDelayMs);
    EXPECT_EQ(store_->List().size(), 1u);  // in flight until the query says paid

    EXPECT_EQ(RunPolling(), 1);
    // Popup, voice and the automatic return as the cashier sees them: PagesTest.SaleFromEnter*.
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::AfterPayment), std::vector<std::string>{"36.00"});
    EXPECT_EQ(session_->return_mark(), kTimerReturnMark);
    EXPECT_EQ(view_.timers[kReturnTimerId], 5000);
    EXPECT_TRUE(store_->List().empty());

    EXPECT_EQ(session_->print_data(),
              "演示商户\r\n" + session_->result_text() +
                  "客户签名： \r\n \r\n \r\n--------------------------------");
    // Printing twice after one query prints once.
    session_->OnPrintClick();
    session_->OnPrintClick();
    auto printed = sink_.Payloads(CheckoutCommand::Print);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(GbkToUtf8(printed[0]).substr(0, 14), "演示商户\r\n");
    EXPECT_EQ(view_.messages.back(), kPrintBeforeQueryText);

    // Querying the paid order again allows one more print but never replays the amount.
    session_->OnCheckClick();
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::AfterPayment).size(), 1u);
    session_->OnPrintClick();
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::Print).size(), 2u);
}

TEST_F(ResultSessionTest, PollingAfter50MsThenEveryTwoSecondsAlsoForASecondPayment) {
    ASSERT_TRUE(Pay("5.00", test::PendingThenPaidCode()));
    RunPolling(1);
    ASSERT_TRUE(session_->polling());
    EXPECT_EQ(view_.timers[kQueryTimerId], kPollPeriodMs);
    // The cashier leaves the pending order without 返回 and takes the next payment: the new
    // order has its own polling, armed at 2000 ms after its first query, never left at 50.
    ASSERT_TRUE(Pay("12.50", test::PendingThenPaidCode()));
    EXPECT_EQ(view_.timers[kQueryTimerId], kFirstQueryDelayMs);
    EXPECT_EQ(RunPolling(), 4);                                    // pending three times, then paid
    EXPECT_EQ(view_.ArmedCount(kQueryTimerId, kPollPeriodMs), 2);  // once per order
    EXPECT_EQ(view_.ArmedCount(kQueryTimerId, kFirstQueryDelayMs), 2);
    EXPECT_FALSE(session_->polling());
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(view_.popups.at(0).second, "12.50");
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(ResultSessionTest, AutomaticReturnNeedsAPositiveSetting) {
    for (const char* value : {"0", "", "abc"}) {
        config_.settings.Set(keys::sysIsOpenPaySuccessClose, value);
        ASSERT_TRUE(Pay("1.00", test::PaidCode()));
        RunPolling();
        EXPECT_FALSE(view_.Running(kReturnTimerId)) << value;
        EXPECT_TRUE(session_->return_mark().empty());
    }
    EXPECT_TRUE(sink_.Payloads(CheckoutCommand::AfterPayment).empty());
    // Automatic printing: the receipt at the printer in tests/e2e (test_sale_loop.py).
}

TEST_F(ResultSessionTest, TimedOutShowsTextBAndStaysUnresolved) {
    ASSERT_TRUE(Pay("8.00", test::TimeoutCode()));
    EXPECT_EQ(RunPolling(), 4);
    EXPECT_EQ(State(), 13);
    ASSERT_FALSE(view_.messages.empty());
    EXPECT_EQ(view_.messages.back(), kTimedOutText);
    EXPECT_FALSE(session_->polling());
    // Money may still move after a time-out: the order stays listed until cancelled.
    ASSERT_EQ(store_->List().size(), 1u);
    session_->OnReturnClick();
    EXPECT_EQ(view_.messages.back(), kAbandonMonitoringText);
    EXPECT_TRUE(sink_.Payloads(CheckoutCommand::ToggleShowHide).empty());

    const auto order = session_->CurrentOrder();
    ASSERT_TRUE(session_->Cancel(order.order_id, "价格争议"));
    EXPECT_EQ(State(), 4);
    EXPECT_TRUE(store_->List().empty());
}

TEST_F(ResultSessionTest, RefusedCreationShowsTheMessageAndStopsPolling) {
    ASSERT_TRUE(Pay("9.00", test::RefusedCode()));
    EXPECT_EQ(view_.messages, std::vector<std::string>{"余额不足"});
    EXPECT_EQ(RunPolling(), 1);  // the 50-ms query finds no order number and stops
    EXPECT_FALSE(view_.Running(kQueryTimerId));
    EXPECT_TRUE(store_->List().empty());
}

TEST_F(ResultSessionTest, BadAmountsAndCodesOfMoreThanLettersAndDigitsAreNeverSent) {
    for (const char* amount : {"12.505", "", "0", "abc", "0.00"}) {
        EXPECT_FALSE(Pay(amount, test::PaidCode())) << amount;
    }
    EXPECT_EQ(view_.messages.size(), 5u);
    EXPECT_FALSE(session_->Refund("1.234", "20261206000001", "x"));
    for (const char* code : {"28412345678901&a=1", "2841234567890123 4", "284123456789012\x1b"}) {
        EXPECT_FALSE(Pay("1.00", code)) << code;
        EXPECT_EQ(view_.messages.back(), kBadPayCodeText);
    }
    EXPECT_TRUE(store_->List().empty());
    // The client itself sends nothing for such a code.
    PlatformClient client(config_);
    EXPECT_EQ(client.CreateOrder("20240101000000123", "100", "2841234567&x=1", "").error,
              PlatformError::kRefusedInput);
}

TEST_F(ResultSessionTest, UnreadableCreationAnswerKeepsTheMerchantNumber) {
    // 0.01: malformed JSON; 0.02: not JSON; 0.04: an empty body. None tells whether the
    // order exists, so the order stays listed and the 50-ms query asks by its number.
    for (const char* amount : {"0.01", "0.02", "0.04"}) {
        ASSERT_TRUE(Pay(amount, test::PaidCode()));
        EXPECT_FALSE(view_.messages.empty());
        const std::string out = PayResultSession::MerchantOrderOf(session_->result_text());
        ASSERT_FALSE(out.empty()) << amount;
        ASSERT_EQ(store_->List().size(), 1u);
        // The platform answers that it has no such order: nothing was charged.
        EXPECT_EQ(RunPolling(), 1);
        EXPECT_EQ(view_.messages.back(), "订单不存在");
        EXPECT_TRUE(store_->List().empty()) << amount;
    }
}

TEST_F(ResultSessionTest, RefundsWithoutPermissionLostPartialFullAndRefused) {
    ASSERT_TRUE(Pay("36.00", test::PaidCode()));
    RunPolling();
    const std::string order = session_->CurrentOrder().order_id;
    ASSERT_FALSE(order.empty());

    // Without the permission nothing reaches the platform, whatever the amount.
    config_.refund_permission = "不可退款";
    for (const char* amount : {"1.00", ""}) {
        EXPECT_FALSE(session_->Refund(amount, order, "金额错误"));
        EXPECT_EQ(view_.messages.back(), kNoRefundPermissionText);
    }
    config_.refund_permission = "扫码可退";

    // A refund whose answer was lost keeps the order's number; 查询 asks about that very order.
    SetOffline(true);
    session_->ClearResult();
    ASSERT_TRUE(session_->Refund("1.00", order, "金额错误"));
    EXPECT_EQ(view_.messages.back(), kRefundNetworkFailureText);
    EXPECT_EQ(PayResultSession::PlatformOrderOf(session_->result_text()), order);
    EXPECT_EQ(session_->result_text().find(kDeviceOrderLabel), std::string::npos);
    SetOffline(false);
    session_->OnCheckClick();
    EXPECT_EQ(State(), 7);  // still paid in full

    session_->ClearResult();
    ASSERT_TRUE(session_->Refund("10.00", order, "金额错误"));
    EXPECT_EQ(view_.messages.back(), session_->result_text());
    EXPECT_EQ(State(), 11);
    session_->OnCheckClick();
    EXPECT_EQ(view_.popups.back(),
              std::make_pair(std::string("部分退款成功！"), std::string("10.00")));
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::Voice).back(), "partrefundsuccess.mp3");

    // An empty amount refunds the rest.
    ASSERT_TRUE(session_->Refund("", order, ""));
    session_->OnCheckClick();
    EXPECT_EQ(view_.popups.back().first, "退款成功！");
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::Voice).back(), "refundsuccess.mp3");

    // A refusal (nothing left to refund) is shown as the platform's message.
    ASSERT_TRUE(session_->Refund("1.00", order, "x"));
    EXPECT_NE(view_.messages.back().find("不能退款"), std::string::npos);
}

TEST_F(ResultSessionTest, NetworkFailureOnCreationThenCheckByMerchantNumber) {
    test::SandboxProcess::Options options;
    options.extra_args = {"--late-answer-ms", "3000"};
    test::SandboxProcess late(options);
    if (!late.ok()) GTEST_SKIP() << late.error();
    config_.api_base = late.base_url();
    config_.environment.platform_timeout = std::chrono::milliseconds(500);

    ASSERT_TRUE(Pay("20.00", test::LateAnswerCode()));
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0], kCreateNetworkFailureText);
    const std::string out = PayResultSession::MerchantOrderOf(session_->result_text());
    EXPECT_EQ(session_->result_text(), std::string(kDeviceOrderLabel) + out);
    EXPECT_FALSE(view_.Running(kQueryTimerId));
    auto open = store_->List();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].out_order_id, out);
    EXPECT_TRUE(open[0].confirmed);

    session_->OnCheckClick();
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(view_.popups.at(0).first, "支付成功！");
    EXPECT_TRUE(store_->List().empty());
}

TEST_F(ResultSessionTest, QueryNetworkFailureStopsPollingAndPollingResumesLater) {
    ASSERT_TRUE(Pay("3.00", test::PendingThenPaidCode()));
    RunPolling(2);
    EXPECT_TRUE(session_->polling());
    SetOffline(true);
    session_->OnTimer(kQueryTimerId);
    EXPECT_EQ(view_.messages.back(), kQueryNetworkFailureText);
    EXPECT_FALSE(view_.Running(kQueryTimerId));
    // Network back: a manual query of the pending order starts polling again.
    SetOffline(false);
    session_->OnCheckClick();
    EXPECT_TRUE(view_.Running(kQueryTimerId));
    RunPolling();
    EXPECT_EQ(State(), 7);
}

TEST_F(ResultSessionTest, PreCreateDrawsTheLinkAndPollsEveryTwoSeconds) {
    // The link drawn and the popup: PagesTest.QrCodePayment*.
    ASSERT_TRUE(session_->PreCreate("12.00", "支付宝"));
    EXPECT_EQ(view_.ArmedCount(kQueryTimerId, kFirstQueryDelayMs), 0);
    EXPECT_EQ(view_.timers[kQueryTimerId], kPollPeriodMs);
    EXPECT_EQ(RunPolling(), 3);
    EXPECT_TRUE(store_->List().empty());
    EXPECT_FALSE(session_->PreCreate("12.00", "不存在的支付方式"));
}

TEST_F(ResultSessionTest, OrderWrittenDownBeforeACrashIsFoundByEitherNumber) {
    // The order reached the platform, but the program stopped before the answer: only the
    // write-ahead record is left, whose first number is not the one the request carried.
    PlatformClient client(config_);
    const std::string code = test::PaidCode();
    const std::string sent = MakeOutOrderId(std::time(nullptr), code);
    const PlatformAnswer answer = client.CreateOrder(sent, "700", code, "");
    ASSERT_NE(answer.value.find("\"result\":true"), std::string::npos) << answer.message;
    UnresolvedOrder record;
    record.out_order_id = "20000101000000" + code.substr(3, 10);
    record.alternate_id = sent;
    record.amount = "7.00";
    record.created_at = 1;
    ASSERT_TRUE(store_->Add(record));

    ASSERT_TRUE(session_->ShowOldestUnresolved());
    EXPECT_LE(RunPolling(), 3);
    EXPECT_EQ(State(), 7);
    EXPECT_EQ(view_.popups.at(0).second, "7.00");
    EXPECT_TRUE(store_->List().empty());
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(ResultSessionTest, NothingIsSentWhenTheRecordCannotBeWritten) {
    // The record file's place is taken by a folder: the write fails.
    test::TempDir other;
    std::filesystem::create_directories(other.path() + "data/" + UnresolvedOrderStore::kFileName);
    UnresolvedOrderStore broken(other.path() + "data/");
    session_->set_unresolved_store(&broken);
    int exchanges = 0;
    session_->set_exchange_runner([&](std::function<PlatformAnswer()> job, auto done) {
        ++exchanges;
        done(job());
    });
    EXPECT_FALSE(Pay("2.00", test::PaidCode()));
    EXPECT_EQ(view_.messages.back().rfind(kRecordWriteFailedText, 0), 0u) << view_.messages.back();
    EXPECT_FALSE(session_->PreCreate("2.00", "支付宝"));
    EXPECT_EQ(exchanges, 0);
}

// Answers chosen by the test in place of the platform's: each exchange gets the next one,
// the last one again once they are used up.
ExchangeRunner Canned(std::vector<std::string> answers) {
    return [answers, used = size_t{0}](auto, std::function<void(PlatformAnswer)> done) mutable {
        PlatformAnswer answer;
        answer.value = answers[std::min(used++, answers.size() - 1)];
        if (answer.value.empty()) answer.error = PlatformError::kEmpty;
        done(answer);
    };
}

TEST_F(ResultSessionTest, RecordStaysUntilAFinalStateOrNoSuchOrder) {
    const std::string paid =
        R"({"result":true,"merchantName":"M","orderId":"P1","totalFee":100,"actualFee":100,)"
        R"("orderState":7,"orderStateDes":"已付款"})";
    const std::string pending =
        R"({"result":true,"orderId":"P1","totalFee":100,"orderState":1,"orderStateDes":"待付款"})";
    struct Case {
        const char* what;
        std::vector<std::string> answers;  // creation, then the query
        bool kept;
    } cases[] = {
        {"busy on query", {pending, R"({"result":false,"message":"系统繁忙"})"}, true},
        {"signature refused", {pending, R"({"success":false,"message":"签名验证失败"})"}, true},
        {"timed out", {pending, R"({"result":true,"orderId":"P1","orderState":13})"}, true},
        {"refund pending (9)", {pending, R"({"result":true,"orderId":"P1","orderState":9})"}, true},
        {"busy on creation", {R"({"result":false,"message":"系统繁忙"})", pending}, true},
        {"refused, no such order",
         {R"({"result":false,"message":"余额不足"})", R"({"result":false,"message":"订单不存在"})"},
         false},
        {"cancelled", {pending, R"({"result":true,"orderId":"P1","orderState":4})"}, false},
        {"paid", {pending, paid}, false},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        UnresolvedOrderStore store(dir.path());
        RecordingView view;
        PayResultSession session(config_, view, &sink_, &store);
        session.set_exchange_runner(Canned(c.answers));
        ASSERT_TRUE(session.StartPayment("1.00", test::PaidCode(), "")) << c.what;
        session.OnTimer(kQueryTimerId);
        EXPECT_EQ(store.List().size(), c.kept ? 1u : 0u) << c.what;
    }
}

TEST_F(ResultSessionTest, HostileAnswersThroughEveryParserNeverEndTheProgram) {
    std::string deep(100000, '[');
    std::string big = R"({"result":true,"orderId":"P1","description":")" +
                      std::string(1 << 20, 'x') + R"(","orderState":1})";
    std::string with_nul =
        std::string(R"({"result":true,"orderId":"P)") + '\0' + R"(1","orderState":1})";
    const std::vector<std::string> hostile = {
        "{" + deep,
        R"({"a":)" + deep,
        R"({"result":true,"orderId":"P1","payTime":99999999999999999999,"orderState":7})",
        R"({"result":true,"orderId":"P1","payTime":"18446744073709551616","orderState":7})",
        R"({"result":true,"orderId":"P1","totalFee":1e400,"orderState":1e30})",
        R"({"result":true,"orderId":["x"],"totalFee":{"a":1},"orderState":"七"})",
        R"({"result":"yes","success":[],"message":{"m":1}})",
        big,
        with_nul,
        std::string("\0{", 2),
        "",
    };
    for (const std::string& answer : hostile) {
        session_->set_exchange_runner(Canned({answer}));
        view_.messages.clear();
        Pay("1.00", test::PaidCode());
        session_->OnTimer(kQueryTimerId);
        session_->OnCheckClick();
        session_->Refund("1.00", "P1", "x");
        session_->Cancel("P1", "x");
        session_->OnReturnClick();
        session_->PreCreate("1.00", "支付宝");
        // Whatever came, the cashier saw a message or a result, never a crash.
        EXPECT_FALSE(view_.messages.empty() && session_->result_text().empty());
    }
    // Something unreadable on creation leaves the order listed.
    EXPECT_FALSE(store_->List().empty());
}

TEST_F(ResultSessionTest, ControlBytesOfPlatformTextsNeverReachTheReceipt) {
    const std::string answer =
        std::string(R"({"result":true,"merchantName":"Shop\u001bp\u0000\u0019",)") +
        R"("orderId":"P1","totalFee":100,"actualFee":100,"orderState":7,)" +
        R"("buyerLoginId":"b\u001dV\u0001\u007f","description":"a\tb"})";
    session_->set_exchange_runner(Canned({answer}));
    ASSERT_TRUE(Pay("1.00", test::PaidCode()));
    session_->OnTimer(kQueryTimerId);
    const std::string receipt = session_->print_data();
    ASSERT_FALSE(receipt.empty());
    for (char c : receipt) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_TRUE(b >= 0x20 ? b != 0x7f : (b == '\r' || b == '\n' || b == '\t')) << int(b);
    }
    EXPECT_NE(receipt.find("Shopp"), std::string::npos);
    EXPECT_NE(receipt.find("a\tb"), std::string::npos);
}

TEST_F(ResultSessionTest, OneOperationInFlightAtATimeAndLateAnswersOfEarlierOrdersDropped) {
    // Answers held back until the test releases them, as a slow platform would.
    std::vector<std::pair<std::function<PlatformAnswer()>, std::function<void(PlatformAnswer)>>>
        held;
    session_->set_exchange_runner([&](auto job, auto done) { held.emplace_back(job, done); });
    ASSERT_TRUE(Pay("7.00", test::PendingThenPaidCode()));
    EXPECT_EQ(view_.busy, kPayingText);
    EXPECT_TRUE(session_->busy());
    // Enter again, a QR payment, a refund: nothing starts; the main window's clearing too.
    EXPECT_FALSE(session_->StartPayment("7.00", test::PaidCode(), ""));
    EXPECT_FALSE(session_->PreCreate("7.00", "支付宝"));
    EXPECT_FALSE(session_->Refund("1.00", "P1", "x"));
    session_->ClearResult();
    ASSERT_EQ(held.size(), 1u);
    auto [job, done] = held.back();
    done(job());
    EXPECT_TRUE(view_.busy.empty());
    EXPECT_EQ(store_->List().size(), 1u);

    // The first query leaves; before its answer a new payment begins: the old answer is
    // dropped and the new order is polled on its own.
    session_->OnTimer(kQueryTimerId);
    ASSERT_EQ(held.size(), 2u);
    auto stale = held.back();
    ASSERT_TRUE(Pay("8.00", test::PaidCode()));
    held.back().second(held.back().first());
    const std::string second_text = session_->result_text();
    stale.second(stale.first());
    EXPECT_EQ(session_->result_text(), second_text);
}

// The spread around 30 s is measured on a running reconciler below.
TEST(ReconcileSchedule, DoublingAndBackingOffToFiveMinutes) {
    EXPECT_EQ(OrderReconciler::NextDelayMs(1, 0), 60000);
    EXPECT_EQ(OrderReconciler::NextDelayMs(3, 0), 240000);
    for (int failures : {4, 50, 1000}) {
        EXPECT_EQ(OrderReconciler::NextDelayMs(failures, 0), 300000) << failures;
        EXPECT_LE(OrderReconciler::NextDelayMs(failures, 1), 390000);
    }
}

// The session of the base fixture stays unused: the reconciler works on the same store.
class ReconcilerTest : public ResultSessionTest {
  protected:
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

    std::vector<std::pair<std::string, std::string>> popups;
};

TEST_F(ReconcilerTest, FoundPaidAnnouncedOnceUnknownDroppedTimedOutKept) {
    Lost(test::PaidCode());
    const UnresolvedOrder timed_out = Lost(test::TimeoutCode());
    ASSERT_TRUE(store_->Add(Order("20000101000000999", 2)));  // unknown to the platform

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
    SetOffline(true);
    auto r = Make();
    r->Start();
    for (int failures : {1, 2}) {
        RunRound(*r);
        EXPECT_EQ(r->failures(), failures);
        EXPECT_GE(r->scheduled_ms(), 42000 * failures);
    }
    EXPECT_EQ(store_->List().size(), 1u);
    EXPECT_TRUE(popups.empty());

    // A page's exchange gets through: a round starts at once, without waiting minutes.
    SetOffline(false);
    r->OnPlatformReach(true);
    ASSERT_TRUE(test::SpinUntil([&] { return !popups.empty(); }, 10000));
    EXPECT_TRUE(store_->List().empty());
    EXPECT_EQ(r->failures(), 0);
}

}  // namespace
}  // namespace tendrix::checkout
