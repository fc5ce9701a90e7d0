#include "input/scan_classifier.h"

#include <algorithm>

namespace tendrix::input {
namespace {

// Serial bytes that never reach a terminator are dropped beyond this, so a babbling device
// cannot grow the buffer without bound.
constexpr size_t kMaxSerialBuffer = 4096;

}  // namespace

CaptureWay ParseCaptureWay(const std::string& value) {
    if (value == kCaptureWayKeyboard) return CaptureWay::Keyboard;
    if (value == kCaptureWayEnhanced) return CaptureWay::KeyboardEnhanced;
    if (value == kCaptureWaySerial) return CaptureWay::Serial;
    return CaptureWay::Off;
}

ScanClassifier::ScanClassifier(desktop::DesktopServices& desktop, HookSwitch& hook,
                               PaymentCodeTarget& target)
    : desktop_(desktop), hook_(hook), target_(target) {}

void ScanClassifier::Configure(CaptureWay way, bool wait_pay) {
    if (way != way_) Clear();
    way_ = way;
    wait_pay_ = wait_pay;
}

void ScanClassifier::Clear() {
    buffer_.clear();
    last_length_ = 0;
}

void ScanClassifier::OnHookChar(int ch) {
    buffer_.push_back(static_cast<char>(ch & 0xFF));
}

void ScanClassifier::Tick() {
    if (way_ == CaptureWay::Serial) return;  // serial data is judged as it arrives
    if (buffer_.empty()) {
        last_length_ = 0;
        return;
    }
    if (way_ == CaptureWay::KeyboardEnhanced) {
        TickEnhanced();
    } else {
        // Keyboard mode; also the rule for characters that arrive while the hook was
        // switched on by its hotkey with no keyboard mode configured.
        TickKeyboard();
    }
}

void ScanClassifier::TickKeyboard() {
    const size_t n = buffer_.size();
    const bool ends_with_cr = buffer_.back() == '\r';
    if ((n < kKeyboardCodeLength && ends_with_cr) || n == last_length_) {
        last_length_ = 0;
        ReplayThroughHook();
    } else if (ends_with_cr) {
        HandOffFromHook(buffer_.substr(0, n - 1));
    } else {
        last_length_ = n;
    }
}

void ScanClassifier::TickEnhanced() {
    if (buffer_.back() != '\r') return;
    if (buffer_.size() >= kEnhancedCodeLength) {
        HandOffFromHook(buffer_.substr(0, buffer_.size() - 1));
    } else {
        ReplayThroughHook();
    }
}

void ScanClassifier::HandOffFromHook(std::string code) {
    Clear();
    target_.SetPayCode(code);
    // The toggle is what brings the main window up; when it is already shown, toggling
    // would hide it together with the code just handed to it.
    if (target_.MainWindowHidden()) target_.ToggleShowHide();
    target_.PlayVoice(kScanSuccessVoice);
    if (!wait_pay_) target_.SetPayWithoutWaiting();
}

void ScanClassifier::ReplayThroughHook() {
    hook_.ReleaseOrShield(1);
    TypeBuffer();
    Clear();
    hook_.ReleaseOrShield(0);
}

// Gives the buffered characters to the foreground program as keystrokes. Digits and
// carriage returns are pressed as their own virtual keys; any other character is typed as
// the character itself (a letter's virtual key would lose its case, and the lower-case
// letters' codes are the keypad and function keys).
void ScanClassifier::TypeBuffer() {
    std::string text;
    auto flush = [&] {
        if (!text.empty()) desktop_.TypeText(text);
        text.clear();
    };
    char prev = 0;
    for (char c : buffer_) {
        if (c >= '0' && c <= '9') {
            flush();
            desktop_.KeyPress(c);
        } else if (c == '\r' || (c == '\n' && prev != '\r')) {
            flush();
            desktop_.KeyPress(desktop::vk::kReturn);
        } else if (c == '\t') {
            flush();
            desktop_.KeyPress(desktop::vk::kTab);
        } else if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) {
            text.push_back(c);
        }
        prev = c;
    }
    flush();
}

void ScanClassifier::OnSerialData(const std::string& bytes) {
    buffer_ += bytes;
    // Line ends at the front are what is left of the previous code's terminator (CR LF
    // split across chunks); a terminator only counts after at least one byte of a code.
    buffer_.erase(0, std::min(buffer_.size(), buffer_.find_first_not_of("\r\n")));
    const size_t term = buffer_.find_first_of("\r\n");
    if (term == std::string::npos) {
        if (buffer_.size() > kMaxSerialBuffer) Clear();
        return;
    }
    // Judged with the terminator counted: 16 characters and a carriage return are a code.
    if (term + 1 >= kSerialCodeLength) {
        const std::string code = buffer_.substr(0, term);
        Clear();
        target_.SetPayCode(code);
        if (target_.MainWindowHidden()) target_.ToggleShowHide();
        return;
    }
    if (target_.MainWindowHidden()) TypeBuffer();
    Clear();
}

}  // namespace tendrix::input
