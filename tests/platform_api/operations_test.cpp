// Order, merchant and list operations end to end against the sandbox, following its
// scripted behaviour (payment code last digit, fault amounts).
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "platform_api/answer_parsers.h"
#include "platform_api/money_text.h"
#include "platform_api/platform_client.h"
#include "tests/support/sandbox_process.h"

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
    explicit Operations(test::SandboxProcess::Options options = {}) : sandbox_(options) {}

    void SetUp() override {
        if (!sandbox_.ok()) GTEST_SKIP() << sandbox_.error();
        std::string answer;
        client_.Login(answer, "demo", "demo");
        TextList list;
        ParseLoginAnswer(answer, list);
        ASSERT_EQ(list.size(), 3u) << answer;
        client_.set_identity({list[0], list[2], list[1], "demo"});
    }

    // Creates an order; returns the parsed lines (empty on failure, answer kept in last_).
    TextList Create(const std::string& fen, const std::string& code, const std::string& type = "") {
        out_order_id_ = client_.CreateOrder(last_, fen, code, type);
        TextList lines;
        ParseOrderAnswer(last_, lines);
        return lines;
    }
    TextList Query(const std::string& order_id, const std::string& out_order_id = "") {
        client_.QueryOrder(last_, order_id, out_order_id);
        TextList lines;
        ParseOrderAnswer(last_, lines);
        return lines;
    }

    test::SandboxProcess sandbox_;
    PlatformClient client_{"", "", "", "", sandbox_.base_url()};
    std::string last_;
    std::string out_order_id_;
};

TEST_F(Operations, PaymentCodeScripts) {
    // 0-4: paid at the first query.
    TextList lines = Create("1234", Code("28", '3'));
    ASSERT_FALSE(lines.empty()) << last_;
    EXPECT_EQ(Field(lines, "支付状态："), "待付款（1）");
    EXPECT_EQ(Field(lines, "交易金额："), "12.34元");
    const std::string paid_now = Field(lines, "订单号：");
    EXPECT_EQ(Field(Query(paid_now), "支付状态："), "已付款（7）");

    // 5: pending for three queries, then paid; 6: then timed out.
    const std::string later = Field(Create("100", Code("28", '5')), "订单号：");
    const std::string expires = Field(Create("100", Code("28", '6')), "订单号：");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Field(Query(later), "支付状态："), "待付款（1）");
        EXPECT_EQ(Field(Query(expires), "支付状态："), "待付款（1）");
    }
    EXPECT_EQ(Field(Query(later), "支付状态："), "已付款（7）");
    EXPECT_EQ(Field(Query(expires), "支付状态："), "超时（13）");

    // 7: refused.
    EXPECT_TRUE(Create("100", Code("28", '7')).empty());
    EXPECT_EQ(last_, "余额不足");
}

TEST_F(Operations, QueryByMerchantOrderNumberWinsOverPlatformNumber) {
    Create("200", Code("28", '1'));
    const std::string out = out_order_id_;
    EXPECT_EQ(out.size(), 24u);
    TextList lines = Query("no-such-order", out);
    EXPECT_EQ(Field(lines, "支付状态："), "已付款（7）") << last_;
    Query("no-such-order");
    EXPECT_EQ(last_, "订单不存在");
}

TEST_F(Operations, DepositFreezeIsUnfrozenNotRefunded) {
    const std::string id = Field(Create("5000", Code("28", '8')), "订单号：");
    TextList paid = Query(id);
    EXPECT_EQ(Field(paid, "支付方式："), "支付宝预付款");
    client_.RefundOrder(last_, "2000", id, "解冻");
    TextList lines;
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(Field(lines, "本次解冻金额："), "20.00元") << last_;

    // The WeChat deposit type (109) is relabelled the same way.
    const std::string wechat = Field(Create("800", Code("13", '1'), "109"), "订单号：");
    EXPECT_EQ(Field(Query(wechat), "支付方式："), "微信预付款");
    client_.RefundOrder(last_, "00", wechat, "");
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(Field(lines, "本次解冻金额："), "8.00元") << last_;
}

TEST_F(Operations, PartialThenFullRefund) {
    const std::string id = Field(Create("1000", Code("13", '2')), "订单号：");
    Query(id);
    client_.RefundOrder(last_, "300", id, "顾客退货");
    TextList lines;
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(Field(lines, "本次退款金额："), "3.00元");
    EXPECT_EQ(Field(lines, "支付状态："), "部分退款（11）");
    EXPECT_EQ(lines.back(), "顾客退货\r\n");

    client_.RefundOrder(last_, "800", id, "");
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(last_, "退款金额超过可退金额");

    client_.RefundOrder(last_, "00", id, "");  // the rest
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(Field(lines, "本次退款金额："), "7.00元");
    EXPECT_EQ(Field(lines, "支付状态："), "已退款（10）");
}

