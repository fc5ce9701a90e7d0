// Answer parsers against complete, partial, refused, malformed and non-JSON answers.
#include "platform_api/answer_parsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "platform_api/platform_client.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

// An answer as an exchange gives it back: an empty body is kEmpty.
PlatformAnswer Answer(std::string text) {
    PlatformAnswer answer;
    if (text.empty()) {
        answer.error = PlatformError::kEmpty;
        answer.message = std::string(kNoServerInfoText);
    }
    answer.value = std::move(text);
    return answer;
}

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

struct Failure {
    std::string answer;
    PlatformError error;
    std::string message;
};

// Each answer fails with its kind and the cashier's text, and gives no value.
template <typename Parse>
void ExpectFailures(Parse parse, const std::vector<Failure>& cases) {
    for (const Failure& c : cases) {
        const auto result = parse(Answer(c.answer));
        EXPECT_EQ(result.error, c.error) << c.answer;
        EXPECT_EQ(result.message, c.message) << c.answer;
        EXPECT_TRUE(result.value.empty()) << c.answer;
    }
}

TEST_F(Parsers, OrderAnswerComplete) {
    std::string answer =
        R"({"result":true,"merchantName":"店","orderId":"P1","totalFee":1234,"actualFee":0,)"
        R"("type":"支付宝","orderState":7,"orderStateDes":"已付款","payTime":1704067200999,)"
        R"("payCode":"281234","buyerLoginId":"b@x","description":"备注"})";
    const PlatformResult<TextList> order = ParseOrderAnswer(Answer(answer));
    EXPECT_TRUE(order.ok());
    EXPECT_EQ(order.message, "");
    EXPECT_EQ(std::accumulate(order.value.begin(), order.value.end(), std::string()),
              "商户名称：\r\n店\r\n订单号：P1\r\n交易金额：12.34元\r\n实际金额：0.00元\r\n"
              "支付方式：支付宝\r\n支付状态：已付款（7）\r\n支付时间：2024-01-01 00:00:00\r\n"
              "支付码：\r\n281234\r\n第三方用户名：\r\nb@x\r\n备注：\r\n备注\r\n");
    EXPECT_EQ(order.value.size(), 14u);  // one line per item
}

TEST_F(Parsers, OrderAnswerRefundStateDepositAndFreezeHeading) {
    std::string answer =
        R"({"result":true,"orderId":"P2","totalFee":500,"refundFee":0,"type":"支付宝预付款",)"
        R"("orderState":7,"orderStateDes":"已付款","refundState":10,"refundStateDes":"已退款",)"
        R"("payCode":"2088001","thirdLoginId":"t1"})";
    TextList lines = ParseOrderAnswer(Answer(answer)).value;
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[2], "订单号：P2\r\n");
    EXPECT_EQ(lines[4], "本次解冻金额：元\r\n");  // relabelled; a zero refund shows no digits
    EXPECT_EQ(lines[6], "支付状态：已退款（10）\r\n");
    EXPECT_EQ(lines[7], "解冻、转支付操作订单号：\r\n");
    EXPECT_EQ(lines[9], "第三方用户名：\r\n");
    EXPECT_EQ(lines[10], "t1\r\n");

    // The WeChat deposit is relabelled too; not a deposit: the label stays.
    for (const auto& [type, label] : {std::pair{"微信预付款", "本次解冻金额：0.01元\r\n"},
                                      std::pair{"微信", "本次退款金额：0.01元\r\n"}}) {
        answer = R"({"result":true,"orderId":"P3","totalFee":1,"refundFee":1,"type":")" +
                 std::string(type) + R"("})";
        EXPECT_EQ(ParseOrderAnswer(Answer(answer)).value[4], label) << type;
    }
}

TEST_F(Parsers, OrderAnswerStateLineWithoutDescriptions) {
    std::string answer = R"({"result":true,"orderId":"P","totalFee":1,"orderState":1})";
    TextList lines = ParseOrderAnswer(Answer(answer)).value;
    EXPECT_EQ(lines.back(), "支付状态：（1）\r\n");
    // Members of unexpected types never crash: shown as their text.
    answer =
        R"({"result":true,"orderId":5,"totalFee":"12","payTime":"yesterday","orderState":[1]})";
    lines = ParseOrderAnswer(Answer(answer)).value;
    EXPECT_EQ(lines[2], "订单号：5\r\n");
    EXPECT_EQ(lines[3], "交易金额：0.12元\r\n");
    EXPECT_EQ(lines.back(), "支付时间：yesterday\r\n");
}

