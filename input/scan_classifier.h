#pragma once
// Tells a customer's payment code apart from ordinary typing and product barcodes.
//
// Characters arrive one by one from the keyboard hook (command 5) or in chunks from a serial
// scanner (command 6); Tick() is called by the main window's 30 ms timer and decides:
//  - "模拟键盘" (keyboard mode): a code of at least 17 characters followed by a carriage
//    return, all arriving without a full tick's pause, is a payment code; a shorter one with
//    its carriage return, or anything followed by a pause of one tick, is replayed to the
//    foreground program.
//  - "模拟键盘(增强模式)" (enhanced mode): waits for the carriage return; 14 or more
//    characters before it make a payment code, fewer are replayed. Pauses never replay.
//  - "USB串口" (serial scanner): judged as each chunk arrives (see OnSerialData).
#include <cstddef>
#include <string>

#include "desktop/desktop_services.h"
#include "input/payment_code_target.h"

namespace tendrix::input {

enum class CaptureWay { Off, Keyboard, KeyboardEnhanced, Serial };

inline constexpr const char* kCaptureWayKeyboard = "模拟键盘";
inline constexpr const char* kCaptureWayEnhanced = "模拟键盘(增强模式)";
inline constexpr const char* kCaptureWaySerial = "USB串口";
inline constexpr const char* kScanSuccessVoice = "scanbarsuccess.mp3";

// The capture way for `sysCaptureWay` (Off for any other text).
CaptureWay ParseCaptureWay(const std::string& value);

class ScanClassifier {
  public:
    static constexpr size_t kKeyboardCodeLength = 18;  // characters incl. carriage return
    static constexpr size_t kEnhancedCodeLength = 15;  // characters incl. carriage return
    static constexpr size_t kSerialCodeLength = 17;    // bytes incl. terminator

    ScanClassifier(desktop::DesktopServices& desktop, HookSwitch& hook, PaymentCodeTarget& target);

    // From the settings: `sysCaptureWay` and `sysWaitPay`.
    void Configure(CaptureWay way, bool wait_pay);
    CaptureWay way() const { return way_; }

    // Command 5: one character from the hook (the low byte of the value is used).
    void OnHookChar(int ch);
    // Command 6: bytes from the serial scanner.
    void OnSerialData(const std::string& bytes);
    // The 30 ms tick (keyboard modes).
    void Tick();
    // Empties the buffer (the sysHookOpenOff hotkey does this).
    void Clear();

    const std::string& buffer() const { return buffer_; }

  private:
    void TickKeyboard();
    void TickEnhanced();
    void HandOffFromHook(std::string code);
    void ReplayThroughHook();
    void TypeBuffer();

    desktop::DesktopServices& desktop_;
    HookSwitch& hook_;
    PaymentCodeTarget& target_;
    CaptureWay way_ = CaptureWay::Off;
    bool wait_pay_ = true;
    std::string buffer_;
    size_t last_length_ = 0;
};

}  // namespace tendrix::input
