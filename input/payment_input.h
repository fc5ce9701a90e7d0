#pragma once
// Everything of the payment-code input that the main window drives, behind one object:
// the scan classifier, the keyboard hook library, the global hotkeys, the main window's
// key table and the after-payment sequence. The main window owns one, calls it from its
// UI thread only, and routes to it:
//   command 5  -> OnScannerChar        command 6 -> OnScannerData
//   command 13 -> OnAfterPayment       settings applied ("OpenAllSet", start-up) -> ApplySettings
//   30 ms timer -> Tick                timer 17 (step_interval_ms() > 0) -> StepTimerTick
#include <memory>
#include <string>
#include <vector>

#include "common/checkout_command.h"
#include "desktop/desktop_services.h"
#include "input/after_payment.h"
#include "input/hotkeys.h"
#include "input/key_mask_hook.h"
#include "input/scan_classifier.h"
#include "store/settings.h"

namespace tendrix::input {

class PaymentInput {
  public:
    // `keymask_library`: path of libKeyMask.so (program directory + KeyMaskHook::kLibraryName).
    PaymentInput(desktop::DesktopServices& desktop, common::CommandSink& main_window,
                 PaymentCodeTarget& target, std::string keymask_library);
    ~PaymentInput();

    // Reads the capture way, sysWaitPay, the scanner device, the hotkeys, the key table and
    // the after-payment template. `show_hide` and `reboot` are the main window's actions for
    // the first two global hotkeys. Returns the hotkey failure messages to show.
    std::vector<std::string> ApplySettings(const store::Settings& settings,
                                           std::function<void()> show_hide,
                                           std::function<void()> reboot);

    void OnScannerChar(const std::string& payload);  // command 5 (first byte)
    void OnScannerData(const std::string& payload);  // command 6
    void OnAfterPayment(const std::string& amount);  // command 13

    // The 30 ms tick: delivers hotkey presses, manages the hook while the main window is
    // hidden or a message box is open, then lets the classifier judge the buffer.
    void Tick(bool hidden_or_box_open);
    // Timer 17: plays the next after-payment step. True when a step was played.
    bool StepTimerTick(bool main_hidden, bool popup_visible);

    // The sysHookOpenOff hotkey action (also reachable from the hotkey itself).
    void HookOpenOff();

    const MainKeyTable& key_table() const { return key_table_; }
    HotKeyValue camera_hotkey() const { return camera_hotkey_; }
    int step_interval_ms() const { return runner_.templ().step_interval_ms; }
    desktop::ScreenPoint focus_point() const { return runner_.templ().focus_point; }
    ScanClassifier& classifier() { return classifier_; }
    KeyMaskHook& hook() { return hook_; }
    AfterPaymentRunner& runner() { return runner_; }

  private:
    desktop::DesktopServices& desktop_;
    KeyMaskHook hook_;
    ScanClassifier classifier_;
    AfterPaymentRunner runner_;
    MainKeyTable key_table_;
    HotKeyValue camera_hotkey_;
    bool capture_on_ = false;
};

}  // namespace tendrix::input
