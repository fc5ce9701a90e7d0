// Answer parsers against complete, partial, refused, malformed and non-JSON answers.
#include "platform_api/answer_parsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform_api/platform_client.h"

namespace tendrix {
namespace {

class Parsers : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(Parsers, OrderAnswerComplete) {
    std::string answer =
        R"({"result":true,"merchantName":"店","orderId":"P1","totalFee":1234,"actualFee":0,)"
        R"("type":"支付宝","orderState":7,"orderStateDes":"已付款","payTime":1704067200999,)"
        R"("payCode":"281234","buyerLoginId":"b@x","description":"备注"})";
    TextList lines;
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "");
    const TextList expected = {"商户名称：\r\n",
                               "店\r\n",
                               "订单号：P1\r\n",
                               "交易金额：12.34元\r\n",
                               "实际金额：0.00元\r\n",
                               "支付方式：支付宝\r\n",
                               "支付状态：已付款（7）\r\n",
                               "支付时间：2024-01-01 00:00:00\r\n",
                               "支付码：\r\n",
                               "281234\r\n",
                               "第三方用户名：\r\n",
                               "b@x\r\n",
                               "备注：\r\n",
                               "备注\r\n"};
    EXPECT_EQ(lines, expected);
}

TEST_F(Parsers, OrderAnswerRefundStateDepositAndFreezeHeading) {
    std::string answer =
        R"({"result":true,"orderId":"P2","totalFee":500,"refundFee":0,"type":"支付宝预付款",)"
        R"("orderState":7,"orderStateDes":"已付款","refundState":10,"refundStateDes":"已退款",)"
        R"("payCode":"2088001","thirdLoginId":"t1"})";
    TextList lines;
    ParseOrderAnswer(answer, lines);
    ASSERT_EQ(answer, "");
    EXPECT_EQ(lines[2], "订单号：P2\r\n");
    EXPECT_EQ(lines[4], "本次解冻金额：元\r\n");  // relabelled; a zero refund shows no digits
    EXPECT_EQ(lines[6], "支付状态：已退款（10）\r\n");
    EXPECT_EQ(lines[7], "解冻、转支付操作订单号：\r\n");
    EXPECT_EQ(lines[9], "第三方用户名：\r\n");
    EXPECT_EQ(lines[10], "t1\r\n");

    // Not a deposit: the label stays.
    answer = R"({"result":true,"orderId":"P3","totalFee":1,"refundFee":1,"type":"微信"})";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(lines[4], "本次退款金额：0.01元\r\n");
}

TEST_F(Parsers, OrderAnswerStateLineWithoutDescriptions) {
    std::string answer = R"({"result":true,"orderId":"P","totalFee":1,"orderState":1})";
    TextList lines;
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(lines.back(), "支付状态：（1）\r\n");
    // Members of unexpected types never crash: shown as their text.
    answer =
        R"({"result":true,"orderId":5,"totalFee":"12","payTime":"yesterday","orderState":[1]})";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(lines[2], "订单号：5\r\n");
    EXPECT_EQ(lines[3], "交易金额：0.12元\r\n");
    EXPECT_EQ(lines.back(), "支付时间：yesterday\r\n");
}

TEST_F(Parsers, OrderAnswerFailures) {
    TextList lines{"stale"};
    std::string answer = R"({"result":false,"message":"余额不足"})";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "余额不足");
    EXPECT_TRUE(lines.empty());

    answer = "<html>502</html>";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, kIllegalFormatText);
    answer = "";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, kIllegalFormatText);
    answer = std::string(kNetworkFailureText);
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, kIllegalFormatText);

    // Malformed JSON starting with "{": the answer stays as it was.
    answer = R"({"result":true,"orderId":")";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, R"({"result":true,"orderId":")");
    EXPECT_TRUE(lines.empty());

    // No "result": nothing, answer unchanged. "success" false puts the message in the answer.
    answer = R"({"orderId":"1"})";
    ParseOrderAnswer(answer, lines);
    EXPECT_TRUE(lines.empty());
    answer = R"({"success":false,"message":"系统繁忙"})";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "系统繁忙");
    EXPECT_TRUE(lines.empty());

    // Comments are allowed; a deeply nested answer is refused, not a crash.
    answer = "{/* c */ \"result\":true,\"orderId\":\"7\",\"totalFee\":1}";
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "");
    answer = "{\"a\":" + std::string(100000, '[');
    ParseOrderAnswer(answer, lines);
    EXPECT_TRUE(lines.empty());
}

