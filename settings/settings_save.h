#pragma once
// Saving the settings pages: every changed value is checked first; nothing is stored unless
// all are acceptable. Then the map is updated and Save all writes it. A value left as it is
// stored is not checked, so a stored value outside a page's list never blocks the others.
#include <map>
#include <string>

namespace tendrix::store {
class Settings;
}  // namespace tendrix::store

namespace tendrix::settings {}

namespace tendrix::settings {

inline constexpr const char* kSavedText = "保存成功,请重启软件生效！";
inline constexpr const char* kSaveFailedText = "保存失败，无法写入设置数据库！";

struct SaveOutcome {
    bool saved = false;
    std::string message;  // kSavedText, kSaveFailedText or why a value was refused
    std::string bad_key;  // the refused key
};

SaveOutcome SaveSettings(store::Settings& settings,
                         const std::map<std::string, std::string>& values);

}  // namespace tendrix::settings
