#pragma once
// tendrix-cli sub-commands. Each cli_*.cpp file registers its own with a static
// CliRegistrar, so areas add commands without touching main.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "context/app_config.h"

namespace tendrix::tools {

// args: everything after the program name, global options included, in order.
using CliHandler = std::function<int(const std::vector<std::string>& args)>;

struct CliCommand {
    std::string usage;  // lines for --help
    CliHandler run;
};

std::map<std::string, CliCommand>& Registry();

// Options of any command that take no value ("--wait"). Every other "--option" takes the
// argument after it, so main can tell an option's value from the command's name.
std::set<std::string>& Switches();

// The environment as read once when the program started.
const context::RunEnvironment& StartEnvironment();
// The installation beside this executable (directories, data, logs) with the environment as
// read once when the program started.
context::AppConfig InstallationConfig();

struct CliRegistrar {
    CliRegistrar(const std::string& name, std::string usage, CliHandler run,
                 const std::vector<std::string>& switches = {}) {
        Registry()[name] = CliCommand{std::move(usage), std::move(run)};
        Switches().insert(switches.begin(), switches.end());
    }
};

}  // namespace tendrix::tools
