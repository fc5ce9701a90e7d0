#include "input/hotkeys.h"

#include <cctype>

namespace tendrix::input {

HotKeyValue ParseHotKeyValue(const std::string& value, bool allow_tab) {
    using Kind = HotKeyValue::Kind;
    if (value.find("alt") != std::string::npos) {
        // "alt + %c"
        const size_t plus = value.find('+');
        if (plus == std::string::npos) return {};
        const size_t at = value.find_first_not_of(' ', plus + 1);
        if (at == std::string::npos) return {};
        const unsigned char c = static_cast<unsigned char>(value[at]);
        if (!std::isalnum(c)) return {};
        return {Kind::AltLetter, std::toupper(c)};
    }
    if (allow_tab && value == "Tab") return {Kind::Tab, desktop::vk::kTab};
    if (value.size() >= 2 && value[0] == 'F') {
        // "F%d": function keys F1..F24 are virtual keys 112..135.
        int n = 0;
        size_t i = 1;
        while (i < value.size() && i < 4 && std::isdigit(static_cast<unsigned char>(value[i])))
            n = n * 10 + (value[i++] - '0');
        if (i == 1 || i != value.size() || n < 1 || n > 24) return {};
        return {Kind::FunctionKey, n + 111};
    }
    if (value.size() == 1 && value[0] >= 'A' && value[0] <= 'Z') return {Kind::Letter, value[0]};
    return {};
}

std::vector<std::string> RegisterGlobalHotKeys(desktop::DesktopServices& desktop,
                                               const store::Settings& settings,
                                               const HotKeyActions& actions) {
    const std::function<void()> handlers[3] = {actions.show_hide, actions.reboot,
                                               actions.hook_open_off};
    std::vector<std::string> failures;
    for (size_t i = 0; i < kGlobalHotKeys.size(); ++i) {
        const GlobalHotKey& hk = kGlobalHotKeys[i];
        desktop.UnregisterHotKey(hk.atom);
        const HotKeyValue v = ParseHotKeyValue(settings.Get(hk.setting));
        if (v.kind == HotKeyValue::Kind::None) continue;
        const bool alt = v.kind == HotKeyValue::Kind::AltLetter;
        std::function<void()> on_press = handlers[i] ? handlers[i] : [] {};
        if (!desktop.RegisterHotKey(hk.atom, alt ? 1u : 0u, v.vk, on_press))
            failures.push_back(alt ? hk.fail_combo : hk.fail_single);
    }
    return failures;
}

const std::array<const char*, MainKeyTable::kCount>& MainKeyTable::SettingKeys() {
    static const std::array<const char*, kCount> keys = {
        "sysPrintBillHotKey", "sysPageDownHotKey",  "sysPageUpHotKey",   "sysRefundOrCancelHotKey",
        "sysCheckHotKey",     "sysReturnBtnHotKey", "sysSetOptionHotKey"};
    return keys;
}

void MainKeyTable::Load(const store::Settings& settings) {
    keys_.fill(0);
    alt_.fill(0);
    for (int f = 0; f < kCount; ++f) {
        const HotKeyValue v = ParseHotKeyValue(settings.Get(SettingKeys()[f]), f == SetOption);
        if (v.kind == HotKeyValue::Kind::AltLetter) {
            alt_[f] = static_cast<char>(v.vk);
        } else if (v.kind != HotKeyValue::Kind::None) {
            keys_[f] = static_cast<uint8_t>(v.vk);
        }
    }
}

int MainKeyTable::Match(int vk) const {
    if (vk <= 0) return -1;
    for (int f = 0; f < kCount; ++f) {
        if (keys_[f] == vk) return f;
    }
    return -1;
}

}  // namespace tendrix::input
