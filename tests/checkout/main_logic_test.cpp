#include "checkout/main_logic.h"

#include <gtest/gtest.h>

using namespace tendrix::checkout;

// 返回, 二维码支付返回 and 上一步返回 are clicked in the page tests (tests/checkout/pages).
TEST(MainLogic, ReturnButtonTextsLeadToTheirTabs) {
    EXPECT_EQ(TabForReturnText("预授权返回"), 1);
    EXPECT_EQ(TabForReturnText(""), std::nullopt);
    EXPECT_EQ(TabForReturnText("返回 "), std::nullopt);
    EXPECT_EQ(TabForReturnText("撤销/退款"), std::nullopt);
}

TEST(MainLogic, PaidAmountOfAReceipt) {
    EXPECT_EQ(PaidAmountFromReceipt("订单号：123\r\n订单金额：40.00元\r\n实际金额：36.50元\r\n"),
              "36.50");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额: 7元"), "7");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额：1234.5.6abc"), "1234.5.6");
    // No label, or the label without an amount on its line.
    EXPECT_EQ(PaidAmountFromReceipt("订单金额：40.00元"), "");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额：\r\n订单金额：40.00元"), "");
    EXPECT_EQ(PaidAmountFromReceipt("实际金额"), "");
    // At most 49 characters, whatever the receipt holds.
    EXPECT_EQ(PaidAmountFromReceipt("实际金额：" + std::string(80, '9')).size(), 49u);
}

TEST(MainLogic, PaymentVoicesNameEveryCharacterOfTheAmount) {
    EXPECT_EQ(PaymentSuccessVoices("36.50"),
              (std::vector<std::string>{"qrpaysuccess.mp3", "3.mp3", "6.mp3", "..mp3", "5.mp3",
                                        "0.mp3"}));
    EXPECT_EQ(PaymentSuccessVoices(""), std::vector<std::string>{"qrpaysuccess.mp3"});
    // Nothing but digits and the point becomes a file name.
    EXPECT_EQ(PaymentSuccessVoices("1/../x"),
              (std::vector<std::string>{"qrpaysuccess.mp3", "1.mp3", "..mp3", "..mp3"}));
}

// A valid rectangle's centre is clicked in MainDlgTest.GiveFocusBack*.
TEST(MainLogic, RectangleSettingsThatAreNoScreenPoint) {
    for (const char* text : {"FALSE", "无", "top:0, left:0, right:0, bottom:0", "top:1, left:2"})
        EXPECT_FALSE(RectSettingCentre(text)) << text;
}

TEST(MainLogic, NumbersAndKeysFromSettings) {
    EXPECT_EQ(IntSetting("30"), 30);
    EXPECT_EQ(IntSetting("", 255), 255);
    EXPECT_EQ(IntSetting("abc", 7), 7);
    EXPECT_EQ(IntSetting("99999999999999999999"), 1000000000);
    EXPECT_EQ(MainKeyFromSetting("F12"), 123);
    EXPECT_EQ(MainKeyFromSetting("q"), 'Q');
    EXPECT_EQ(MainKeyFromSetting("Tab"), 0);
    EXPECT_EQ(MainKeyFromSetting("Tab", true), 9);
    for (const char* text : {"无", "alt + x", "F0", "F99"})
        EXPECT_EQ(MainKeyFromSetting(text), 0) << text;
}
