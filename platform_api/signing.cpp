#include "platform_api/signing.h"

#include <algorithm>

#include "common/text_codec.h"
#include "platform_api/md5.h"

namespace tendrix::platform_api {

bool IsAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

void SortParamList(ParamList& items) {
    // Compare as UTF-16 code units (unsigned), as the platform does; UTF-8 byte order differs
    // from it for characters beyond the BMP and U+E000..U+FFFF.
    std::vector<std::pair<std::u16string, size_t>> keyed;
    keyed.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) keyed.emplace_back(common::Utf8ToUtf16(items[i]), i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ParamList sorted;
    sorted.reserve(items.size());
    for (auto& [key, index] : keyed) sorted.push_back(std::move(items[index]));
    items = std::move(sorted);
}

std::string JoinParams(const ParamList& items) {
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += '&';
        joined += items[i];
    }
    return joined;
}

std::string SignParams(ParamList items, std::string key) {
    std::string body = JoinParams(items);
    std::string to_sign = body + key;
    Md5Hex(to_sign);
    body += '&';
    body += kSignatureItemName;
    body += '=';
    body += to_sign;
    return body;
}

std::string BuildSignedBody(ParamList items, const std::string& key) {
    items.emplace_back(kInputCharsetItem);
    items.emplace_back(kSignTypeItem);
    SortParamList(items);
    return SignParams(std::move(items), key);
}

std::string Md5HexOf(std::string_view text) {
    // The whole text is hashed whatever its length (no 1023-byte cut). ASCII is the same in
    // GBK, so the common case needs no conversion.
    return Md5::HexOf(IsAscii(text) ? std::string(text) : common::Utf8ToGbk(text));
}

void Md5Hex(std::string& text) {
    text = Md5HexOf(text);
}

std::string HexUtf8(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        out += kHex[c >> 4];
        out += kHex[c & 0x0f];
    }
    return out;
}

}  // namespace tendrix::platform_api
