#pragma once
// Plain rules of the pay, keypad and refund/cancel pages.
#include <string>
#include <string_view>
#include <vector>

namespace tendrix::checkout {

// The pay page's amount check: not empty, at most two digits after the first point.
bool IsValidAmount(std::string_view amount);

// Order numbers shorter than 14 characters are never submitted (cancel, refund, payment code).
inline constexpr size_t kMinOrderNumberChars = 14;
size_t CharCount(std::string_view utf8);  // UTF-16 code units, as the fields count them
bool IsSubmittableOrder(std::string_view order_number, std::string_view reason);

// ---- keypads ----

// One key stroke: a Windows virtual-key code and whether Ctrl is held.
struct KeyStroke {
    int vk = 0;
    bool ctrl = false;
    bool operator==(const KeyStroke&) const = default;
};
enum class KeypadKind { Controls, Window };  // CKeyControls (main row) / CKeyWindow (numeric pad)

inline constexpr int kVkBack = 8;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkDecimal = 110;
inline constexpr int kVkA = 65;

// The key strokes a keypad button injects (each a press and a release); empty for names
// that are not keypad buttons. `text` is the button's text (the digit for btnnum0..9).
std::vector<KeyStroke> KeypadStrokes(std::string_view button_name, std::string_view text,
                                     KeypadKind kind);
// A digit button: name begins with "btnnum" and is 7 characters long.
bool IsKeypadDigitButton(std::string_view name);

// ---- refund and cancel page ----

// Reasons of sysCancelRefundPayReason: items separated by "；" (line breaks ignored), each
// "n：text"; the list holds the texts without their numbers, empty items dropped.
std::vector<std::string> ParseReasonList(std::string_view setting);

// How the refund page's order number field and notice look for a refund permission.
struct RefundFieldState {
    bool applies = false;  // false: the permission text is unknown, the page is left as it is
    bool read_only = false;
    bool enabled = true;
    bool notice_applies = false;  // whether the notice control is touched at all
    std::string notice;           // the notice control's text
    bool notice_enabled = true;
};
RefundFieldState RefundFieldFor(std::string_view permission);

}  // namespace tendrix::checkout
