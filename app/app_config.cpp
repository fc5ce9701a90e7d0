#include "app/app_config.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>

#include "store/ini_file.h"
#include "store/store.h"

namespace tendrix {
namespace {
std::atomic<AppConfig*> g_published{nullptr};
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

void AppConfig::SetProgramDir(const std::string& dir) {
    program_dir = dir;
    if (program_dir.empty() || program_dir.back() != '/') program_dir += '/';
    skin_dir = program_dir + "UIskin/";
    company_info_path = skin_dir + "compmessage.txt";
    log_dir = LogDirForProgramDir(program_dir);
    voice_dir = program_dir + "Voice/";
    data_dir = Store::DataDirForProgramDir(program_dir);
}

bool AppConfig::LoadCompanyInfo() {
    IniFile ini;
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
    if (const char* env = std::getenv("TENDRIX_API_BASE"); env && *env) api_base = env;
    return ok;
}

void AppConfig::LoadCodeTables() {
    pay_type_names = PayTypeNames();
    order_status_names = OrderStatusNames();
}

void AppConfig::LoadFloatPosition(int& x, int& y) const {
    IniFile ini;
    ini.Load(company_info_path);
    x = std::atoi(ini.Get(kSection, "pos_x").c_str());
    y = std::atoi(ini.Get(kSection, "pos_y").c_str());
}

bool AppConfig::SaveFloatPosition(int x, int y) const {
    IniFile ini;
    if (!ini.Load(company_info_path)) ini.set_encoding(IniFile::Encoding::Utf16LeBom);
    ini.Set(kSection, "pos_x", std::to_string(x));
    ini.Set(kSection, "pos_y", std::to_string(y));
    return ini.SaveAs(company_info_path);
}

AppConfig* AppConfig::Published() { return g_published.load(); }
void AppConfig::Publish(AppConfig* config) { g_published.store(config); }

}  // namespace tendrix
