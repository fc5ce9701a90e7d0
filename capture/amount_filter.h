#pragma once
// Taking an amount out of text: recognised screen text and window text (command 12), and
// customer-display data or log-file lines (command 3).
#include <optional>
#include <string>
#include <string_view>

namespace tendrix::capture {

// Filter for recognised or window text: keeps the digits and the last '.', drops everything
// else (letters, spaces, other points, currency signs, commas, bytes of multi-byte
// characters); a point followed by three or more digits is a thousands separator and is
// removed. "¥ 1,234.50" -> "1234.50", "12.5.80" -> "125.80", "1.234" -> "1234".
std::string FilterRecognisedAmount(std::string_view text);

// The byte pattern of a sysFilterMoneyMsg value (UTF-8 text). "\X" followed by two
// upper-case hex digits is one byte of that value; every other character is the low byte of
// its UTF-16 code. "无" (and the empty text) means no pattern: nullopt.
// A malformed escape ("\X" without two hex digits) is kept as its literal characters.
// The result holds at most kMaxPatternBytes bytes.
inline constexpr size_t kMaxPatternBytes = 200;
std::optional<std::string> BuildFilterPattern(std::string_view setting);

// The amount in one chunk of display data or one log line (at most 500 bytes are looked at).
//  - pattern given: the digits right after its first occurrence up to the first '.', then
//    the '.' and the two bytes after it (whatever they are); at the chunk's end the digits
//    read so far. Pattern absent from the chunk: no amount.
//  - no pattern: the number of the form digits '.' two digits (not followed by a further
//    digit) with the largest value; the first of equal values. None: no amount.
std::optional<std::string> ExtractDisplayAmount(std::string_view chunk,
                                                const std::optional<std::string>& pattern);

// Display form of received bytes for the listening test: digits, '.', a-z and A-Z as
// themselves, every other byte as "\X%02X".
std::string DisplayForm(std::string_view bytes);

}  // namespace tendrix::capture
