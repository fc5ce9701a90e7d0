// Rules of the pay, keypad and refund pages, the result text reader and the QR matrix.
#include <gtest/gtest.h>

#include "checkout/pages/pay_logic.h"
#include "checkout/pages/qr_matrix.h"
#include "checkout/pages/result_session.h"
#include "checkout/pages/result_texts.h"

namespace tendrix::checkout {
namespace {

// Amounts refused before sending: ResultSessionTest.BadAmounts*; 13 and 14 characters on the
// refund and cancel panels: PagesTest.PartialRefundAndCancel*.
TEST(PayPageRules, AmountsOfAtMostTwoDecimalsOrderNumbersOfFourteenCharactersAndAReason) {
    for (const char* ok : {"12.5", "12", "12."}) EXPECT_TRUE(IsValidAmount(ok)) << ok;
    // Only the digits after the first point count.
    EXPECT_FALSE(IsValidAmount("1.2.3.4"));
    EXPECT_FALSE(IsSubmittableOrder("12345678901234", ""));
    // Characters, not bytes: 13 Chinese characters are 39 bytes but still too short.
    EXPECT_FALSE(IsSubmittableOrder("一二三四五六七八九十一二三", "x"));
}

// The on-page keypad typing into a field: PagesTest.KeypadsTypeIntoTheFocusedField.
TEST(KeypadRules, KeypadWindowSendsNumericPadKeys) {
    using V = std::vector<KeyStroke>;
    EXPECT_EQ(KeypadStrokes("btnnum7", "7", KeypadKind::Window), (V{{103, false}}));
    EXPECT_EQ(KeypadStrokes("btnnum00", "00", KeypadKind::Window), (V{{96, false}, {96, false}}));
    EXPECT_EQ(KeypadStrokes("btnnumbackspace", "", KeypadKind::Window), (V{{8, false}}));
    // A digit button whose text is not a digit injects nothing; other names are not keys.
    EXPECT_TRUE(KeypadStrokes("btnnum7", "x", KeypadKind::Controls).empty());
    EXPECT_TRUE(KeypadStrokes("btn_check", "", KeypadKind::Controls).empty());
    EXPECT_TRUE(IsKeypadDigitButton("btnnum3"));
    EXPECT_FALSE(IsKeypadDigitButton("btnnum00"));
}

// The numbered list of the setting fills the reason box: PagesTest.PartialRefundAndCancel*;
// the order field per permission: PagesTest.RefundPermissionShapesTheOrderField*.
TEST(RefundPageRules, ReasonListFromTheSetting) {
    EXPECT_TRUE(ParseReasonList("").empty());
    EXPECT_EQ(ParseReasonList("无编号的理由").at(0), "无编号的理由");
}

constexpr const char* kPaidResult =
    "商户名称：\r\n演示商户\r\n订单号：2026120600000001\r\n交易金额：36.00元\r\n"
    "实际金额：35.50元\r\n支付方式：支付宝\r\n支付状态：已付款（7）\r\n"
    "支付时间：2026-12-06 12:00:00\r\n支付码：\r\n284512345678901230\r\n";

TEST(ResultTextReader, ReadsNumbersStateAmountsAndDepositKinds) {
    EXPECT_EQ(PayResultSession::PlatformOrderOf(kPaidResult), "2026120600000001");
    EXPECT_EQ(PayResultSession::MerchantOrderOf(kPaidResult), "");
    EXPECT_EQ(PayResultSession::StateOf(kPaidResult), 7);
    EXPECT_EQ(PayResultSession::AmountAfter(kPaidResult, kActualAmountLabel), "35.50");
    EXPECT_EQ(PayResultSession::AmountAfter(kPaidResult, kRefundAmountLabel), "");
    EXPECT_FALSE(PayResultSession::IsDepositFreeze(kPaidResult));

    const std::string failed = std::string(kDeviceOrderLabel) + "20261206120000451234567890";
    EXPECT_EQ(PayResultSession::MerchantOrderOf(failed), "20261206120000451234567890");
    EXPECT_EQ(PayResultSession::PlatformOrderOf(failed), "");
    EXPECT_EQ(PayResultSession::StateOf(failed), -1);

    EXPECT_EQ(PayResultSession::StateOf("支付状态：（12）\r\n"), 12);
    EXPECT_EQ(PayResultSession::StateOf("支付状态：已付款（x）\r\n"), -1);
    EXPECT_EQ(PayResultSession::StateOf("支付状态：已付款（7\r\n其他）"), -1);

    const std::string deposit =
        "商户名称：\r\n演示\r\n订单号：P1\r\n交易金额：1.00元\r\n本次解冻金额：0.40元\r\n"
        "支付方式：支付宝预付款\r\n支付状态：已退款（10）\r\n解冻、转支付操作订单号：\r\n"
        "2088000000000001\r\n";
    EXPECT_EQ(PayResultSession::DepositOrderOf(deposit), "2088000000000001");
    EXPECT_TRUE(PayResultSession::IsDepositFreeze(deposit));
    EXPECT_EQ(PayResultSession::AmountAfter(deposit, kThawAmountLabel), "0.40");
    EXPECT_FALSE(PayResultSession::IsDepositFreeze("支付方式：支付宝预付款(转支付)\r\n"));
    EXPECT_TRUE(PayResultSession::IsDepositFreeze("支付方式：微信预付款\r\n"));
}

TEST(QrMatrix, EncodesAtLevelHAndRefusesNothing) {
    QrMatrix m = EncodeQr("https://pay.example/qr/abc123");
    ASSERT_GT(m.width, 20);
    EXPECT_EQ(m.dark.size(), static_cast<size_t>(m.width * m.width));
    // Finder pattern corners are dark.
    EXPECT_TRUE(m.At(0, 0));
    EXPECT_TRUE(m.At(m.width - 1, 0));
    EXPECT_TRUE(m.At(0, m.width - 1));
    EXPECT_EQ(EncodeQr("").width, 0);
}

}  // namespace
}  // namespace tendrix::checkout
