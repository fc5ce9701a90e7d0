#include "context/run_environment.h"

#include <cstdlib>

namespace tendrix::context {
namespace {

std::string Text(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// A positive decimal number of milliseconds; 0 for anything else.
long long Millis(const char* name) {
    const std::string text = Text(name);
    if (text.empty()) return 0;
    char* end = nullptr;
    const long long ms = std::strtoll(text.c_str(), &end, 10);
    return (end && *end == '\0' && ms > 0) ? ms : 0;
}

}  // namespace

RunEnvironment RunEnvironment::FromProcess() {
    RunEnvironment e;
    e.api_base = Text("TENDRIX_API_BASE");
    e.port_map = Text("TENDRIX_PORT_MAP");
    e.plugin_dir = Text("TENDRIX_BIN_DIR");
    if (!e.plugin_dir.empty() && e.plugin_dir.back() != '/') e.plugin_dir += '/';
    e.demo_cashier = Text("TENDRIX_DEMO_CASHIER");
    e.platform_timeout = std::chrono::milliseconds(Millis("TENDRIX_PLATFORM_TIMEOUT_MS"));
    const long long reconcile = Millis("TENDRIX_RECONCILE_MS");
    e.reconcile_ms = reconcile > 0 && reconcile < 86400000 ? static_cast<int>(reconcile) : 0;
    return e;
}

}  // namespace tendrix::context
