#include "capture/amount_filter.h"

#include <cstdio>

#include "common/serial_chunk.h"
#include "common/text_codec.h"

namespace tendrix::capture {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Numeric order of two digit strings (leading zeros ignored).
int CompareDigits(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

std::string FilterRecognisedAmount(std::string_view text) {
    const size_t last_point = text.rfind('.');
    std::string out;
    size_t point_at = std::string::npos;  // position of the kept point in `out`
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            out += c;
        } else if (c == '.' && i == last_point) {
            point_at = out.size();
            out += c;
        }
    }
    if (point_at != std::string::npos) {
        size_t digits_after = 0;
        for (size_t i = point_at + 1; i < out.size() && IsDigit(out[i]); ++i) ++digits_after;
        if (digits_after >= 3) out.erase(point_at, 1);  // a thousands separator
    }
    return out;
}

std::optional<std::string> BuildFilterPattern(std::string_view setting) {
    if (setting.empty() || setting == "无") return std::nullopt;
    const std::u16string text = common::Utf8ToUtf16(setting);
    std::string pattern;
    for (size_t i = 0; i < text.size() && pattern.size() < kMaxPatternBytes; ++i) {
        if (text[i] == u'\\' && i + 3 < text.size() && text[i + 1] == u'X') {
            const int hi = HexValue(text[i + 2]);
            const int lo = HexValue(text[i + 3]);
            if (hi >= 0 && lo >= 0) {
                pattern += static_cast<char>(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        pattern += static_cast<char>(text[i] & 0xFF);
    }
    if (pattern.empty()) return std::nullopt;
    return pattern;
}

std::optional<std::string> ExtractDisplayAmount(std::string_view chunk,
                                                const std::optional<std::string>& pattern) {
    if (chunk.size() > common::SerialChunk::kMaxBytes)
        chunk = chunk.substr(0, common::SerialChunk::kMaxBytes);

    if (pattern && !pattern->empty()) {
        const size_t at = chunk.find(*pattern);
        if (at == std::string_view::npos) return std::nullopt;
        std::string amount;
        size_t i = at + pattern->size();
        for (; i < chunk.size() && chunk[i] != '.'; ++i) {
            if (IsDigit(chunk[i])) amount += chunk[i];
        }
        if (i < chunk.size()) {  // at the point: it and the two bytes after it, as they are
            amount += chunk.substr(i, 3);
        }
        if (amount.empty()) return std::nullopt;
        return amount;
    }

    std::optional<std::string_view> best;
    size_t i = 0;
    while (i < chunk.size()) {
        if (!IsDigit(chunk[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < chunk.size() && IsDigit(chunk[i])) ++i;
        const size_t int_end = i;
        if (i + 2 < chunk.size() && chunk[i] == '.' && IsDigit(chunk[i + 1]) &&
            IsDigit(chunk[i + 2]) && (i + 3 >= chunk.size() || !IsDigit(chunk[i + 3]))) {
            const std::string_view number = chunk.substr(start, int_end - start + 3);
            if (!best) {
                best = number;
            } else {
                const std::string_view a = best->substr(0, best->size() - 3);
                const std::string_view b = number.substr(0, number.size() - 3);
                int cmp = CompareDigits(b, a);
                if (cmp == 0)
                    cmp = number.substr(number.size() - 2).compare(best->substr(best->size() - 2));
                if (cmp > 0) best = number;
            }
        }
        // The digits after a point start a new run of their own (e.g. "1.2345.67").
    }
    if (!best) return std::nullopt;
    return std::string(*best);
}

std::string DisplayForm(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (IsDigit(c) || c == '.' || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) {
            out += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\X%02X", u);
            out += buf;
        }
    }
    return out;
}

}  // namespace tendrix::capture
