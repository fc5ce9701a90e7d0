#pragma once
// The run-time context: paths, company information, code tables, settings and the login
// identity. Owned by the composition root and handed to what needs it; there is no global.
#include <cstdint>
#include <string>
#include <vector>

#include "context/code_tables.h"
#include "context/run_environment.h"
#include "store/settings.h"

namespace tendrix::context {

class AppConfig {
  public:
    static constexpr size_t kMessageBufferSize = 5120;

    std::vector<std::string> post_payment_keys;  // after-payment action list

    // Login identity.
    std::string cashier_name;  // empty: nobody is logged in
    std::string cashier_password;
    std::string cashier_device_id;
    std::string client_id;
    std::string title_suffix;
    std::string merchant_id;
    std::string secret;  // signing key
    std::string proxy_address;
    std::string proxy_port;
    std::string proxy_account;
    std::string proxy_password;
    std::string refund_permission;

    // Company information (UIskin/compmessage.txt, section config).
    std::string pone_help;
    std::string cmp_net;
    std::string check_net;
    std::string cmp_add;
    std::string soft_name;
    std::string company_name;
    std::string invoice_url;
    std::string api_base;  // payment platform base address

    // Directories (each ends in '/').
    std::string program_dir;
    std::string skin_dir;
    std::string log_dir;
    std::string voice_dir;
    std::string data_dir;
    std::string company_info_path;
    // True when data and logs live in the user's XDG folders because the program folder
    // is not writable (an installed program).
    bool per_user_dirs = false;

    // The environment as read at start-up.
    RunEnvironment environment;

    CodeTable pay_type_names;
    CodeTable order_status_names;
    store::Settings settings;

    // Voice file names collected for command 9 (at most kMessageBufferSize bytes).
    std::string message_buffer;

    // Sets the directories for a program directory (ending in '/'). Data and logs sit beside
    // the program directory when its parent is writable (a build tree, a private copy), else
    // in $XDG_DATA_HOME/tendrix/data/ and $XDG_STATE_HOME/tendrix/log/. The skin and the
    // company information file come from the program directory unless the user has
    // $XDG_CONFIG_HOME/tendrix/UIskin/ or $XDG_CONFIG_HOME/tendrix/compmessage.txt.
    void SetProgramDir(const std::string& dir);
    // Reads the company keys and api_base; false when the file cannot be read.
    bool LoadCompanyInfo();
    void LoadCodeTables();
    store::Settings::LoadReport LoadSettings() { return settings.Load(data_dir, company_name); }

    // Floating window position in the company information file (absent keys give 0). When
    // that file cannot be written (an installed program), the position goes into a per-user
    // copy of it, which is read from then on.
    void LoadFloatPosition(int& x, int& y) const;
    bool SaveFloatPosition(int x, int y);

    const std::string& Setting(const std::string& key) const { return settings.Get(key); }
    // The serial/parallel port map: the environment's file, else data/ports.ini.
    std::string PortMapFile() const;
};

// The directory of the running executable, ending in '/'.
std::string ExecutableDir();
// Log directory: the program directory's parent plus "log/".
std::string LogDirForProgramDir(const std::string& program_dir);
// $name when it holds an absolute path, else $HOME plus fallback; ends in '/'.
std::string XdgDir(const char* name, const char* fallback);
// $XDG_CONFIG_HOME/tendrix/: the user's overrides of the company file and the skin.
std::string UserConfigDir();
// Creates dir and its missing parents, each new one private to the user (0700).
bool MakePrivateDirs(const std::string& dir);

}  // namespace tendrix::context
