#include "store/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "common/text_codec.h"

namespace tendrix::store {
namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// "[name]" -> name; "" when the line is not a section header.
std::string SectionName(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return {};
    const auto close = t.find(']');
    return close == std::string::npos ? std::string() : Trim(t.substr(1, close - 1));
}

bool IsSection(const std::string& line) {
    const std::string t = Trim(line);
    return !t.empty() && t.front() == '[' && t.find(']') != std::string::npos;
}

}  // namespace

bool IniFile::Load(const std::string& path) {
    path_ = path;
    lines_.clear();
    encoding_ = Encoding::Utf8;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes = ss.str();

    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        encoding_ = Encoding::Utf16LeBom;
        std::u16string u16;
        u16.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            u16 += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        text = common::Utf16ToUtf8(u16);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding_ = Encoding::Utf8Bom;
        text = bytes.substr(3);
    } else if (common::IsValidUtf8(bytes)) {
        text = bytes;
    } else {
        encoding_ = Encoding::Gbk;
        text = common::GbkToUtf8(bytes);
    }
    line_end_ = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos
                    ? "\r\n"
                    : "\n";
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines_.push_back(line);
    return true;
}

bool IniFile::SaveAs(const std::string& path) const {
    std::string text;
    for (const auto& l : lines_) text += l + line_end_;
    std::string bytes;
    switch (encoding_) {
        case Encoding::Utf8:
            bytes = text;
            break;
        case Encoding::Utf8Bom:
            bytes = "\xEF\xBB\xBF" + text;
            break;
        case Encoding::Gbk:
            bytes = common::Utf8ToGbk(text);
            break;
        case Encoding::Utf16LeBom: {
            bytes = "\xFF\xFE";
            for (char16_t u : common::Utf8ToUtf16(text)) {
                bytes += static_cast<char>(u & 0xFF);
                bytes += static_cast<char>(u >> 8);
            }
            break;
        }
    }
    // Write to a temporary file first so a failed write never leaves half a file.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

int IniFile::Find(const std::string& section, const std::string& key, int* section_end) const {
    bool in_section = false;
    *section_end = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsSection(lines_[i])) {
            in_section = SameName(SectionName(lines_[i]), section);
            if (in_section) *section_end = static_cast<int>(i) + 1;
            continue;
        }
        if (!in_section) continue;
        const std::string t = Trim(lines_[i]);
        if (!t.empty()) *section_end = static_cast<int>(i) + 1;
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        const auto eq = t.find('=');
        if (eq != std::string::npos && SameName(Trim(t.substr(0, eq)), key)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string IniFile::Get(const std::string& section, const std::string& key,
                         const std::string& fallback) const {
    int end = -1;
    const int i = Find(section, key, &end);
    if (i < 0) return fallback;
    const std::string& line = lines_[i];
    std::string v = Trim(line.substr(line.find('=') + 1));
    // The profile functions drop one pair of enclosing quotes.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    int end = -1;
    const int i = Find(section, key, &end);
    const std::string line = key + "=" + value;
    if (i >= 0) {
        lines_[i] = line;
    } else if (end >= 0) {
        lines_.insert(lines_.begin() + end, line);
    } else {
        lines_.push_back("[" + section + "]");
        lines_.push_back(line);
    }
}

}  // namespace tendrix::store
