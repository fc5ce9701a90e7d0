// Order inquiry: filters, paging and statistics against the real sandbox platform, receipts,
// and the page itself driven offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <ctime>

#include "checkout/inquiry/order_check_backend.h"
#include "checkout/inquiry/order_check_dlg.h"
#include "checkout/inquiry/order_check_logic.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "printing/escpos.h"
#include "printing/printer_port.h"
#include "tests/checkout/pages/checkout_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_sink.h"
#include "tests/support/sandbox_process.h"

using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::platform_api;

namespace tendrix::checkout::inquiry {
namespace {

DateTime FromTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

OrderFilter AroundNow() {
    OrderFilter f;
    std::time_t now = std::time(nullptr);
    f.start = FromTime(now - 3600);
    f.end = FromTime(now + 3600);
    return f;
}

PlatformIdentity Demo() {
    return {"M100001", "C1001", "sandbox-demo-secret", "demo"};
}

// A sandbox with `paid` paid orders (1.00, 2.00, ... yuan, Alipay) and `pending` pending ones.
class SandboxOrders : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox.ok()) GTEST_SKIP() << sandbox.error();
        client = std::make_unique<PlatformClient>("", "", "", "", sandbox.base_url());
        client->set_identity(Demo());
    }
    void MakeOrders(int paid, int pending) {
        for (int i = 0; i < paid + pending; ++i) {
            const std::string code = i < paid ? test::PaidCode() : test::PendingThenPaidCode();
            const std::string out = MakeOutOrderId(std::time(nullptr), code);
            const PlatformAnswer answer =
                client->CreateOrder(out, std::to_string((i + 1) * 100), code, "1");
            ASSERT_NE(answer.value.find("\"result\""), std::string::npos) << answer.message;
            if (i < paid) client->QueryOrder("", out);
        }
    }
    test::SandboxProcess sandbox;
    std::unique_ptr<PlatformClient> client;
};

// The time, page and state fields are obeyed by the sandbox (SandboxOrders.*); the pay type
// and the statistics' fields are checked here.
TEST(OrderFilterText, TimeTextQueryFieldsAndBadFiltersRefusedBeforeAnyCall) {
    OrderFilter f;
    f.start = {2024, 1, 1, 0, 0, 0};
    f.pay_type = 4;
    EXPECT_EQ(TimeText(f.start), "20240101000000");
    EXPECT_EQ(ListQuery(f, 3)["orderType"], "4");
    auto s = StatisticsQuery(f);
    EXPECT_EQ(s.count("pageNum"), 0u);
    EXPECT_EQ(s["orderType"], "4");

    f.start = {2024, 2, 1, 0, 0, 0};
    f.end = {2024, 1, 31, 0, 0, 0};
    EXPECT_TRUE(CheckFilter(f));  // start after end
    f.end = {2024, 2, 30, 0, 0, 0};
    EXPECT_TRUE(CheckFilter(f));  // no such day
    f.end = {2024, 2, 29, 23, 59, 59};
    EXPECT_FALSE(CheckFilter(f));  // leap day
    f.amount = "12.345";
    EXPECT_TRUE(CheckFilter(f));
    f.amount = "abc";
    EXPECT_TRUE(CheckFilter(f));
    f.amount = "12.5";
    EXPECT_FALSE(CheckFilter(f));

    // No call is made for a refused filter; the rows on view stay.
    int calls = 0;
    Backend b;
    b.order_list = [&](const QueryFields&) {
        ++calls;
        return PlatformResult<TextList>{};
    };
    OrderInquiry inq(b);
    f.amount = "x";
    EXPECT_FALSE(inq.Search(f).empty());
    EXPECT_EQ(calls, 0);
}

