// tendrix-cli: the terminal face of Tendrix for installers and support.
// The sub-command is the first argument that names a registered command.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli_registry.h"

namespace tendrix::cli {
std::map<std::string, CliCommand>& Registry() {
    static std::map<std::string, CliCommand> registry;
    return registry;
}
}  // namespace tendrix::cli

int main(int argc, char** argv) {
    using namespace tendrix::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") break;
        if (auto it = Registry().find(a); it != Registry().end()) return it->second.run(args);
    }
    std::printf("usage: tendrix-cli [global options] COMMAND ...\n\ncommands:\n");
    for (const auto& [name, cmd] : Registry()) std::printf("%s\n", cmd.usage.c_str());
    return args.empty() || args[0] == "--help" || args[0] == "-h" ? 0 : 2;
}
