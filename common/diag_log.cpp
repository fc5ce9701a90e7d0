#include "common/diag_log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include "common/private_files.h"

namespace tendrix::common::diag {
namespace {
std::mutex g_mutex;
std::string g_dir;
}  // namespace

void SetDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_dir = dir;
    if (!g_dir.empty() && g_dir.back() != '/') g_dir += '/';
    if (!g_dir.empty()) MakePrivateDirectory(g_dir);
}

std::string Directory() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_dir;
}

void Write(std::string_view category, std::string_view text) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_dir.empty()) {
        std::fprintf(stderr, "%s [%.*s] %.*s\n", stamp, static_cast<int>(category.size()),
                     category.data(), static_cast<int>(text.size()), text.data());
        return;
    }
    char name[80];
    std::snprintf(name, sizeof name, "tendrix-%04d-%02d-%02d.log", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    if (FILE* f = OpenPrivateForAppend(g_dir + name)) {
        std::fprintf(f, "%s [%.*s] %.*s\n", stamp, static_cast<int>(category.size()),
                     category.data(), static_cast<int>(text.size()), text.data());
        std::fclose(f);
    }
}

}  // namespace tendrix::common::diag