TEST(OrderRows, SplitAndLocalFilters) {
    OrderRow r =
        SplitOrderRow("P001\n12.50\n0.00\n\n支付宝\n已付款\n2024-01-01 10:00:00\n\n28\n\n");
    EXPECT_EQ((std::vector{r[0], r[2], r[4], r[9]}),
              (std::vector<std::string>{"P001", "0.00", "支付宝", ""}));
    // A short or damaged row leaves the missing fields empty.
    EXPECT_EQ(SplitOrderRow("only")[1], "");
    // The amount filter: SandboxOrders.* ("3" finds 3.00 alone, not 13.00).
    OrderFilter f;
    f.order_no = "00";
    EXPECT_TRUE(RowMatches(r, f));
    f.order_no = "P002";
    EXPECT_FALSE(RowMatches(r, f));
}

TEST(Receipts, PackedWithinTheBufferAndEndingInASeparator) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) lines.push_back("订单号：P" + std::to_string(100000 + i));
    lines.push_back(std::string(3000, 'x'));  // longer than a receipt
    auto receipts = PackReceipts({"Shop", "订单流水"}, lines, "-------------");
    ASSERT_GT(receipts.size(), 3u);
    size_t rows = 0;
    for (const auto& r : receipts) {
        EXPECT_LE(Utf8ToGbk(r).size(), kMaxReceiptBytes);
        EXPECT_EQ(r.rfind("Shop\r\n", 0), 0u);
        EXPECT_EQ(r.substr(r.size() - 13), "-------------");
        for (size_t at = r.find("订单号"); at != std::string::npos; at = r.find("订单号", at + 1))
            ++rows;
    }
    EXPECT_EQ(rows, 200u);  // nothing lost between receipts
    EXPECT_TRUE(PackReceipts({"Shop"}, {}, "-------------").empty());
}

TEST(OrderInquiryNetwork, NetworkFailureTextShownAsItIs) {
    // Nothing listens on this port: the client gives the network failure text.
    PlatformClient client("", "", "", "", "http://127.0.0.1:1");
    client.set_identity(Demo());
    OrderInquiry inq(PlatformBackend(client));
    EXPECT_EQ(inq.Search(AroundNow()), std::string(kNetworkFailureText));
    EXPECT_EQ(inq.Statistics(AroundNow()), std::string(kNetworkFailureText));
    EXPECT_TRUE(inq.period().empty());
}

