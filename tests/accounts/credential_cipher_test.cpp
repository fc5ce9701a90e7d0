#include "accounts/credential_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/text_codec.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;

namespace tendrix::accounts {
namespace {

constexpr char kEvenKeyHex[] = "776f706e7566616472656c6b696d7361";  // "wopnufadrelkimsa"
constexpr char kOddKeyHex[] = "68766d72746f2b712d6334606b38317a";   // "hvmrto+q-c4`k81z"

// AES-128-ECB of one zero-padded 16-byte block computed by the openssl command (a separate
// implementation), rendered in the stored form: each byte's digits swapped.
std::string OpensslBlock(const std::string& block_bytes, const char* key_hex) {
    test::TempDir dir;
    std::string padded = block_bytes;
    padded.resize(16, '\0');
    std::ofstream(dir / "in.bin", std::ios::binary) << padded;
    const std::string cmd = "openssl enc -aes-128-ecb -nopad -K " + std::string(key_hex) + " -in " +
                            (dir / "in.bin") + " | od -An -v -tx1 | tr -d ' \\n'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "no openssl";
    std::array<char, 128> hex{};
    const size_t n = std::fread(hex.data(), 1, hex.size(), p);
    pclose(p);
    for (size_t i = 0; i + 1 < n; i += 2) std::swap(hex[i], hex[i + 1]);
    return std::string(hex.data(), n);
}

bool HaveOpenssl() {
    return std::system("openssl version > /dev/null 2>&1") == 0;
}

TEST(CredentialCipher, OneAndTwoBlocksMatchAnIndependentAes) {
    if (!HaveOpenssl()) GTEST_SKIP() << "openssl command missing";
    // Six characters: one block with the even key.
    std::string six = EncryptCredential("123456");
    ASSERT_EQ(six.size(), 32u);
    EXPECT_EQ(six, OpensslBlock("123456", kEvenKeyHex));
    // Seventeen characters: the second block (one character) uses the odd key.
    std::string seventeen = EncryptCredential("abcdefghijklmnopq");
    ASSERT_EQ(seventeen.size(), 64u);
    EXPECT_EQ(seventeen.substr(0, 32), OpensslBlock("abcdefghijklmnop", kEvenKeyHex));
    EXPECT_EQ(seventeen.substr(32), OpensslBlock("q", kOddKeyHex));
    // Third block switches back to the even key.
    std::string forty = EncryptCredential(std::string(40, 'x'));
    ASSERT_EQ(forty.size(), 96u);
    EXPECT_EQ(forty.substr(64), OpensslBlock(std::string(8, 'x'), kEvenKeyHex));
    // A Chinese password goes through GBK before enciphering.
    EXPECT_EQ(EncryptCredential("密码12"), OpensslBlock(Utf8ToGbk("密码12"), kEvenKeyHex));
}

TEST(CredentialCipher, FixedVectorsAndDigitOrder) {
    // "123456" as stored (openssl gives ec ee f0 38 ...): read back without the tool.
    EXPECT_EQ(DecryptCredential("ceee0f839def4fe9c9cbbbee6bb4746c"), "123456");
    EXPECT_EQ(DecryptCredential("CEEE0F839DEF4FE9C9CBBBEE6BB4746C"), "123456");
    EXPECT_EQ(EncryptCredential(""), "");
    EXPECT_EQ(DecryptCredential(""), "");
}

TEST(CredentialCipher, RoundTripAcrossBlockEdgesAndGbk) {
    for (std::string s : {"a", "abcdefghijklmnop", "p@ss w0rd with spaces and more than 32 chars!!",
                          "中文密码八个字符", "mixed中文and english混合文字over sixteen"}) {
        EXPECT_EQ(DecryptCredential(EncryptCredential(s)), s) << s;
    }
    // Sixteen Chinese characters are 32 GBK bytes: two whole blocks, not one truncated block;
    // the seventeenth character makes a third.
    const std::string gbk17 = "十六个汉字十六个汉字十六个汉字十六";
    EXPECT_EQ(EncryptCredential(gbk17).size(), 96u);
    EXPECT_EQ(DecryptCredential(EncryptCredential(gbk17)), gbk17);
}

TEST(CredentialCipher, DamagedTextNeverCrashes) {
    std::string good = EncryptCredential("123456");
    for (std::string bad : {good.substr(0, 31), good.substr(0, 5), std::string("zzzz"), good + "ab",
                            std::string(32, 'g'), std::string("\xff\xfe", 2), std::string("  5a"),
                            std::string(1000, 'f')}) {
        std::string plain = DecryptCredential(bad);
        EXPECT_TRUE(IsValidUtf8(plain));
    }
    // A changed digit does not decrypt to the original (no integrity check, just different).
    std::string changed = good;
    changed[0] = changed[0] == '0' ? '1' : '0';
    EXPECT_NE(DecryptCredential(changed), "123456");
}

}  // namespace
}  // namespace tendrix::accounts
