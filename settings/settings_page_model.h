#pragma once
// Which control of which settings page edits which key, and how a control's value maps to
// the key's value text. Every key of keys::SettingDefaults() has exactly one entry; the
// control in the page layout carries the key as its object name.
#include <optional>
#include <string>
#include <vector>

namespace tendrix::settings {

enum class PageId { Basic, Pay, Device, Printer, Camera, Hotkey, Help, QRCode };

struct PageInfo {
    PageId id;
    const char* class_name;  // "CSysBasicSetDlg"
    const char* layout;      // "SysBasicSetDlg.xml"
    const char* title;       // tab text
};

enum class ControlKind {
    Switch,      // check box: "TRUE" / "FALSE"
    Choice,      // combo box, value = item text, only the listed texts
    EditChoice,  // combo box with suggested texts, any text may be typed
    Text,        // one-line text
    MultiLine,   // several lines ("\r\n" separated)
    Number,      // decimal text within [min, max]
    Port,        // "COMn" or "无", from the ports found plus the port map
    PortPair,    // listening side "COMn->COMm" or "无"
    Parallel,    // "LPTn"
    Printer,     // spooler printer name or "无"
    Rect,        // "top:%d, left:%d, right:%d, bottom:%d" (or "FALSE"/"TRUE" when switchable)
    Point,       // "x:%d, y:%d" or "无"
    Path,        // file path, with a browse button
    Hotkey,      // global key: "无", "F1".."F12", "A".."Z", "alt + A".."alt + Z" ("Tab" too)
    Step,  // after-payment key: "无", "KeyBody%d", "CTRL + %c", "ALT + %c", "reduction_focus"
};

struct ControlDescription {
    std::string key;
    PageId page;
    ControlKind kind;
    std::string label;                 // text beside the control
    std::vector<std::string> choices;  // Choice/EditChoice/Hotkey/Step: offered texts
    int min = 0;                       // Number
    int max = 0;
    bool switchable = false;  // Rect/Point: an off value exists ("FALSE" or "无")
    std::string tooltip;
};

const std::vector<PageInfo>& Pages();
const PageInfo& Page(PageId id);
const std::vector<ControlDescription>& Controls();
const ControlDescription* FindControl(const std::string& key);
std::vector<const ControlDescription*> ControlsOf(PageId page);

// The texts a combo box offers for `description`: its choices, with `current` added in front when
// it is not among them (so a stored value is never replaced by merely opening the page).
std::vector<std::string> OfferedTexts(const ControlDescription& description,
                                      const std::string& current);

// Hotkey texts for a global key ("Tab" only for sysSetOptionHotKey).
std::vector<std::string> HotkeyTexts(bool with_tab);
// After-payment step texts.
std::vector<std::string> StepTexts();
// What a hotkey or step text does, for the cashier ("回车", "Ctrl+C", ...); "" when unknown.
std::string KeyMeaning(const std::string& text);

// Checks a value before it is saved; nullopt when acceptable, else the reason shown to the
// cashier (it names the control's label).
std::optional<std::string> CheckValue(const ControlDescription& description,
                                      const std::string& value);

// Port names for the port lists: "无", every COMn whose default device exists under dev_root
// (/dev/ttyS(n-1)), and every COM entry of the port map file; sorted by number.
std::vector<std::string> SerialPortChoices(const std::string& port_map_file,
                                           const std::string& dev_root = "/dev");
// "无" and "COMa->COMb" for the given ports whose numbers are at most 2 apart.
std::vector<std::string> PortPairChoices(const std::vector<std::string>& ports);
// LPT1..LPT3 and every LPT entry of the port map.
std::vector<std::string> ParallelPortChoices(const std::string& port_map_file);

}  // namespace tendrix::settings