TEST_F(Parsers, OrderAnswerFailures) {
    // What became of the order, and what the cashier is shown.
    ExpectFailures(
        ParseOrderAnswer,
        {
            {R"({"result":false,"message":"余额不足"})", PlatformError::kRefused, "余额不足"},
            {R"({"result":false,"message":"订单号不存在"})", PlatformError::kNoSuchOrder,
             "订单号不存在"},
            // "success" false is a refusal whatever "result" says; without a message the cashier
            // sees the malformed-answer text.
            {R"({"success":false,"message":"系统繁忙"})", PlatformError::kRefused, "系统繁忙"},
            {R"({"success":false,"result":true,"orderId":"1"})", PlatformError::kRefused,
             std::string(kIllegalFormatText)},
            {"<html>502</html>", PlatformError::kUnreadable, std::string(kIllegalFormatText)},
            {"", PlatformError::kEmpty, std::string(kIllegalFormatText)},
            // Malformed JSON starting with "{", or no "result": shown as it came.
            {R"({"result":true,"orderId":")", PlatformError::kUnreadable,
             R"({"result":true,"orderId":")"},
            {R"({"orderId":"1"})", PlatformError::kUnreadable, R"({"orderId":"1"})"},
        });

    // (A failed exchange goes on with its kind, text and reason: Cli.PayQueryRefundAndExitCodes.)
    // Comments are allowed (a deeply nested answer: HostileAnswersThroughEveryReader).
    EXPECT_TRUE(
        ParseOrderAnswer(Answer("{/* c */ \"result\":true,\"orderId\":\"7\",\"totalFee\":1}"))
            .ok());
}

TEST_F(Parsers, OrderRecordValuesByPosition) {
    std::string answer =
        R"({"result":true,"orderId":"P1","totalFee":1234,"actualFee":0,"type":"微信",)"
        R"("orderStateDes":"已付款","cancelTime":1704067200000,"thirdLoginId":"t",)"
        R"("payCode":"13","description":"d"})";
    const TextList expected = {"P1", "12.34", "0.00", "", "微信", "已付款", "2024-01-01 00:00:00",
                               "t",  "13",    "d"};
    EXPECT_EQ(ParseOrderRecord(Answer(answer)).value, expected);
    answer = R"({"result":true,"orderId":"P1","totalFee":1})";
    EXPECT_EQ(ParseOrderRecord(Answer(answer)).value[2], "");  // actual amount absent
    ExpectFailures(ParseOrderRecord,
                   {{"x", PlatformError::kUnreadable, std::string(kIllegalFormatText)}});
}

TEST_F(Parsers, PreCreateAnswer) {
    std::string answer =
        R"({"result":true,"orderId":"Q1","totalFee":50,"type":"支付宝","orderState":1,)"
        R"("orderStateDes":"待付款","data":{"qrCode":"http://pay/q1"}})";
    const TextList expected = {
        "\r\n",          "订单号：", "Q1",   "\r\n",       "交易金额：",  "0.50", "\r\n",
        "订单类型：",    "支付宝",   "\r\n", "订单状态：", "待付款（1）", "\r\n", "支付链接：",
        "http://pay/q1", "\r\n"};
    EXPECT_EQ(ParsePreCreateAnswer(Answer(answer)).value, expected);
    answer = R"({"result":true,"orderId":"Q1","data":"not an object"})";
    EXPECT_EQ(ParsePreCreateAnswer(Answer(answer)).value[14], "");
    ExpectFailures(ParsePreCreateAnswer,
                   {{R"({"result":false,"message":"no"})", PlatformError::kRefused, "no"}});
}

TEST_F(Parsers, LoginAnswer) {
    // (Every client id in order: SandboxAccounts.FileAddsMerchantsAndCashiers.)
    PlatformResult<TextList> login =
        ParseLoginAnswer(Answer(R"({"result":true,"merchantId":"M","clientId":["A",null,"C"]})"));
    EXPECT_EQ(login.value, (TextList{"M", "", "A"}));  // no secret: empty; stops at null
    login =
        ParseLoginAnswer(Answer(R"({"result":true,"merchantId":"M","secret":"S","clientId":"A"})"));
    EXPECT_EQ(login.value, (TextList{"M", "S"}));

    // Refused: the platform's message, or the fixed text; no "result": shown as it came.
    ExpectFailures(
        ParseLoginAnswer,
        {
            {R"({"result":false,"message":"用户名或密码错误"})", PlatformError::kRefused,
             "用户名或密码错误"},
            {R"({"result":false})", PlatformError::kRefused, std::string(kNoServerInfoText)},
            {R"({"merchantId":"M"})", PlatformError::kUnreadable, R"({"merchantId":"M"})"},
            {"not json", PlatformError::kUnreadable, std::string(kNoServerInfoText)},
            {"", PlatformError::kEmpty, std::string(kNoServerInfoText)},
        });
}

