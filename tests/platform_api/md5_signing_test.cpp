// MD5 against an independent implementation (Crypto++); request signing rules.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>
#include <gtest/gtest.h>

#include <random>

#include "platform_api/md5.h"
#include "platform_api/signing.h"

using namespace tendrix::platform_api;

namespace tendrix {
namespace {

std::string ReferenceMd5(const std::string& bytes) {
    CryptoPP::Weak::MD5 md5;
    Md5::Digest d;
    md5.CalculateDigest(d.data(), reinterpret_cast<const CryptoPP::byte*>(bytes.data()),
                        bytes.size());
    return DigestToHex(d);
}

TEST(Md5, PaddingBoundariesAndSplitUpdatesMatchReference) {
    std::mt19937 rng(7);
    for (size_t len = 0; len <= 200; ++len) {
        std::string bytes(len, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        ASSERT_EQ(Md5::HexOf(bytes), ReferenceMd5(bytes)) << "length " << len;
        // The same bytes fed in uneven pieces.
        Md5 md5;
        for (size_t at = 0; at < len;) {
            const size_t piece = std::min<size_t>(len - at, 1 + rng() % 70);
            md5.Update(bytes.data() + at, piece);
            at += piece;
        }
        ASSERT_EQ(DigestToHex(md5.Final()), ReferenceMd5(bytes)) << "length " << len;
    }
    EXPECT_EQ(Md5::HexOf(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Signing, ItemsSortedJoinedSignedWithTheKeyAppendedAndEmptyValuesKept) {
    const std::string body = BuildSignedBody({"totalFee=1", "payCode=X", "merchantId=M"}, "KEY");
    const std::string joined = "inputCharset=UTF-8&merchantId=M&payCode=X&signType=MD5&totalFee=1";
    EXPECT_EQ(body, joined + "&signature=" + Md5::HexOf(joined + "KEY"));
    EXPECT_EQ(SignParams({"description=", "orderId=9"}, "K"),
              "description=&orderId=9&signature=" + Md5::HexOf("description=&orderId=9K"));
}

TEST(Signing, OrdinalSortOverUtf16Units) {
    ParamList items{"outOrderId=1", "orderType=2", "orderId=3", "startTime=4",
                    "signType=MD5", "a=lower",     "B=upper"};
    SortParamList(items);
    EXPECT_EQ(JoinParams(items),
              "B=upper&a=lower&orderId=3&orderType=2&outOrderId=1&signType=MD5&startTime=4");
    // U+FF01 sorts after a surrogate pair in UTF-16 (0xFF01 > 0xD83D) though its UTF-8 bytes
    // (EF ..) sort before the pair's (F0 ..).
    ParamList wide{"k=\xEF\xBC\x81", "k=\xF0\x9F\x98\x80"};
    SortParamList(wide);
    EXPECT_EQ(wide[0], "k=\xF0\x9F\x98\x80");
}

TEST(Signing, Md5HexHashesGbkBytesWhateverTheLength) {
    EXPECT_EQ(Md5HexOf("张"), Md5::HexOf("\xD5\xC5"));
    std::string text = "x";
    Md5Hex(text);
    EXPECT_EQ(text, Md5::HexOf("x"));
    // A text to sign beyond 1023 bytes is hashed whole, not cut.
    const std::string long_text(3000, 'q');
    EXPECT_EQ(Md5HexOf(long_text), ReferenceMd5(long_text));
    // User names go as the hex of their UTF-8: a Chinese name keeps the body ASCII.
    EXPECT_EQ(HexUtf8("张"), "e5bca0");
    const std::string body = BuildSignedBody({"userName=" + HexUtf8("收银员甲")}, "K");
    for (unsigned char c : body) EXPECT_LT(c, 0x80);
}

}  // namespace
}  // namespace tendrix
