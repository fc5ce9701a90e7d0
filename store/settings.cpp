#include "store/settings.h"

#include "common/diag_log.h"
#include "store/settings_keys.h"
#include "store/store.h"

namespace tendrix::store {
namespace {

// A stored value counts as missing when it is empty or starts with a line break.
bool IsMissing(const std::string& v) {
    return v.empty() || v[0] == '\r' || v[0] == '\n';
}

}  // namespace

Settings::LoadReport Settings::Load(const std::string& data_dir, const std::string& company_name) {
    data_dir_ = data_dir;
    LoadReport report;
    for (const auto& d : keys::SettingDefaults()) {
        map_.emplace(d.key, d.value ? d.value : company_name);  // emplace keeps existing values
    }
    std::map<std::string, std::string> defaults;
    for (const auto& d : keys::SettingDefaults())
        defaults[d.key] = d.value ? d.value : company_name;

    Store store(data_dir);
    if (!store.OpenSettings()) {
        report.database_ok = false;
        report.problem = store.LastError();
        common::diag::Write("settings",
                            "database not usable, defaults for this run: " + report.problem);
        return report;
    }
    // Probe once: a damaged or locked file must not be written to (nor waited on per key).
    if (!store.CheckUsable()) {
        report.database_ok = false;
        report.problem = store.LastError();
        common::diag::Write("settings",
                            "database not usable, defaults for this run: " + report.problem);
        return report;
    }
    for (auto& [key, value] : map_) {
        const std::string stored = store.ReadName(key);
        const std::string& def = defaults.count(key) ? defaults[key] : value;
        if (IsMissing(stored) && !def.empty()) {
            store.SaveName(key, def);
            value = def;
        } else {
            value = stored;
        }
    }
    return report;
}

bool Settings::SaveAll() {
    Store store(data_dir_);
    if (!store.OpenSettings()) return false;
    bool ok = true;
    for (const auto& [key, value] : map_) {
        if (!value.empty()) ok = store.SaveName(key, value) && ok;
    }
    return ok;
}

Settings::SaveOneResult Settings::StoreOne(const std::string& key, const std::string& value) {
    auto it = map_.find(key);
    if (it != map_.end() && it->second == "FALSE") return SaveOneResult::kSwitchedOff;
    // Written first: a value the database did not take is not reported as saved, and the
    // program does not act on a value that the next start would not have.
    Store store(data_dir_);
    if (!store.OpenSettings() || !store.SaveName(key, value)) {
        common::diag::Write("settings", "could not store " + key + ": " + store.LastError());
        return SaveOneResult::kNotWritten;
    }
    map_[key] = value;
    return SaveOneResult::kSaved;
}

bool Settings::SaveOne(const std::string& key, const std::string& value) {
    return StoreOne(key, value) == SaveOneResult::kSaved;
}

const std::string& Settings::Get(const std::string& key) const {
    static const std::string empty;
    auto it = map_.find(key);
    return it == map_.end() ? empty : it->second;
}

std::string ReadLoginKey(const std::string& data_dir, const std::string& key) {
    Store store(data_dir);
    if (!store.OpenSettings()) return keys::LoginKeyDefault(key);
    std::string v = store.ReadName(key);
    if (v.empty()) {
        v = keys::LoginKeyDefault(key);
        if (!v.empty()) store.SaveName(key, v);
    }
    return v;
}

bool SaveLoginKey(const std::string& data_dir, const std::string& key, const std::string& value) {
    Store store(data_dir);
    return store.OpenSettings() && store.SaveName(key, value);
}

}  // namespace tendrix::store
