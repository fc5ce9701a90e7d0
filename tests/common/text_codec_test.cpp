#include "common/text_codec.h"

#include <gtest/gtest.h>

using namespace tendrix;
using namespace tendrix::common;

TEST(TextCodec, RoundTripsChineseThroughUtf16AndGbk) {
    const std::string s = "实际金额：12.30元 ABC";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
    const std::string gbk = Utf8ToGbk(s);
    EXPECT_EQ(gbk.substr(0, 4), "\xCA\xB5\xBC\xCA");  // 实际 in GBK
    EXPECT_EQ(GbkToUtf8(gbk), s);
    // Characters outside the BMP take two UTF-16 units and come back whole.
    const std::string emoji = "a\xF0\x9F\x98\x80z";
    EXPECT_EQ(Utf8ToUtf16(emoji).size(), 4u);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(emoji)), emoji);
}

TEST(TextCodec, BadInputIsReplacedNotFatal) {
    // Truncated and stray bytes in UTF-8.
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xE5\xAE")), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));  // overlong
    // Unpaired surrogate.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    // Not encodable in GBK: one '?' per character, the rest kept.
    EXPECT_EQ(Utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
    // A GBK lead byte at the end, and a bad byte in the middle.
    EXPECT_EQ(GbkToUtf8("ab\x81"), "ab\xEF\xBF\xBD");
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf8ToGbk(""), "");
    // Long input crosses the converter's internal buffer.
    std::string big;
    for (int i = 0; i < 5000; ++i) big += "金";
    EXPECT_EQ(GbkToUtf8(Utf8ToGbk(big)), big);
}
