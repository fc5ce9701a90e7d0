#pragma once
// The environment variables the programs honour. The composition root reads them once at
// start-up (FromProcess) and hands the values down in the context; no library reads the
// environment itself.
#include <chrono>
#include <string>

namespace tendrix::context {

struct RunEnvironment {
    std::string api_base;      // TENDRIX_API_BASE: a platform other than the company file's
    std::string port_map;      // TENDRIX_PORT_MAP: the port map file instead of data/ports.ini
    std::string plugin_dir;    // TENDRIX_BIN_DIR: the plugins' folder when not beside the program
    std::string demo_cashier;  // TENDRIX_DEMO_CASHIER: the name a first login offers
    // TENDRIX_PLATFORM_TIMEOUT_MS: one platform exchange's time-out; 0: the client's default.
    std::chrono::milliseconds platform_timeout{0};
    // TENDRIX_RECONCILE_MS: the background order check's period; 0: the normal period.
    int reconcile_ms = 0;

    static RunEnvironment FromProcess();
};

}  // namespace tendrix::context
