#include "settings/settings_save.h"

#include "settings/settings_page_model.h"
#include "store/settings.h"

namespace tendrix::settings {

SaveOutcome SaveSettings(store::Settings& settings,
                         const std::map<std::string, std::string>& values) {
    SaveOutcome out;
    for (const auto& [key, value] : values) {
        const ControlDescription* description = FindControl(key);
        if (!description) continue;
        // An empty text is not written by Save all, so it cannot damage the stored value.
        if (value.empty()) continue;
        // A value as it is stored was not changed here: one the page does not offer (a key
        // typed into the database, an older version's choice) is kept and does not stop the
        // other values from being saved.
        if (value == settings.Get(key)) continue;
        if (auto bad = CheckValue(*description, value)) {
            out.message = *bad;
            out.bad_key = key;
            return out;
        }
    }
    // Empty texts are left out of the map too, so memory and database agree.
    for (const auto& [key, value] : values)
        if (FindControl(key) && !value.empty()) settings.Set(key, value);
    if (!settings.SaveAll()) {
        out.message = kSaveFailedText;
        return out;
    }
    out.saved = true;
    out.message = kSavedText;
    return out;
}

}  // namespace tendrix::settings