TEST_F(Parsers, OrderRecordValuesByPosition) {
    std::string answer =
        R"({"result":true,"orderId":"P1","totalFee":1234,"actualFee":0,"type":"微信",)"
        R"("orderStateDes":"已付款","cancelTime":1704067200000,"thirdLoginId":"t",)"
        R"("payCode":"13","description":"d"})";
    TextList values;
    ParseOrderRecord(answer, values);
    const TextList expected = {"P1", "12.34", "0.00", "", "微信", "已付款", "2024-01-01 00:00:00",
                               "t",  "13",    "d"};
    EXPECT_EQ(values, expected);
    answer = R"({"result":true,"orderId":"P1","totalFee":1})";
    ParseOrderRecord(answer, values);
    EXPECT_EQ(values[2], "");  // actual amount absent
    answer = "x";
    ParseOrderRecord(answer, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(answer, kIllegalFormatText);
}

TEST_F(Parsers, PreCreateAnswer) {
    std::string answer =
        R"({"result":true,"orderId":"Q1","totalFee":50,"type":"支付宝","orderState":1,)"
        R"("orderStateDes":"待付款","data":{"qrCode":"http://pay/q1"}})";
    TextList items;
    ParsePreCreateAnswer(answer, items);
    const TextList expected = {
        "\r\n",          "订单号：", "Q1",   "\r\n",       "交易金额：",  "0.50", "\r\n",
        "订单类型：",    "支付宝",   "\r\n", "订单状态：", "待付款（1）", "\r\n", "支付链接：",
        "http://pay/q1", "\r\n"};
    EXPECT_EQ(items, expected);
    answer = R"({"result":true,"orderId":"Q1","data":"not an object"})";
    ParsePreCreateAnswer(answer, items);
    EXPECT_EQ(items[14], "");
    answer = R"({"result":false,"message":"no"})";
    ParsePreCreateAnswer(answer, items);
    EXPECT_EQ(answer, "no");
    EXPECT_TRUE(items.empty());
}

TEST_F(Parsers, LoginAnswer) {
    TextList list;
    std::string answer = R"({"result":true,"merchantId":"M","secret":"S","clientId":["A","B"]})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"M", "S", "A", "B"}));
    EXPECT_EQ(answer, "");

    answer = R"({"result":true,"merchantId":"M","clientId":["A",null,"C"]})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"M", "", "A"}));  // no secret: empty; stops at null
    answer = R"({"result":true,"merchantId":"M","secret":"S","clientId":"A"})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"M", "S"}));

    answer = R"({"result":false,"message":"用户名或密码错误"})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(answer, "用户名或密码错误");
    EXPECT_TRUE(list.empty());
    answer = R"({"result":false})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(answer, kNoServerInfoText);
    answer = R"({"merchantId":"M"})";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(answer, R"({"merchantId":"M"})");
    answer = "not json";
    ParseLoginAnswer(answer, list);
    EXPECT_EQ(answer, "");
    EXPECT_TRUE(list.empty());
}

TEST_F(Parsers, MerchantInfoPermissionAndGeneric) {
    TextList list;
    std::string answer = R"({"merchantName":"商户","cashierName":"张三","version":"1.0"})";
    ParseMerchantInfoAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"商户", "张三", "1.0"}));
    answer = R"({"result":false,"message":"设备号不存在"})";
    ParseMerchantInfoAnswer(answer, list);
    EXPECT_EQ(answer, "设备号不存在");
    EXPECT_TRUE(list.empty());

    answer = R"({"result":true,"userName":"收银员甲","jtionType":"当笔可退"})";
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "用户名：收银员甲，当笔可退权限设置成功！");
    answer = R"({"result":true})";
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "用户名：，权限设置成功！");
    answer = R"({"result":false,"message":"收银员不存在"})";
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "收银员不存在");
    answer = R"({"result":false})";
    ParsePermissionAnswer(answer);
    EXPECT_EQ(answer, "");

    answer = R"({"shopId":"S1","count":3})";
    ParseGenericAnswer(answer, list);
    EXPECT_EQ(list, (TextList{"count", "3", "", "shopId", "S1", ""}));
    answer = R"({"result":false,"message":"门店不存在"})";
    ParseGenericAnswer(answer, list);
    EXPECT_EQ(answer, "门店不存在");
    EXPECT_TRUE(list.empty());
}

TEST_F(Parsers, OrderListRows) {
    std::string answer =
        R"({"result":true,"orderList":[{"orderId":"1","totalFee":100,"actualFee":0,)"
        R"("refundFee":100,"type":"微信","orderStateDes":"已退款","payTime":"2024-01-01 10:00:00",)"
        R"("buyerLoginId":"b","payCode":"13","description":"d"},{"orderId":"2"}, 7]})";
    TextList rows;
    ParseOrderListAnswer(answer, rows);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "1\n1.00\n0.00\n\n微信\n已退款\n2024-01-01 10:00:00\nb\n13\nd\n");
    EXPECT_EQ(rows[1], "2\n\n\n\n\n\n\n\n\n\n");
    EXPECT_EQ(answer, "");

    for (std::string empty :
         {std::string(R"({"result":true,"orderList":[]})"),
          std::string(R"({"result":false,"message":"x"})"),
          std::string(R"({"result":true,"orderList":{}})"), std::string("{broken")}) {
        ParseOrderListAnswer(empty, rows);
        EXPECT_EQ(empty, kLastPageText);
        EXPECT_TRUE(rows.empty());
    }
    answer = "[1]";
    ParseOrderListAnswer(answer, rows);
    EXPECT_EQ(answer, kIllegalFormatText);
}

