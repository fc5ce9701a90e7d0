#pragma once
// The after-payment sequence: clicks and keystrokes played into the POS program after a
// successful payment (restoring its focus, pressing its hotkeys, typing the paid amount).
//
// Step texts: "CTRL + %c", "ALT + %c", "KeyBody%d" (a virtual key in decimal),
// "reduction_focus" (click the focus-restore point) and "printmoney:" followed by the
// amount (click the amount point, select all, erase, type the amount on the keypad).
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"
#include "store/settings.h"

namespace tendrix::input {

inline constexpr const char* kPrintMoneyStep = "printmoney:";
inline constexpr const char* kReductionFocusStep = "reduction_focus";
inline constexpr int kStepTimerId = 17;

// "top:%d, left:%d, right:%d, bottom:%d"; nullopt for any other text ("FALSE", "", "无").
std::optional<desktop::ScreenRect> ParseRectSetting(const std::string& value);

struct AfterPaymentTemplate {
    std::vector<std::string> steps;
    desktop::ScreenPoint focus_point;   // centre of sysReductionFoucus; (0,0) = not set
    desktop::ScreenPoint amount_point;  // centre of sysPrintMoneyFocusPos; (0,0) = not set
    int step_interval_ms = 0;           // sysPrintKeytime; timer 17 runs only when positive
};

// Built whenever the settings are applied.
AfterPaymentTemplate BuildAfterPaymentTemplate(const store::Settings& settings);

// Plays one step on the desktop at once.
void PlayAfterPaymentStep(desktop::DesktopServices& desktop, const std::string& step,
                          desktop::ScreenPoint amount_point, desktop::ScreenPoint focus_point);
// The two halves of an amount step: the click on the amount point, and the clearing and
// typing (Ctrl+A, Backspace, the amount's digits and points on the keypad).
void ClickAmountPoint(desktop::DesktopServices& desktop, desktop::ScreenPoint amount_point);
void TypePaidAmount(desktop::DesktopServices& desktop, const std::string& step);

// The run list: filled by command 13, drained one step per tick of timer 17.
//
// An amount step takes two ticks or more: the click first, the keys on a later tick once
// the window under the amount point holds the focus. A window manager moves the focus after
// it has seen the click, so keys sent with the click reach the window that had the focus
// before (or none) and the amount arrives cut or not at all. The keys go out after at most
// about a second even when the focus cannot be confirmed.
class AfterPaymentRunner {
  public:
    void SetTemplate(AfterPaymentTemplate t) { template_ = std::move(t); }
    const AfterPaymentTemplate& templ() const { return template_; }

    // Command 13: appends the template's steps, the amount added to each "printmoney:" step.
    void Start(const std::string& amount);
    // Timer 17: plays the next step while the main window is hidden and the payment popup
    // is not visible. Returns true when something was sent.
    bool Tick(desktop::DesktopServices& desktop, bool main_hidden, bool popup_visible);
    // Drops what has not been played (a new payment started before the window was hidden).
    // Returns how many steps were dropped.
    size_t Clear();
    // Adds the focus-restore click after the last step, once per run.
    void AppendFocusRestore();
    // Steps not yet played (an amount step whose keys are still to come counts).
    bool Running() const { return !run_list_.empty() || !typing_.empty(); }

    const std::deque<std::string>& pending() const { return run_list_; }

  private:
    AfterPaymentTemplate template_;
    std::deque<std::string> run_list_;
    std::string typing_;  // the amount step whose click was sent and whose keys wait
    desktop::WindowId typing_target_ = 0;
    int typing_waits_ = 0;
};

}  // namespace tendrix::input
