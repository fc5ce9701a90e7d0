// tendrix-cli: the terminal face of Tendrix for installers and support.
// The sub-command is the first argument that is neither an option nor an option's value, so
// "--user pay refund ..." runs refund. Exit codes: 0 success, 1 usage error or refusal,
// 2 network failure (each command documents its own).
#include <cstdio>
#include <string>
#include <vector>

#include "context/version.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
std::map<std::string, CliCommand>& Registry() {
    static std::map<std::string, CliCommand> registry;
    return registry;
}
std::set<std::string>& Switches() {
    static std::set<std::string> switches;
    return switches;
}
}  // namespace tendrix::tools

namespace {

constexpr int kExitOk = 0, kExitUsage = 1;

int PrintUsage(FILE* to) {
    using namespace tendrix::tools;
    std::fprintf(to, "usage: tendrix-cli [global options] COMMAND ...\n\ncommands:\n");
    for (const auto& [name, cmd] : Registry()) std::fprintf(to, "%s\n", cmd.usage.c_str());
    return to == stdout ? kExitOk : kExitUsage;
}

}  // namespace

namespace tendrix::tools {
namespace {
context::RunEnvironment g_environment;  // read once at the start of main
}  // namespace

const context::RunEnvironment& StartEnvironment() {
    return g_environment;
}

context::AppConfig InstallationConfig() {
    context::AppConfig config;
    config.environment = g_environment;
    config.SetProgramDir(context::ExecutableDir());
    return config;
}

}  // namespace tendrix::tools

int main(int argc, char** argv) {
    using namespace tendrix::tools;
    g_environment = tendrix::context::RunEnvironment::FromProcess();
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return PrintUsage(stdout);
        if (a == "--version") {
            std::printf("tendrix-cli %s\n", tendrix::context::kVersion);
            return kExitOk;
        }
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (!Switches().count(a)) ++i;  // its value
            continue;
        }
        if (auto it = Registry().find(a); it != Registry().end()) return it->second.run(args);
        std::fprintf(stderr, "tendrix-cli: unknown command %s\n", a.c_str());
        return PrintUsage(stderr);
    }
    std::fprintf(stderr, "tendrix-cli: no command\n");
    return PrintUsage(stderr);
}
