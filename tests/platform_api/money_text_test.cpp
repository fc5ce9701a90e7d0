// Yuan and fen texts, capital numerals, platform times and merchant order numbers.
#include "platform_api/money_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

TEST(MoneyText, FenToYuan) {
    EXPECT_EQ(FenToYuanText("5"), "0.05");
    EXPECT_EQ(FenToYuanText("1234"), "12.34");
    EXPECT_EQ(FenToYuanText("0012"), "0.12");
    for (const char* none : {"0", "000", "", "12a", "-5"}) EXPECT_EQ(FenToYuanText(none), "");
}

TEST(MoneyText, YuanToFen) {
    EXPECT_EQ(YuanToFenText("12.5"), "1250");
    EXPECT_EQ(YuanToFenText("12.05"), "1205");
    EXPECT_EQ(YuanToFenText("12."), "1200");
    EXPECT_EQ(YuanToFenText("0.05"), "5");
    EXPECT_EQ(YuanToFenText("007"), "700");
    EXPECT_EQ(YuanToFenText(""), "00");
    for (const char* bad : {"1.234", "1.2.3", "-1", "1e3"}) EXPECT_EQ(YuanToFenText(bad), "");
}

TEST(MoneyText, UpperCaseAmount) {
    const std::pair<std::string, std::string> cases[] = {
        {"12.00", "壹拾贰圆整"},
        {"12.50", "壹拾贰圆伍角"},
        {"12.05", "壹拾贰圆零伍分"},
        {"100000", "壹拾万圆整"},
        {"0.05", "伍分"},
        {"1001.1", "壹仟零壹圆壹角"},
        {"12.", "壹拾贰圆"},
        {"0", "整"},
        {"05", ""},
    };
    for (const auto& [amount, expected] : cases) {
        EXPECT_EQ(UpperCaseAmountOf(amount), expected) << amount;
    }
    // Refused amounts stay as they are.
    for (const std::string refused : {"12345678901234", "12a", "abc", "1,000"}) {
        EXPECT_EQ(UpperCaseAmountOf(refused), refused);
    }
}

// Amounts of 亿 and above, worked by hand: a zero 万 group is one 零 (or nothing before 圆),
// never "亿万"; 亿 stays over a zero 亿 group under 万亿. Smaller amounts around the group
// boundaries are in the table too, so the 万 rule cannot change them.
TEST(MoneyText, UpperCaseAmountOfLargeAmounts) {
    const std::pair<std::string, std::string> cases[] = {
        {"100000000", "壹亿圆整"},
        {"100050000", "壹亿零伍万圆整"},
        {"100000001", "壹亿零壹圆整"},
        {"110000000", "壹亿壹仟万圆整"},
        {"305000000", "叁亿零伍佰万圆整"},
        {"1001000100", "壹拾亿零壹佰万零壹佰圆整"},
        {"1010101010", "壹拾亿壹仟零壹拾万壹仟零壹拾圆整"},
        {"1234567890.12", "壹拾贰亿叁仟肆佰伍拾陆万柒仟捌佰玖拾圆壹角贰分"},
        {"9000000009.09", "玖拾亿零玖圆零玖分"},
        {"1000000000.05", "壹拾亿圆零伍分"},
        {"100000000.", "壹亿圆"},
        {"99999999.99", "玖仟玖佰玖拾玖万玖仟玖佰玖拾玖圆玖角玖分"},
        {"10000001", "壹仟万零壹圆整"},
        {"10001000", "壹仟万壹仟圆整"},
        {"1000012340000", "壹万亿零壹仟贰佰叁拾肆万圆整"},
    };
    for (const auto& [amount, expected] : cases) {
        EXPECT_EQ(UpperCaseAmountOf(amount), expected) << amount;
    }
}

class LocalTime : public ::testing::Test {
  protected:
    void SetZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

TEST_F(LocalTime, PlatformMillisecondsAsLocalTime) {
    SetZone("UTC");
    EXPECT_EQ(PlatformTimeText(1704067200999ull), "2024-01-01 00:00:00");
    EXPECT_EQ(PlatformTimeText(0), "1970-01-01 00:00:00");
    SetZone("Asia/Shanghai");
    EXPECT_EQ(PlatformTimeText(1704067200000ull), "2024-01-01 08:00:00");
    EXPECT_EQ(PlatformTimeText(UINT64_MAX), "");  // no crash on absurd times
}

TEST_F(LocalTime, MerchantOrderNumbers) {
    SetZone("UTC");
    const std::time_t when = 1704067200 + 3661;  // 2024-01-01 01:01:01
    EXPECT_EQ(LocalTimeDigits(when), "20240101010101");
    EXPECT_EQ(MakeOutOrderId(when, "281234567890123456"),
              "20240101010101"
              "2345678901");
    EXPECT_EQ(MakeOutOrderId(when, "12345"),
              "20240101010101"
              "45");
    EXPECT_EQ(MakeOutOrderId(when, "123"), "20240101010101");
    EXPECT_EQ(MakeOutOrderId(when, ""), "20240101010101");

    const std::string a = MakePreCreateOutOrderId(when, "C1", "demo");
    const std::string b = MakePreCreateOutOrderId(when, "C1", "demo");
    ASSERT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, b) << "two QR orders in the same second must not share a number";
}

TEST(MoneyText, DigitsToDateTimeText) {
    EXPECT_EQ(DigitsToDateTimeText("20240101000000"), "2024-01-01 00:00:00");
    EXPECT_EQ(DigitsToDateTimeText("2024"), "2024");
}

}  // namespace
}  // namespace tendrix