TEST_F(Operations, CloseAndOverlongDescriptions) {
    const std::string id = Field(Create("100", Code("28", '5')), "订单号：");
    client_.CloseOrder(last_, id, "");  // sends "description=" with an empty value
    TextList lines;
    ParseOrderAnswer(last_, lines);
    EXPECT_EQ(Field(lines, "支付状态："), "已取消（4）") << last_;
    EXPECT_NE(Field(lines, "取消时间："), "<absent 取消时间：>");

    // 67 Chinese characters are 201 UTF-8 bytes: nothing is sent, the answer is untouched.
    std::string reason;
    for (int i = 0; i < 67; ++i) reason += "退";
    std::string answer = "untouched";
    client_.CloseOrder(answer, id, reason);
    EXPECT_EQ(answer, "untouched");
    client_.RefundOrder(answer, "00", id, reason);
    EXPECT_EQ(answer, "untouched");
    // 66 characters (198 bytes) go through.
    reason.resize(198);
    client_.CloseOrder(answer, id, reason);
    EXPECT_EQ(answer.substr(0, 1), "{");

    const std::string paid = Field(Create("100", Code("28", '0')), "订单号：");
    Query(paid);
    client_.CloseOrder(last_, paid, "");
    ParseOrderAnswer(last_, lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(last_, "订单状态为已付款，不能撤销");
}

TEST_F(Operations, PreCreatedQrOrderIsPaidAfterAFewQueries) {
    QueryFields fields{{"outOrderId", client_.MakePreCreateOrderNumber(std::time(nullptr))},
                       {"orderType", "4"},
                       {"totalFee", "888"},
                       {"tradeType", "NATIVE"}};
    client_.PreCreateOrder(last_, fields);
    TextList items;
    ParsePreCreateAnswer(last_, items);
    ASSERT_EQ(items.size(), 16u) << last_;
    EXPECT_EQ(items[14].rfind(sandbox_.base_url() + "/qr/", 0), 0u);
    const std::string id = items[2];
    EXPECT_EQ(Field(Query(id), "支付状态："), "待付款（1）");
    EXPECT_EQ(Field(Query(id), "支付状态："), "待付款（1）");
    EXPECT_EQ(Field(Query(id), "支付状态："), "已付款（7）");

    client_.QueryOrder(last_, id, "");
    TextList record;
    ParseOrderRecord(last_, record);
    ASSERT_EQ(record.size(), 10u);
    EXPECT_EQ(record[0], id);
    EXPECT_EQ(record[1], "8.88");
    EXPECT_EQ(record[5], "已付款");
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
    client_.QueryOrderList(last_, list);
    TextList rows;
    ParseOrderListAnswer(last_, rows);
    ASSERT_EQ(rows.size(), 3u) << last_;
    EXPECT_EQ(last_, "");
    list["pageNum"] = "2";
    client_.QueryOrderList(last_, list);
    ParseOrderListAnswer(last_, rows);
    EXPECT_EQ(last_, kLastPageText);

    client_.QueryStatistics(last_, {{"startTime", start}, {"endTime", end}, {"orderType", "0"}});
    std::string period;
    ParseStatisticsAnswer(last_, rows, period);
    EXPECT_EQ(rows, (TextList{"5.00\n2\n支付宝\n", "2.50\n1\n微信\n"}));
    EXPECT_EQ(period, DigitsToDateTimeText(start) + "----" + DigitsToDateTimeText(end));
}

TEST_F(Operations, MerchantInformationShopManagerAndPermission) {
    const PlatformIdentity& id = client_.identity();
    std::string answer;
    client_.QueryMerchantInfo(answer, id.merchant_id, id.client_id, id.secret);
    TextList list;
    ParseMerchantInfoAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"Tendrix 演示商户", "演示一号店", "demo", "sandbox 1.0"}));

    client_.QueryShopManager(answer, id.merchant_id, id.secret, "S001");
    ParseGenericAnswer(answer, list);
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list[0], "managerName");
    client_.QueryShopManager(answer, id.merchant_id, id.secret, "S999");
    ParseGenericAnswer(answer, list);
    EXPECT_EQ(answer, "门店不存在");

    client_.GrantPermission(answer, "收银员甲", id.merchant_id, "1", id.secret);
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "用户名：收银员甲，当笔可退权限设置成功！");
    // Signed with the wrong key: refused with a clear message.
    client_.GrantPermission(answer, "收银员甲", id.merchant_id, "1", "not-the-secret");
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "签名验证失败");
}

// Code 9: the creation answer comes after the client's time-out, shortened here.
class LateAnswer : public Operations {
  protected:
    LateAnswer() : Operations({"", {"--late-answer-ms", "3000"}}) {}
};

TEST_F(LateAnswer, ClientSeesNetworkFailureButTheOrderIsFoundPaidLater) {
    client_.set_timeout(std::chrono::milliseconds(500));
    std::string answer;
    const std::string out = client_.CreateOrder(answer, "990", Code("28", '9'), "");
    EXPECT_EQ(answer, kNetworkFailureText);
    client_.set_timeout(PlatformClient::kDefaultTimeout);
    TextList lines = Query("", out);
    EXPECT_EQ(Field(lines, "支付状态："), "已付款（7）") << last_;
    EXPECT_EQ(Field(lines, "交易金额："), "9.90元");
}

}  // namespace
}  // namespace tendrix
