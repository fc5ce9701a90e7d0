#pragma once
// What the main window provides to the payment-code input: the hand-off of a recognised
// payment code and the replay of ordinary keystrokes through the keyboard hook.
#include <string>

namespace tendrix::input {

// Implemented by the main window (CMainDlg).
class PaymentCodeTarget {
  public:
    virtual ~PaymentCodeTarget() = default;
    // Puts the code into the pay page's payment code field (`barcodeinput`).
    virtual void SetPayCode(const std::string& code) = 0;
    // The main window's show/hide toggle (command 10).
    virtual void ToggleShowHide() = 0;
    // True while the main window is hidden (its hidden flag).
    virtual bool MainWindowHidden() const = 0;
    // Queues a voice prompt file, e.g. "scanbarsuccess.mp3" (command 9).
    virtual void PlayVoice(const std::string& file_name) = 0;
    // Sets the flag the checkout reads when it starts the payment; raised for a code from
    // the hook when `sysWaitPay` is "FALSE" (pay at once, without waiting for Enter).
    virtual void SetPayWithoutWaiting() = 0;
};

// The keyboard hook's release/shield switch (ReleaseOrShield of the KeyMask library).
class HookSwitch {
  public:
    virtual ~HookSwitch() = default;
    // 0 shields (scanner keys are captured), 1 releases (keys pass to the foreground program).
    virtual void ReleaseOrShield(int flag) = 0;
};

}  // namespace tendrix::input
