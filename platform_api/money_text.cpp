#include "platform_api/money_text.h"

#include <cstdio>
#include <random>

#include "common/text_codec.h"
#include "platform_api/signing.h"

namespace tendrix::platform_api {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr const char* kNumerals[10] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
// Units by position counted from the right, 0 being the second decimal place.
constexpr const char* kUnits[15] = {"分", "角", "圆", "拾", "佰", "仟", "万", "拾",
                                    "佰", "仟", "亿", "拾", "佰", "仟", "万"};
constexpr const char* kWhole = "整";

const char* Unit(size_t position) {
    return position < 15 ? kUnits[position] : "";
}

// Whether the four-digit group ending at index `last` (its unit digit) holds a non-zero digit.
bool GroupHasDigit(std::string_view s, size_t last) {
    const size_t first = last >= 3 ? last - 3 : 0;
    for (size_t i = first; i <= last; ++i) {
        if (s[i] != '0') return true;
    }
    return false;
}

// Converts; false means the amount is refused and the text stays as it was.
bool ConvertUpperCase(std::string_view s, std::string& result) {
    size_t p = 0;
    while (p < s.size() && IsDigit(s[p])) ++p;
    if ((p < s.size() && s[p] != '.') || p > 13) return false;
    result.clear();
    auto next_char = [&](size_t i) { return i + 1 < s.size() ? s[i + 1] : '\0'; };
    for (size_t i = 0; i < p; ++i) {
        const int digit = s[i] - '0';
        const size_t position = p + 1 - i;
        if (digit != 0) {
            result += kNumerals[digit];
            result += Unit(position);
            continue;
        }
        if (i == 0) {
            const char next = next_char(i);
            if (next == '.' || next == '\0' || next == '0') break;
            result.clear();  // a leading zero before another digit: no amount
            return true;
        }
        const bool next_is_digit = i + 1 < p && s[i + 1] != '0';
        if (i + 5 == p && !GroupHasDigit(s, i)) {
            // A 万 group of four zeros (1,0000,0001) is read as one 零, without 万.
            if (next_is_digit && !result.empty()) result += kNumerals[0];
        } else if (i + 1 == p || i + 5 == p || i + 9 == p) {
            // 圆, 万 or 亿 closes its group. 亿 stands even over a zero group: a digit above
            // it exists (this zero is not the first digit), as in 壹万亿.
            result += Unit(position);
            if (i + 9 == p && !GroupHasDigit(s, i) && next_is_digit) result += kNumerals[0];
        } else if (next_is_digit && !result.empty()) {
            result += kNumerals[0];
        }
    }
    if (p == s.size()) {
        result += kWhole;
        return true;
    }
    const std::string_view decimals = s.substr(p + 1);
    const size_t read = std::min<size_t>(decimals.size(), 2);
    for (size_t j = 0; j < read; ++j) {
        const char c = decimals[j];
        if (!IsDigit(c)) break;
        if (c != '0') {
            result += kNumerals[c - '0'];
            result += j == 0 ? "角" : "分";
        } else if (j + 1 < read) {
            if (decimals[j + 1] == '0') {
                result += kWhole;
                break;
            }
            if (!result.empty()) result += kNumerals[0];
        }
    }
    return true;
}

}  // namespace

std::string FenToYuanText(std::string_view fen) {
    for (char c : fen) {
        if (!IsDigit(c)) return {};
    }
    while (fen.size() > 1 && fen.front() == '0') fen.remove_prefix(1);
    if (fen.empty() || fen == "0") return {};
    if (fen.size() == 1) return "0.0" + std::string(fen);
    if (fen.size() == 2) return "0." + std::string(fen);
    return std::string(fen.substr(0, fen.size() - 2)) + "." +
           std::string(fen.substr(fen.size() - 2));
}

std::string YuanToFenText(std::string_view yuan) {
    int points = 0;
    for (char c : yuan) {
        if (c == '.') {
            ++points;
        } else if (!IsDigit(c)) {
            return {};
        }
    }
    if (points > 1) return {};
    if (!yuan.empty() && yuan.front() == '0') {
        while (!yuan.empty() && yuan.front() == '0') yuan.remove_prefix(1);
    }
    const size_t point = yuan.find('.');
    if (point == std::string_view::npos) return std::string(yuan) + "00";
    const std::string_view before = yuan.substr(0, point);
    const std::string_view after = yuan.substr(point + 1);
    if (after.empty()) return std::string(before) + "00";
    if (after.size() > 2) return {};
    if (before.empty()) {
        // Below one yuan: ".5" -> "50", ".05" -> "5", ".50" -> "50".
        if (after.size() == 1) return std::string(after) + "0";
        return after.front() == '0' ? std::string(after.substr(1)) : std::string(after);
    }
    if (after.size() == 1) return std::string(before) + std::string(after) + "0";
    return std::string(before) + std::string(after);
}

void UpperCaseAmount(std::string& amount) {
    std::string result;
    if (ConvertUpperCase(amount, result)) amount = std::move(result);
}

std::string UpperCaseAmountOf(std::string_view amount) {
    std::string text(amount);
    UpperCaseAmount(text);
    return text;
}

std::string PlatformTimeText(uint64_t millis) {
    const uint64_t seconds = millis / 1000;
    if (seconds > static_cast<uint64_t>(253402300799LL)) return {};  // beyond year 9999
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string LocalTimeDigits(std::time_t when) {
    std::tm tm{};
    if (!localtime_r(&when, &tm)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string DigitsToDateTimeText(std::string_view d) {
    if (d.size() != 14) return std::string(d);
    std::string out;
    out.reserve(19);
    out.append(d.substr(0, 4)).append("-").append(d.substr(4, 2)).append("-");
    out.append(d.substr(6, 2)).append(" ").append(d.substr(8, 2)).append(":");
    out.append(d.substr(10, 2)).append(":").append(d.substr(12, 2));
    return out;
}

std::string MakeOutOrderId(std::time_t when, std::string_view pay_code) {
    // Characters, not bytes: the code is cut by UTF-16 units.
    const std::u16string code = common::Utf8ToUtf16(pay_code);
    std::string number = LocalTimeDigits(when);
    if (code.size() > 3) number += common::Utf16ToUtf8(code.substr(3, 10));
    return number;
}

std::string MakePreCreateOutOrderId(std::time_t when, std::string_view client_id,
                                    std::string_view cashier_name) {
    // Seeded from the device's entropy rather than the clock alone: two QR orders made in the
    // same second by the same cashier must not get the same number.
    thread_local std::mt19937 engine{std::random_device{}() ^ static_cast<unsigned>(when)};
    std::uniform_int_distribution<int> random(0, 32767);
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, "%d%d%d", random(engine), random(engine),
                  random(engine));
    std::string text = LocalTimeDigits(when);
    text += numbers;
    text += client_id;
    text += cashier_name;
    return Md5HexOf(text);
}

}  // namespace tendrix::platform_api