// (A granted permission: LoginWindowTest.PermissionRowsOneRequestAndOneMessagePerVisibleRow.)
TEST_F(Parsers, MerchantInfoPermissionAndGeneric) {
    EXPECT_EQ(ParseMerchantInfoAnswer(
                  Answer(R"({"merchantName":"商户","cashierName":"张三","version":"1.0"})"))
                  .value,
              (TextList{"商户", "张三", "1.0"}));  // absent fields take no place
    ExpectFailures(ParseMerchantInfoAnswer, {{R"({"result":false,"message":"设备号不存在"})",
                                              PlatformError::kRefused, "设备号不存在"}});

    ExpectFailures(ParsePermissionAnswer, {{R"({"result":false,"message":"收银员不存在"})",
                                            PlatformError::kRefused, "收银员不存在"},
                                           {R"({"result":false})", PlatformError::kRefused, ""}});

    EXPECT_EQ(ParseGenericAnswer(Answer(R"({"shopId":"S1","count":3})")).value,
              (TextList{"count", "3", "", "shopId", "S1", ""}));
    ExpectFailures(ParseGenericAnswer, {{R"({"result":false,"message":"门店不存在"})",
                                         PlatformError::kRefused, "门店不存在"}});
}

TEST_F(Parsers, OrderListRows) {
    const std::string answer =
        R"({"result":true,"orderList":[{"orderId":"1","totalFee":100,"actualFee":0,)"
        R"("refundFee":100,"type":"微信","orderStateDes":"已退款","payTime":"2024-01-01 10:00:00",)"
        R"("buyerLoginId":"b","payCode":"13","description":"d"},{"orderId":"2"}, 7]})";
    const PlatformResult<TextList> rows = ParseOrderListAnswer(Answer(answer));
    EXPECT_TRUE(rows.ok());
    ASSERT_EQ(rows.value.size(), 3u);
    EXPECT_EQ(rows.value[0], "1\n1.00\n0.00\n\n微信\n已退款\n2024-01-01 10:00:00\nb\n13\nd\n");
    EXPECT_EQ(rows.value[1], "2\n\n\n\n\n\n\n\n\n\n");

    for (const char* empty :
         {R"({"result":true,"orderList":[]})", R"({"result":false,"message":"x"})",
          R"({"result":true,"orderList":{}})", "{broken"}) {
        const PlatformResult<TextList> none = ParseOrderListAnswer(Answer(empty));
        EXPECT_FALSE(none.ok());
        EXPECT_EQ(none.message, kLastPageText);
        EXPECT_TRUE(none.value.empty());
    }
    EXPECT_EQ(ParseOrderListAnswer(Answer("[1]")).message, kIllegalFormatText);
}

// (Rows and period read: Cli.PreCreateOrdersAndStatistics.)
TEST_F(Parsers, StatisticsWithoutRowsOrUnreadable) {
    const PlatformResult<StatisticsAnswer> stats =
        ParseStatisticsAnswer(Answer(R"({"result":true,"startTime":"2024","orderList":[]})"));
    EXPECT_EQ(stats.error, PlatformError::kNothingFound);
    EXPECT_EQ(stats.message, kLastPageText);
    EXPECT_EQ(ParseStatisticsAnswer(Answer("oops")).message, kIllegalFormatText);
}

// Answers no platform should send: every reader takes them without throwing and leaves a
// text for the cashier or an empty list. Deep nesting made JsonCpp throw out of an answer
// check, and a 20-digit time out of std::stoull; either ended the program.
TEST_F(Parsers, HostileAnswersThroughEveryReader) {
    const std::vector<std::string> hostile = {
        "{\"a\":" + std::string(200000, '['),
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
        const PlatformAnswer a = Answer(h);
        for (auto parse :
             {ParseOrderAnswer, ParseOrderRecord, ParsePreCreateAnswer, ParseLoginAnswer,
              ParseMerchantInfoAnswer, ParseGenericAnswer, ParseOrderListAnswer})
            parse(a);
        ParsePermissionAnswer(a);
        ParseStatisticsAnswer(a);
    }
    // A time beyond any date is shown as it came; the order is still read.
    const PlatformResult<TextList> order = ParseOrderAnswer(Answer(hostile[3]));
    EXPECT_TRUE(order.ok());
    EXPECT_NE(
        std::find(order.value.begin(), order.value.end(), "支付时间：18446744073709551616\r\n"),
        order.value.end());
    EXPECT_EQ(ParseOrderAnswer(Answer(hostile[0])).error, PlatformError::kUnreadable);

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
