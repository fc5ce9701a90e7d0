// Order, merchant and list operations end to end against the sandbox, following its
// scripted behaviour (payment code last digit). Paying, the pending/paid/timed-out/refused
// scripts, the late answer found by its merchant number and the pre-created QR order are
// followed where the cashier sees them: tests/checkout/pages/result_session_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "platform_api/answer_parsers.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/support/sandbox_process.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

std::string Field(const TextList& lines, const std::string& label) {
    for (const std::string& line : lines) {
        if (line.rfind(label, 0) == 0)
            return line.substr(label.size(), line.size() - label.size() - 2);
    }
    return "<absent " + label + ">";
}

// A payment code unique in its 4th-13th characters (the part the merchant order number
// keeps), with the given prefix and last digit.
std::string Code(const char* prefix, char last) {
    static int counter = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%s%010d%05d%c", prefix, ++counter, 0, last);
    return text;
}

class Operations : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        const PlatformResult<TextList> login = ParseLoginAnswer(client_.Login("demo", "demo"));
        const TextList& list = login.value;
        ASSERT_EQ(list.size(), 3u) << login.message;
        client_.set_identity({list[0], list[2], list[1], "demo"});
    }

    // Creates an order; returns the parsed lines (empty on failure, its message in last_).
    TextList Create(const std::string& fen, const std::string& code, const std::string& type = "") {
        out_order_id_ = MakeOutOrderId(std::time(nullptr), code);
        return Take(client_.CreateOrder(out_order_id_, fen, code, type));
    }
    TextList Query(const std::string& order_id, const std::string& out_order_id = "") {
        return Take(client_.QueryOrder(order_id, out_order_id));
    }
    // An order answer's lines; the failure's kind in error_ and its message in last_.
    TextList Take(const PlatformAnswer& answer) {
        const PlatformResult<TextList> order = ParseOrderAnswer(answer);
        error_ = order.error;
        last_ = order.message;
        return order.value;
    }

    test::SandboxProcess sandbox_;
    PlatformClient client_{"", "", "", "", sandbox_.base_url()};
    std::string last_;
    PlatformError error_ = PlatformError::kNone;
    std::string out_order_id_;
};

TEST_F(Operations, QueryByMerchantOrderNumberWinsOverPlatformNumber) {
    Create("200", Code("28", '1'));
    const std::string out = out_order_id_;
    EXPECT_EQ(out.size(), 24u);
    TextList lines = Query("no-such-order", out);
    EXPECT_EQ(Field(lines, "支付状态："), "已付款（7）") << last_;
    Query("no-such-order");
    EXPECT_EQ(error_, PlatformError::kNoSuchOrder);
    EXPECT_EQ(last_, "订单不存在");
}

// The deposit relabelling itself: Parsers.OrderAnswerRefundStateDepositAndFreezeHeading.
TEST_F(Operations, DepositFreezeIsUnfrozenNotRefunded) {
    const std::string wechat = Field(Create("800", Code("13", '1'), "109"), "订单号：");
    EXPECT_EQ(Field(Query(wechat), "支付方式："), "微信预付款");
    const TextList lines = Take(client_.RefundOrder("00", wechat, ""));
    EXPECT_EQ(Field(lines, "本次解冻金额："), "8.00元") << last_;
}

TEST_F(Operations, PartialThenFullRefund) {
    const std::string id = Field(Create("1000", Code("13", '2')), "订单号：");
    Query(id);
    TextList lines = Take(client_.RefundOrder("300", id, "顾客退货"));
    EXPECT_EQ(Field(lines, "本次退款金额："), "3.00元");
    EXPECT_EQ(Field(lines, "支付状态："), "部分退款（11）");
    EXPECT_EQ(lines.back(), "顾客退货\r\n");

    Take(client_.RefundOrder("800", id, ""));
    EXPECT_EQ(last_, "退款金额超过可退金额");

    lines = Take(client_.RefundOrder("00", id, ""));  // the rest
    EXPECT_EQ(Field(lines, "本次退款金额："), "7.00元");
    EXPECT_EQ(Field(lines, "支付状态："), "已退款（10）");
}

