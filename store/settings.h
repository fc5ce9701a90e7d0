#pragma once
// The settings map: every key of the settings table with its current value text.
// Load fills it from the defaults and dataset.db; SaveAll and SaveOne write it back.
#include <map>
#include <string>

namespace tendrix::store {

class Settings {
  public:
    using Map = std::map<std::string, std::string>;

    struct LoadReport {
        bool database_ok = true;  // false: the defaults are used for this run
        std::string problem;      // why the database could not be used
    };

    // data_dir: where dataset.db lives. company_name: default of sysBillFirstMsg.
    LoadReport Load(const std::string& data_dir, const std::string& company_name);
    // Writes every non-empty value. Returns false if the database could not be written.
    bool SaveAll();
    enum class SaveOneResult {
        kSaved,
        kSwitchedOff,  // the key's value is "FALSE": a capture for a feature that is off
        kNotWritten,   // dataset.db could not be opened or written; the map is unchanged
    };
    // Stores one key and sets it in the map, unless its current value is "FALSE".
    SaveOneResult StoreOne(const std::string& key, const std::string& value);
    // StoreOne() == kSaved.
    bool SaveOne(const std::string& key, const std::string& value);

    // The value of a key; "" for a key that is not in the map.
    const std::string& Get(const std::string& key) const;
    bool IsTrue(const std::string& key) const { return Get(key) == "TRUE"; }
    void Set(const std::string& key, const std::string& value) { map_[key] = value; }
    bool Has(const std::string& key) const { return map_.count(key) != 0; }
    const Map& Values() const { return map_; }
    const std::string& DataDir() const { return data_dir_; }
    void SetDataDir(const std::string& dir) { data_dir_ = dir; }

  private:
    Map map_;
    std::string data_dir_;
};

// Reads and writes the login keys kept directly in tblTest of dataset.db.
std::string ReadLoginKey(const std::string& data_dir, const std::string& key);
bool SaveLoginKey(const std::string& data_dir, const std::string& key, const std::string& value);

}  // namespace tendrix::store
