#pragma once
// INI file as the Windows profile functions read it: "[section]" headers, "key=value"
// lines, names compared without regard to case, values trimmed. Reads UTF-16LE with BOM
// (as written on Windows), UTF-8 (with or without BOM) and, failing that, GBK; Save()
// writes back in the file's own encoding and line ends, keeping comments and order.
#include <string>
#include <vector>

namespace tendrix::store {

class IniFile {
  public:
    enum class Encoding { Utf8, Utf8Bom, Utf16LeBom, Gbk };

    // Loads the file; false if it cannot be read (the object is then empty, UTF-8).
    bool Load(const std::string& path);
    bool Save() const { return SaveAs(path_); }
    bool SaveAs(const std::string& path) const;

    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback = {}) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);

    Encoding encoding() const { return encoding_; }
    void set_encoding(Encoding e) { encoding_ = e; }
    const std::string& path() const { return path_; }

  private:
    // Index of the key's line within the section, or -1; `section_end` receives the line
    // after the section's last line (or -1 when the section is missing).
    int Find(const std::string& section, const std::string& key, int* section_end) const;

    std::string path_;
    Encoding encoding_ = Encoding::Utf8;
    std::string line_end_ = "\r\n";
    std::vector<std::string> lines_;  // UTF-8
};

}  // namespace tendrix::store
