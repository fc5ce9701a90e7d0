#include "input/after_payment.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "common/diag_log.h"
#include "desktop/screen_place_text.h"

namespace tendrix::input {
namespace {

// Reads the leading decimal integer of a setting ("5" -> 5, "abc" -> 0).
long LeadingInt(const std::string& s) {
    return std::strtol(s.c_str(), nullptr, 10);
}

// The key of "CTRL + %c" / "ALT + %c": the character after the prefix, letters upper-cased
// (a lower-case letter's code would name a keypad or function key). 0 when missing.
int ComboKey(const std::string& step, const char* prefix) {
    char c = 0;
    const size_t at = step.find(prefix);
    const std::string fmt = std::string(prefix) + " %c";
    if (std::sscanf(step.c_str() + at, fmt.c_str(), &c) != 1) return 0;
    return std::toupper(static_cast<unsigned char>(c));
}

}  // namespace

std::optional<desktop::ScreenRect> ParseRectSetting(const std::string& value) {
    return desktop::ParseRect(value);
}

AfterPaymentTemplate BuildAfterPaymentTemplate(const store::Settings& settings) {
    AfterPaymentTemplate t;
    if (auto r = ParseRectSetting(settings.Get("sysReductionFoucus"))) t.focus_point = r->centre();
    if (LeadingInt(settings.Get("sysIsOpenPaySuccessClose")) <= 0) return t;
    for (const char* key : {"sysIsPaySuccessHotKeyNext1", "sysIsPaySuccessHotKeyNext2",
                            "sysIsPaySuccessHotKeyNext3"}) {
        const std::string& v = settings.Get(key);
        if (v == "无") break;
        t.steps.push_back(v);
    }
    const std::string& where = settings.Get("sysPrintMoneyProgram");
    int before = -1;
    if (where == "第一步快捷键之前") before = 0;
    if (where == "第二步快捷键之前") before = 1;
    if (where == "第三步快捷键之前") before = 2;
    if (before >= 0) {
        // With fewer hotkey steps than that, the amount comes after the last of them.
        const size_t at = std::min(static_cast<size_t>(before), t.steps.size());
        t.steps.insert(t.steps.begin() + static_cast<long>(at), kPrintMoneyStep);
    }
    const long interval = LeadingInt(settings.Get("sysPrintKeytime"));
    if (interval > 0) t.step_interval_ms = static_cast<int>(std::min(interval, 600000L));
    if (auto r = ParseRectSetting(settings.Get("sysPrintMoneyFocusPos")))
        t.amount_point = r->centre();
    return t;
}

void ClickAmountPoint(desktop::DesktopServices& desktop, desktop::ScreenPoint amount_point) {
    desktop.MoveCursor(amount_point);
    desktop.Click();
}

void TypePaidAmount(desktop::DesktopServices& desktop, const std::string& step) {
    desktop.KeyDown(desktop::vk::kControl);
    desktop.KeyDown('A');
    desktop.KeyUp(desktop::vk::kControl);
    desktop.KeyUp('A');
    desktop.KeyPress(desktop::vk::kBack);
    for (char c : step) {
        if (c >= '0' && c <= '9') {
            desktop.KeyPress(desktop::vk::kNumpad0 + (c - '0'));
        } else if (c == '.') {
            desktop.KeyPress(desktop::vk::kDecimal);
        }
    }
}

void PlayAfterPaymentStep(desktop::DesktopServices& desktop, const std::string& step,
                          desktop::ScreenPoint amount_point, desktop::ScreenPoint focus_point) {
    if (step.find(kPrintMoneyStep) != std::string::npos) {
        ClickAmountPoint(desktop, amount_point);
        TypePaidAmount(desktop, step);
    } else if (const size_t at = step.find("KeyBody"); at != std::string::npos) {
        int key = 0;
        std::sscanf(step.c_str() + at, "KeyBody%d", &key);
        if (key > 0 && key < 256) desktop.KeyPress(key);
    } else if (step.find("ALT +") != std::string::npos) {
        const int key = ComboKey(step, "ALT +");
        desktop.KeyDown(desktop::vk::kMenu);
        if (key) desktop.KeyDown(key);
        desktop.KeyUp(desktop::vk::kMenu);
        if (key) desktop.KeyUp(key);
    } else if (step.find("CTRL +") != std::string::npos) {
        const int key = ComboKey(step, "CTRL +");
        desktop.KeyDown(desktop::vk::kControl);
        if (key) desktop.KeyDown(key);
        desktop.KeyUp(desktop::vk::kControl);
        if (key) desktop.KeyUp(key);
    } else if (step.find(kReductionFocusStep) != std::string::npos) {
        desktop.MoveCursor(focus_point);
        desktop.Click();
    }
}

void AfterPaymentRunner::Start(const std::string& amount) {
    for (const std::string& step : template_.steps) {
        run_list_.push_back(step.find(kPrintMoneyStep) != std::string::npos ? step + amount : step);
    }
    common::diag::Write("afterpay", "run of " + std::to_string(template_.steps.size()) +
                                        " steps for the paid amount " + amount);
}

bool AfterPaymentRunner::Tick(desktop::DesktopServices& desktop, bool main_hidden,
                              bool popup_visible) {
    if (!main_hidden || popup_visible) return false;
    if (!typing_.empty()) {
        // Ticks to wait for the focus: about a second, at least five.
        const int interval = std::max(template_.step_interval_ms, 1);
        const int max_waits = std::max(5, 1000 / interval);
        if (typing_target_ != 0 && desktop.ForegroundWindow() != typing_target_ &&
            ++typing_waits_ < max_waits)
            return false;
        if (typing_waits_ >= max_waits)
            common::diag::Write("afterpay",
                                "the amount point's window did not take the focus; typing");
        TypePaidAmount(desktop, typing_);
        common::diag::Write("afterpay", "typed " + typing_);
        typing_.clear();
        return true;
    }
    if (run_list_.empty()) return false;
    const std::string step = run_list_.front();
    run_list_.pop_front();
    if (step.find(kPrintMoneyStep) != std::string::npos) {
        ClickAmountPoint(desktop, template_.amount_point);
        typing_ = step;
        typing_target_ = desktop.WindowAt(template_.amount_point);
        typing_waits_ = 0;
        return true;
    }
    PlayAfterPaymentStep(desktop, step, template_.amount_point, template_.focus_point);
    common::diag::Write("afterpay", "played " + step);
    return true;
}

size_t AfterPaymentRunner::Clear() {
    const size_t dropped = run_list_.size() + (typing_.empty() ? 0 : 1);
    run_list_.clear();
    typing_.clear();
    return dropped;
}

void AfterPaymentRunner::AppendFocusRestore() {
    if (template_.focus_point == desktop::ScreenPoint{}) return;
    if (!run_list_.empty() && run_list_.back() == kReductionFocusStep) return;
    run_list_.push_back(kReductionFocusStep);
}

}  // namespace tendrix::input
