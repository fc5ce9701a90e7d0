#include "printing/print_log.h"

#include <cstdio>

namespace tendrix::printing {

LocalClock SystemLocalClock() {
    return [] {
        const std::time_t now = std::time(nullptr);
        std::tm t{};
        localtime_r(&now, &t);
        return t;
    };
}

std::string PrintLogFileName(const std::tm& t) {
    char name[64];
    std::snprintf(name, sizeof(name), "printlog%d-%02d-%02d.txt", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday);
    return name;
}

int DayKey(const std::tm& t) {
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

std::string AsDirectory(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::string PrintLogRecord(const std::tm& t, const std::string& text) {
    char stamp[80];
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d\r\n\r\n", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    // The text ends at its first NUL, as a C string would.
    const std::string body = text.substr(0, text.find('\0'));
    const std::string logical = std::string(stamp) + "\r\n" + body + "\n";
    std::string stored;
    stored.reserve(logical.size() + 16);
    for (char c : logical) {
        if (c == '\n') stored += '\r';
        stored += c;
    }
    return stored;
}

}  // namespace tendrix::printing