TEST_F(Parsers, StatisticsRowsAndPeriod) {
    std::string answer =
        R"({"result":true,"startTime":"20240101000000","endTime":"20240131235959",)"
        R"("orderList":[{"totalMoney":123456,"orderCount":7,"type":"支付宝"}]})";
    TextList rows;
    std::string period = "stale";
    ParseStatisticsAnswer(answer, rows, period);
    EXPECT_EQ(period, "2024-01-01 00:00:00----2024-01-31 23:59:59");
    EXPECT_EQ(rows, (TextList{"1234.56\n7\n支付宝\n"}));
    EXPECT_EQ(answer, "");

    answer = R"({"result":true,"startTime":"2024","orderList":[]})";
    ParseStatisticsAnswer(answer, rows, period);
    EXPECT_EQ(answer, kLastPageText);
    EXPECT_EQ(period, "2024----");
    answer = "oops";
    ParseStatisticsAnswer(answer, rows, period);
    EXPECT_EQ(answer, kIllegalFormatText);
    EXPECT_EQ(period, "");
}

// Answers no platform should send: every reader takes them without throwing and leaves a
// text for the cashier or an empty list. Deep nesting made JsonCpp throw out of an answer
// check, and a 20-digit time out of std::stoull; either ended the program.
TEST_F(Parsers, HostileAnswersThroughEveryReader) {
    const std::string deep(200000, '[');
    const std::vector<std::string> hostile = {
        "{\"a\":" + deep,
        "{" + std::string(200000, '{'),
        R"({"result":true,"orderId":"1","payTime":99999999999999999999,"orderState":7})",
        R"({"result":true,"orderId":"1","payTime":"18446744073709551616","refundTime":-5})",
        R"({"result":true,"orderId":1e999,"totalFee":[1],"orderState":{"x":1},"type":null})",
        R"({"result":"true","success":"no","message":["m"],"clientId":"x","orderList":7})",
        R"({"result":true,"orderList":[1,"a",null,[]],"startTime":{"a":1}})",
        std::string("{\"result\":true,\"orderId\":\"a\0b\"}", 31),
        R"({"result":true,"merchantName":")" + std::string(1 << 20, 'x') + R"("})",
    };
    for (const std::string& h : hostile) {
        TextList list;
        std::string period;
        std::string a = h;
        ParseOrderAnswer(a, list);
        a = h, ParseOrderRecord(a, list);
        a = h, ParsePreCreateAnswer(a, list);
        a = h, ParseLoginAnswer(a, list);
        a = h, ParseMerchantInfoAnswer(a, list);
        a = h, ParsePermissionAnswer(a);
        a = h, ParseGenericAnswer(a, list);
        a = h, ParseOrderListAnswer(a, list);
        a = h, ParseStatisticsAnswer(a, list, period);
        ClassifyOrderAnswer(h);
    }
    // A time beyond any date is shown as it came; the order is still read.
    std::string answer = hostile[3];
    TextList lines;
    ParseOrderAnswer(answer, lines);
    EXPECT_EQ(answer, "");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "支付时间：18446744073709551616\r\n"),
              lines.end());

    EXPECT_EQ(ClassifyOrderAnswer("{" + deep), AnswerKind::kUnreadable);
    EXPECT_EQ(ClassifyOrderAnswer(R"({"result":false,"message":"系统繁忙"})"),
              AnswerKind::kRefusal);
    EXPECT_EQ(ClassifyOrderAnswer(R"({"success":false,"result":true})"), AnswerKind::kRefusal);
    EXPECT_EQ(ClassifyOrderAnswer(R"({"result":false,"message":"订单不存在"})"),
              AnswerKind::kNoSuchOrder);
    EXPECT_EQ(ClassifyOrderAnswer(R"({"result":true,"orderId":"1"})"), AnswerKind::kOrder);

    uint64_t v = 0;
    EXPECT_TRUE(ParseUnsigned("18446744073709551615", v));
    EXPECT_EQ(v, UINT64_MAX);
    for (const char* bad : {"18446744073709551616", "", "-1", "1 ", "99999999999999999999"})
        EXPECT_FALSE(ParseUnsigned(bad, v)) << bad;
    EXPECT_EQ(StripControlBytes(std::string("a\x1b"
                                            "p\0\x1dV\r\n\t\x7f"
                                            "b",
                                            11)),
              "apV\r\n\tb");
}

}  // namespace
}  // namespace tendrix
