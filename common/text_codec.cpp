#include "common/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace tendrix::common {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`; advances `i`. Malformed sequences consume one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i, bool& ok) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    ok = true;
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        ok = false;
        return kReplacement;
    }
    if (i + len > s.size()) {
        ++i;
        ok = false;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            ok = false;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        ok = false;
        return kReplacement;
    }
    i += len;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Runs iconv over the whole input; on an invalid or unconvertible sequence it writes
// `replacement` and skips `skip_bytes(input)` bytes of input.
template <typename Skip>
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement, Skip skip_bytes) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    out.reserve(in.size() * 2);
    std::vector<char> buf(4096);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    while (src_left > 0) {
        char* dst = buf.data();
        size_t dst_left = buf.size();
        const size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buf.data(), buf.size() - dst_left);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (truncated tail): replace and skip the offending input.
        out.append(replacement);
        const size_t n = std::min(src_left, skip_bytes(std::string_view(src, src_left)));
        src += n;
        src_left -= n;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        bool ok = true;
        DecodeUtf8(s, i, ok);
        if (!ok) return false;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        bool ok = true;
        const char32_t cp = DecodeUtf8(s, i, ok);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 | (v >> 10));
            out += static_cast<char16_t>(0xDC00 | (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    // Skip one whole UTF-8 character (or one bad byte) per unconvertible character.
    return Convert("GBK", "UTF-8", utf8, "?", [](std::string_view rest) {
        size_t i = 0;
        bool ok = true;
        DecodeUtf8(rest, i, ok);
        return i;
    });
}

std::string GbkToUtf8(std::string_view gbk) {
    // A bad lead byte or a lead byte with a bad trail byte: drop the lead byte only.
    return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

}  // namespace tendrix::common
