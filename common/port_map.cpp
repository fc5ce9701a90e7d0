#include "common/port_map.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

namespace tendrix::common {
namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// "COM12" -> 12 for prefix "COM"; 0 when the name is not of that form.
int PortNumber(const std::string& upper, const std::string& prefix) {
    if (upper.size() <= prefix.size() || upper.compare(0, prefix.size(), prefix) != 0) return 0;
    int n = 0;
    for (size_t i = prefix.size(); i < upper.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(upper[i])) || n > 100000) return 0;
        n = n * 10 + (upper[i] - '0');
    }
    return n;
}

}  // namespace

PortMap::PortMap(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Upper(Trim(line.substr(0, eq)));
        const std::string value = Trim(line.substr(eq + 1));
        if (!key.empty() && !value.empty()) entries_[key] = value;
    }
}

std::string PortMap::Resolve(const std::string& name) const {
    const std::string trimmed = Trim(name);
    if (trimmed.empty() || trimmed[0] == '/') return trimmed;
    const std::string upper = Upper(trimmed);
    if (auto it = entries_.find(upper); it != entries_.end()) return it->second;
    if (int n = PortNumber(upper, "COM"); n > 0) return "/dev/ttyS" + std::to_string(n - 1);
    if (int n = PortNumber(upper, "LPT"); n > 0) return "/dev/lp" + std::to_string(n - 1);
    return trimmed;
}

}  // namespace tendrix::common
