#pragma once
// The checkout's command interface: what windows and worker threads ask of the main window.
// The numbers are the command numbers of message 1224 (WM_USER + 200).
#include <string>

namespace tendrix::common {

constexpr unsigned kCommandMessage = 1224;  // WM_USER + 200

enum class CheckoutCommand : int {
    PaymentSuccess = 1,   // payload: GBK receipt text of a successful payment
    FloatOpacity = 2,     // payload: decimal opacity 0-255
    DisplayData = 3,      // payload: customer-display bytes or a log-file line (<= 500 bytes)
    PortControl = 4,      // payload: "CloseGetMoney" or "OpenAllSet"
    ScannerChar = 5,      // payload: one character
    ScannerData = 6,      // payload: serial scanner bytes
    Print = 7,            // payload: GBK receipt text
    ShowMessage = 8,      // payload: GBK message text, shown in a box titled "提示"
    Voice = 9,            // payload: voice file name(s)
    ToggleShowHide = 10,  // no payload
    GiveFocusBack = 11,   // no payload
    FloatAmount = 12,     // payload: amount text
    AfterPayment = 13,    // payload: amount text
    KeypadWindow = 14,    // payload: decimal window id of the keypad window
    PopupText = 15,       // payload: UTF-8 text for the payment popup
};

// Implemented by the main window. Send runs the command on the caller's (UI) thread;
// Post may be called from any thread and runs it later on the UI thread.
// The payload is owned by the command, so the sender may reuse its buffers at once.
class CommandSink {
  public:
    virtual ~CommandSink() = default;
    virtual void SendCommand(CheckoutCommand cmd, std::string payload) = 0;
    virtual void PostCommand(CheckoutCommand cmd, std::string payload) = 0;
};

}  // namespace tendrix::common