// The operations behind the page: paging back, the state and amount filters, an empty period,
// the statistics and their receipt; then the page itself searching (forward to the last
// page), printing the list and the statistics.
TEST_F(SandboxOrders, PagingFiltersStatisticsAndThePageSearchingAndPrinting) {
    MakeOrders(16, 2);
    OrderInquiry inq(PlatformBackend(*client));
    ASSERT_EQ(inq.Search(AroundNow()), "");
    ASSERT_EQ(inq.NextPage(), "");
    ASSERT_EQ(inq.PreviousPage(), "");
    EXPECT_EQ(inq.page(), 1);
    EXPECT_EQ(inq.PreviousPage(), kFirstPageText);

    // State filter sent to the platform; amount filter applied to the rows shown.
    OrderFilter f = AroundNow();
    f.order_state = 7;
    ASSERT_EQ(inq.Search(f), "");
    EXPECT_EQ(inq.rows().size(), 15u);
    for (const auto& r : inq.rows()) EXPECT_EQ(r[5], "已付款");
    f.amount = "3";
    ASSERT_EQ(inq.Search(f), "");
    ASSERT_EQ(inq.rows().size(), 1u);
    EXPECT_EQ(inq.rows()[0][1], "3.00");
    f = AroundNow();
    f.start = {2001, 1, 1, 0, 0, 0};
    f.end = {2001, 1, 2, 0, 0, 0};
    EXPECT_EQ(inq.Search(f), kLastPageText);
    EXPECT_TRUE(inq.rows().empty());

    f = AroundNow();
    ASSERT_EQ(inq.Statistics(f), "");
    const QString start = QString::fromStdString(TimeText(f.start));
    const QString shown =
        QDateTime::fromString(start, "yyyyMMddHHmmss").toString("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(inq.period().rfind(shown.toStdString() + "----", 0), 0u) << inq.period();
    ASSERT_EQ(inq.statistics().size(), 1u);
    EXPECT_EQ(inq.statistics()[0].pay_type, "支付宝");
    EXPECT_EQ(inq.TotalTakings(), "136.00");  // 1 + ... + 16; the pending ones are not counted
    EXPECT_EQ(inq.TotalCount(), 16);
    auto receipts = inq.StatisticsReceipts("Shop", "demo");
    ASSERT_EQ(receipts.size(), 1u);
    EXPECT_NE(receipts[0].find("136.00"), std::string::npos);

    // The closing separator line names the statistics, so the receipt engine prints it as a
    // line and does not send the reset that ends an ordinary receipt.
    printing::MemoryPort port;
    printing::ReceiptOptions options;
    options.title = Utf8ToGbk("Shop");
    printing::PrintReceipt(port, Utf8ToGbk(receipts[0]), "", options);
    const std::string sep = Utf8ToGbk("-------------订单统计");
    const size_t at = port.bytes().find(sep);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 6u);
    EXPECT_EQ(port.bytes().substr(at - 6, 6), std::string("\x1b\x61\x00\x1d\x21\x00", 6));

    test::EnsureApp();
    AppConfig config;
    config.LoadCodeTables();
    test::TempDir dir;
    test::LogInToSandbox(config, sandbox, dir.path());
    test::RecordingSink sink;
    std::vector<QString> messages;

    COrderCheckDlg page;
    ASSERT_TRUE(page.Build());
    page.DoInit();
    CheckoutContext ctx;
    ctx.config = &config;
    ctx.sink = &sink;
    page.Attach(ctx);
    page.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    // Searches run on the background workers: each press waits for the page to take the answer.
    const auto press = [&page](const char* button) {
        page.FindControl<QPushButton>(button)->click();
        test::SpinUntil([&] { return !page.Busy(); }, 20000);
    };

    auto* pay = page.FindControl<QComboBox>("combo_pay_type");
    auto* state = page.FindControl<QComboBox>("combo_order_state");
    ASSERT_TRUE(pay && state);
    EXPECT_EQ(pay->currentText(), "全部");  // the code tables filled in, nothing chosen
    // Today 00:00:00 to 23:59:59 is the default period.
    f = page.ReadFilter();
    EXPECT_EQ(f.start.hour, 0);
    EXPECT_EQ(f.end.hour, 23);
    for (auto [name, secs] : {std::pair{"datetime_start", -3600}, std::pair{"datetime_end", 3600}})
        page.FindControl<QDateTimeEdit>(name)->setDateTime(
            QDateTime::currentDateTime().addSecs(secs));

    press("btn_search");
    auto* list = page.FindControl<QTableWidget>("list_orders");
    ASSERT_TRUE(messages.empty()) << messages[0].toStdString();
    EXPECT_EQ(list->rowCount(), 15);
    EXPECT_EQ(page.FindControl<QLabel>("lab_page")->text(), "第1页");
    EXPECT_EQ(sink.Payloads(CheckoutCommand::Voice), std::vector<std::string>{"checksuccess.mp3"});

    press("btn_next_page");
    EXPECT_EQ(list->rowCount(), 3);
    press("btn_next_page");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QString::fromUtf8(kLastPageText.data(), kLastPageText.size()));
    EXPECT_EQ(list->rowCount(), 3);
    EXPECT_EQ(page.FindControl<QLabel>("lab_page")->text(), "第2页");

    page.FindControl<QPushButton>("btn_print_list")->click();
    auto printed = sink.Payloads(CheckoutCommand::Print);
    ASSERT_FALSE(printed.empty());
    EXPECT_NE(GbkToUtf8(printed[0]).find("演示商户"), std::string::npos);

    press("btn_statistics");
    EXPECT_EQ(page.FindControl<QTableWidget>("list_statistics")->rowCount(), 1);
    EXPECT_TRUE(page.FindControl<QLabel>("lab_period")->text().contains("----"));
    sink.Clear();
    page.FindControl<QPushButton>("btn_print_statistics")->click();
    printed = sink.Payloads(CheckoutCommand::Print);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_NE(printed[0].find(Utf8ToGbk("订单统计")), std::string::npos);  // in GBK
}

}  // namespace
}  // namespace tendrix::checkout::inquiry
