#include "accounts/credential_cipher.h"

#include <cryptopp/aes.h>

#include <array>
#include <cstdint>
#include <vector>

#include "common/text_codec.h"

namespace tendrix::accounts {
namespace {

using Block = std::array<uint8_t, 16>;

constexpr char kEvenKey[] = "wopnufadrelkimsa";
constexpr char kOddKey[] = "hvmrto+q-c4`k81z";
constexpr size_t kSliceUnits = 16;

const uint8_t* KeyFor(size_t block_index) {
    return reinterpret_cast<const uint8_t*>(block_index % 2 == 0 ? kEvenKey : kOddKey);
}

// GBK bytes of one slice, cut into blocks of at most 16 bytes at character boundaries.
std::vector<std::string> SliceToBlocks(std::u16string_view slice) {
    std::vector<std::string> blocks(1);
    size_t i = 0;
    while (i < slice.size()) {
        // One character: a surrogate pair stays together.
        size_t n = 1;
        if (slice[i] >= 0xD800 && slice[i] <= 0xDBFF && i + 1 < slice.size() &&
            slice[i + 1] >= 0xDC00 && slice[i + 1] <= 0xDFFF) {
            n = 2;
        }
        std::string bytes = common::Utf8ToGbk(common::Utf16ToUtf8(slice.substr(i, n)));
        if (blocks.back().size() + bytes.size() > 16) blocks.emplace_back();
        blocks.back() += bytes;
        i += n;
    }
    return blocks;
}

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Two characters read as one hex number the way "%x" reads them: leading blanks skipped, as many
// hex digits as there are, nothing readable gives 0.
uint8_t ParseHexPair(char16_t first, char16_t second) {
    char16_t pair[2] = {first, second};
    size_t i = 0;
    while (i < 2 && (pair[i] == u' ' || pair[i] == u'\t' || pair[i] == u'\n')) ++i;
    unsigned value = 0;
    for (; i < 2; ++i) {
        int d = HexDigitValue(pair[i]);
        if (d < 0) break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<uint8_t>(value);
}

}  // namespace

std::u16string EncryptCredential16(const std::u16string& plain) {
    static const char16_t kHex[] = u"0123456789abcdef";
    std::u16string result;
    size_t block_index = 0;
    for (size_t start = 0; start < plain.size(); start += kSliceUnits) {
        std::u16string_view slice = std::u16string_view(plain).substr(start, kSliceUnits);
        for (const std::string& bytes : SliceToBlocks(slice)) {
            Block in{};
            Block out{};
            std::copy(bytes.begin(), bytes.end(), in.begin());
            CryptoPP::AES::Encryption aes(KeyFor(block_index), 16);
            aes.ProcessBlock(in.data(), out.data());
            for (uint8_t b : out) {
                result += kHex[b & 0x0F];  // low digit first
                result += kHex[b >> 4];
            }
            ++block_index;
        }
    }
    return result;
}

std::u16string DecryptCredential16(const std::u16string& text) {
    std::u16string result;
    const size_t blocks = (text.size() + 31) / 32;
    auto at = [&text](size_t pos) -> char16_t { return pos < text.size() ? text[pos] : u'\0'; };
    for (size_t i = 0; i < blocks; ++i) {
        Block in{};
        Block out{};
        for (size_t j = 0; j < 16; ++j) {
            in[j] = ParseHexPair(at(32 * i + 2 * j + 1), at(32 * i + 2 * j));
        }
        CryptoPP::AES::Decryption aes(KeyFor(i), 16);
        aes.ProcessBlock(in.data(), out.data());
        size_t len = 0;
        while (len < out.size() && out[len] != 0) ++len;
        std::u16string part = common::Utf8ToUtf16(
            common::GbkToUtf8(std::string_view(reinterpret_cast<const char*>(out.data()), len)));
        result += part.substr(0, kSliceUnits);
    }
    return result;
}

std::string EncryptCredential(const std::string& plain) {
    return common::Utf16ToUtf8(EncryptCredential16(common::Utf8ToUtf16(plain)));
}

std::string DecryptCredential(const std::string& cipher_text) {
    return common::Utf16ToUtf8(DecryptCredential16(common::Utf8ToUtf16(cipher_text)));
}

}  // namespace tendrix::accounts