TEST_F(Operations, CloseAndOverlongDescriptions) {
    const std::string id = Field(Create("100", Code("28", '5')), "订单号：");
    // Sends "description=" with an empty value.
    TextList lines = Take(client_.CloseOrder(id, ""));
    EXPECT_EQ(Field(lines, "支付状态："), "已取消（4）") << last_;
    EXPECT_NE(Field(lines, "取消时间："), "<absent 取消时间：>");

    // 67 Chinese characters are 201 UTF-8 bytes: nothing is sent, and the cashier sees what
    // an answer without an order shows.
    std::string reason;
    for (int i = 0; i < 67; ++i) reason += "退";
    for (const PlatformAnswer& answer :
         {client_.CloseOrder(id, reason), client_.RefundOrder("00", id, reason)}) {
        EXPECT_EQ(answer.error, PlatformError::kRefusedInput);
        EXPECT_EQ(ParseOrderAnswer(answer).message, kIllegalFormatText);
    }
    // 66 characters (198 bytes) go through.
    reason.resize(198);
    EXPECT_EQ(client_.CloseOrder(id, reason).value.substr(0, 1), "{");

    const std::string paid = Field(Create("100", Code("28", '0')), "订单号：");
    Query(paid);
    lines = Take(client_.CloseOrder(paid, ""));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(last_, "订单状态为已付款，不能撤销");
}

TEST_F(Operations, OrderListAndStatistics) {
    for (const std::string& code : {Code("28", '0'), Code("28", '1'), Code("13", '2')}) {
        Query(Field(Create("250", code), "订单号："));
    }
    Create("100", Code("28", '5'));  // still pending
    const std::string start = LocalTimeDigits(std::time(nullptr) - 3600);
    const std::string end = LocalTimeDigits(std::time(nullptr) + 3600);

    QueryFields list{{"startTime", start}, {"endTime", end},   {"pageNum", "1"},
                     {"pageSize", "15"},   {"orderType", "0"}, {"orderState", "7"}};
    PlatformResult<TextList> rows = ParseOrderListAnswer(client_.QueryOrderList(list));
    ASSERT_EQ(rows.value.size(), 3u) << rows.message;
    EXPECT_TRUE(rows.ok());
    list["pageNum"] = "2";
    rows = ParseOrderListAnswer(client_.QueryOrderList(list));
    EXPECT_EQ(rows.error, PlatformError::kNothingFound);
    EXPECT_EQ(rows.message, kLastPageText);

    const PlatformResult<StatisticsAnswer> stats = ParseStatisticsAnswer(
        client_.QueryStatistics({{"startTime", start}, {"endTime", end}, {"orderType", "0"}}));
    EXPECT_EQ(stats.value.rows, (TextList{"5.00\n2\n支付宝\n", "2.50\n1\n微信\n"}));
    EXPECT_EQ(stats.value.period, DigitsToDateTimeText(start) + "----" + DigitsToDateTimeText(end));
}

TEST_F(Operations, MerchantInformationShopManagerAndPermission) {
    const PlatformIdentity& id = client_.identity();
    EXPECT_EQ(
        ParseMerchantInfoAnswer(client_.QueryMerchantInfo(id.merchant_id, id.client_id, id.secret))
            .value,
        (TextList{"Tendrix 演示商户", "演示一号店", "demo", "sandbox 1.0"}));

    PlatformResult<TextList> list =
        ParseGenericAnswer(client_.QueryShopManager(id.merchant_id, id.secret, "S001"));
    ASSERT_EQ(list.value.size(), 12u);
    EXPECT_EQ(list.value[0], "managerName");
    list = ParseGenericAnswer(client_.QueryShopManager(id.merchant_id, id.secret, "S999"));
    EXPECT_EQ(list.message, "门店不存在");

    EXPECT_EQ(
        ParsePermissionAnswer(client_.GrantPermission("收银员甲", id.merchant_id, "1", id.secret))
            .value,
        "用户名：收银员甲，当笔可退权限设置成功！");
    // Signed with the wrong key: refused with a clear message.
    const PlatformResult<std::string> refused = ParsePermissionAnswer(
        client_.GrantPermission("收银员甲", id.merchant_id, "1", "not-the-secret"));
    EXPECT_EQ(refused.error, PlatformError::kRefused);
    EXPECT_EQ(refused.message, "签名验证失败");
}

}  // namespace
}  // namespace tendrix
