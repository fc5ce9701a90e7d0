#pragma once
// Hotkey setting values and the global hotkeys.
//
// Value formats: "F%d" (function key n, virtual key n + 111: "F1" is 112, "F12" is 123);
// "alt + %c" (Alt with a letter); a single letter "A".."Z"; "Tab" (virtual key 9, only for
// `sysSetOptionHotKey`). A value containing "alt" is an Alt combination; a value starting
// with "F" and at least two characters long is a function key, so "F" alone is the letter F.
// "无", "" and anything else is no key.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"
#include "store/settings.h"

namespace tendrix::input {

struct HotKeyValue {
    enum class Kind { None, FunctionKey, AltLetter, Letter, Tab };
    Kind kind = Kind::None;
    int vk = 0;  // the virtual key (function key code, letter code 'A'..'Z' or 9)
    bool operator==(const HotKeyValue&) const = default;
};

HotKeyValue ParseHotKeyValue(const std::string& value, bool allow_tab = false);

// The global hotkeys, registered on the desktop under their atom names.
struct GlobalHotKey {
    const char* setting;
    const char* atom;
    const char* fail_single;  // message when a single key cannot be registered
    const char* fail_combo;   // message when an Alt combination cannot be registered
};
inline constexpr std::array<GlobalHotKey, 3> kGlobalHotKeys = {{
    {"sysShowHideHotKey", "hotkeyhideshowTendrix",
     "主界面显示/隐藏热键注册失败，可能其他程序已经占用该键！",
     "主界面显示/隐藏热键注册失败，可能其他程序已经占用该组合键！"},
    {"sysSysReBootHotKey", "hotkeyRebootTendrix",
     "重启系统热键注册失败，可能其他程序已经占用该键！",
     "重启系统热键注册失败，可能其他程序已经占用该组合键！"},
    {"sysHookOpenOff", "hotkeyHookOpenOff",
     "开启/关闭扫码捕获热键注册失败，可能其他程序已经占用该键！",
     "开启/关闭扫码捕获热键注册失败，可能其他程序已经占用该组合键！"},
}};

struct HotKeyActions {
    std::function<void()> show_hide;      // hotkeyhideshowTendrix: the show/hide toggle
    std::function<void()> reboot;         // hotkeyRebootTendrix: restart the program
    std::function<void()> hook_open_off;  // hotkeyHookOpenOff: shield/release the hook
};

// Registers the three global hotkeys from the settings (an earlier registration under the
// same atom is removed first; a key set to no key stays unregistered). Returns the message
// of every registration that failed, for message boxes owned by the main window.
std::vector<std::string> RegisterGlobalHotKeys(desktop::DesktopServices& desktop,
                                               const store::Settings& settings,
                                               const HotKeyActions& actions);

// The main window's key table: the virtual key of each function's key, or 0; an
// "alt + %c" value gives that function's buttons an Alt shortcut letter instead.
class MainKeyTable {
  public:
    enum Function {
        PrintBill,       // sysPrintBillHotKey
        PageDown,        // sysPageDownHotKey
        PageUp,          // sysPageUpHotKey
        RefundOrCancel,  // sysRefundOrCancelHotKey
        Check,           // sysCheckHotKey
        ReturnButton,    // sysReturnBtnHotKey
        SetOption,       // sysSetOptionHotKey ("Tab" allowed)
        kCount
    };
    static const std::array<const char*, kCount>& SettingKeys();

    void Load(const store::Settings& settings);
    uint8_t key(Function f) const { return keys_[f]; }
    char alt_shortcut(Function f) const { return alt_[f]; }
    // The function whose key is `vk` (first in table order), or -1.
    int Match(int vk) const;

  private:
    std::array<uint8_t, kCount> keys_{};
    std::array<char, kCount> alt_{};
};

}  // namespace tendrix::input
