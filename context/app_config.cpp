#include "context/app_config.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "store/ini_file.h"
#include "store/store.h"

namespace tendrix::context {
namespace {
constexpr const char* kSection = "config";
}  // namespace

std::string ExecutableDir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::string LogDirForProgramDir(const std::string& program_dir) {
    // Remove characters from the end up to, not including, the second '/' from the end.
    std::string dir = program_dir;
    if (dir.empty() || dir.back() != '/') dir += '/';
    const auto last = dir.rfind('/');
    const auto second = last == 0 ? std::string::npos : dir.rfind('/', last - 1);
    if (second == std::string::npos) return dir + "log/";
    return dir.substr(0, second + 1) + "log/";
}

std::string XdgDir(const char* name, const char* fallback) {
    // The XDG rules ignore relative values.
    if (const char* v = std::getenv(name); v && v[0] == '/') {
        std::string dir = v;
        if (dir.back() != '/') dir += '/';
        return dir;
    }
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    if (home.empty() || home.back() != '/') home += '/';
    return home + fallback + "/";
}

std::string UserConfigDir() {
    return XdgDir("XDG_CONFIG_HOME", ".config") + "tendrix/";
}

bool MakePrivateDirs(const std::string& dir) {
    std::string path;
    for (size_t i = 0; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') continue;
        path = dir.substr(0, i);
        if (path.empty()) continue;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(dir.c_str(), W_OK) == 0;
}

namespace {

// Whether data/ and log/ can live beside the program directory. A root that does not exist
// (no installation there to probe) keeps the rule; an existing data/ decides by itself, so
// an installer may prepare a shared, writable one.
bool ProgramRootWritable(const std::string& root) {
    std::error_code ec;
    if (!std::filesystem::exists(root, ec)) return true;
    const std::string data = root + "data";
    if (std::filesystem::is_directory(data, ec)) return access(data.c_str(), W_OK) == 0;
    return access(root.c_str(), W_OK) == 0;
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void AppConfig::SetProgramDir(const std::string& dir) {
    program_dir = dir;
    if (program_dir.empty() || program_dir.back() != '/') program_dir += '/';
    voice_dir = program_dir + "Voice/";
    log_dir = LogDirForProgramDir(program_dir);
    data_dir = store::Store::DataDirForProgramDir(program_dir);
    per_user_dirs = !ProgramRootWritable(log_dir.substr(0, log_dir.size() - 4));
    if (per_user_dirs) {
        data_dir = XdgDir("XDG_DATA_HOME", ".local/share") + "tendrix/data/";
        log_dir = XdgDir("XDG_STATE_HOME", ".local/state") + "tendrix/log/";
        MakePrivateDirs(data_dir);
        MakePrivateDirs(log_dir);
    }
    const std::string user = UserConfigDir();
    std::error_code ec;
    skin_dir = std::filesystem::is_directory(user + "UIskin", ec) ? user + "UIskin/"
                                                                  : program_dir + "UIskin/";
    company_info_path =
        IsFile(user + "compmessage.txt") ? user + "compmessage.txt" : skin_dir + "compmessage.txt";
}

bool AppConfig::LoadCompanyInfo() {
    store::IniFile ini;
    const bool ok = ini.Load(company_info_path);
    pone_help = ini.Get(kSection, "pone_help");
    cmp_net = ini.Get(kSection, "cmp_net");
    check_net = ini.Get(kSection, "check_net");
    cmp_add = ini.Get(kSection, "cmp_add");
    soft_name = ini.Get(kSection, "soft_name");
    company_name = ini.Get(kSection, "company_name");
    invoice_url = ini.Get(kSection, "invoice_url");
    api_base = ini.Get(kSection, "api_base");
    // An installer (or the demo) may point the program at another platform.
    if (!environment.api_base.empty()) api_base = environment.api_base;
    return ok;
}

std::string AppConfig::PortMapFile() const {
    return environment.port_map.empty() ? data_dir + "ports.ini" : environment.port_map;
}

void AppConfig::LoadCodeTables() {
    pay_type_names = PayTypeNames();
    order_status_names = OrderStatusNames();
}

void AppConfig::LoadFloatPosition(int& x, int& y) const {
    store::IniFile ini;
    ini.Load(company_info_path);
    x = std::atoi(ini.Get(kSection, "pos_x").c_str());
    y = std::atoi(ini.Get(kSection, "pos_y").c_str());
}

bool AppConfig::SaveFloatPosition(int x, int y) {
    store::IniFile ini;
    if (!ini.Load(company_info_path)) ini.set_encoding(store::IniFile::Encoding::Utf16LeBom);
    ini.Set(kSection, "pos_x", std::to_string(x));
    ini.Set(kSection, "pos_y", std::to_string(y));
    if (ini.SaveAs(company_info_path)) return true;
    // A read-only installation: keep the whole file, with the position, in the user's copy.
    const std::string user = UserConfigDir();
    const std::string copy = user + "compmessage.txt";
    if (copy == company_info_path || !MakePrivateDirs(user) || !ini.SaveAs(copy)) return false;
    company_info_path = copy;
    return true;
}

}  // namespace tendrix::context
