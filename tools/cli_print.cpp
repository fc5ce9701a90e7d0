// tendrix-cli print: prints one receipt text through the receipt engine, with the
// installation's printer settings or the ones given on the command line. What an installer
// runs to check a printer.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/diag_log.h"
#include "common/text_codec.h"
#include "context/app_config.h"
#include "printing/print_setup.h"
#include "store/settings_keys.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
namespace {

constexpr int kExitOk = 0, kExitNotPrinted = 1, kExitUsage = 2;

const char* const kUsage =
    "  print FILE [--port DESC] [--copies N] [--blank-lines N] [--code-mode 0-3] [--title TEXT]\n"
    "        [--say1 TEXT] [--say2 TEXT] [--invoice-url URL --merchant ID]\n"
    "                                 prints a UTF-8 receipt text; without options the printer\n"
    "                                 settings of this installation are used. DESC: "
    "COM3BoardRate9600,\n"
    "                                 驱动打印机NAME, 免驱USB, LPT1, 网口192.168.1.100";

int Usage(const std::string& message) {
    std::fprintf(stderr, "tendrix-cli print: %s\nusage:\n%s\n", message.c_str(), kUsage);
    return kExitUsage;
}

int RunPrint(const std::vector<std::string>& args) {
    static const std::vector<std::string> kOptions = {
        "--port", "--copies", "--blank-lines", "--code-mode", "--title",
        "--say1", "--say2",   "--invoice-url", "--merchant"};
    std::map<std::string, std::string> given;
    std::optional<std::string> file;
    bool seen_command = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!seen_command) {
            seen_command = a == "print";
            continue;
        }
        if (a.rfind("--", 0) == 0) {
            if (std::find(kOptions.begin(), kOptions.end(), a) == kOptions.end())
                return Usage("unknown option " + a);
            if (i + 1 >= args.size()) return Usage(a + " needs a value");
            given[a] = args[++i];
        } else if (!file) {
            file = a;
        } else {
            return Usage("one FILE only");
        }
    }
    if (!file) return Usage("no FILE");
    if (auto it = given.find("--code-mode");
        it != given.end() && (it->second.size() != 1 || it->second[0] < '0' || it->second[0] > '3'))
        return Usage("--code-mode takes 0, 1, 2 or 3");

    std::ifstream in(*file, std::ios::binary);
    if (!in) return Usage("cannot read " + *file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!common::IsValidUtf8(text))
        std::fprintf(stderr, "tendrix-cli print: %s is not UTF-8; bad bytes print as '?'\n",
                     file->c_str());
    if (!text.empty() && text.back() != '\n') text += "\r\n";

    // The installation's settings, as the program itself configures the print service.
    context::AppConfig config = InstallationConfig();
    if (common::diag::Directory().empty()) common::diag::SetDirectory(config.log_dir);
    config.LoadCompanyInfo();
    config.LoadSettings();
    config.merchant_id = store::ReadLoginKey(config.data_dir, store::keys::merchantId);
    printing::PrintConfig pc = printing::PrintConfigFromApp(config);
    auto take = [&](const char* option, std::string& field) {
        if (auto it = given.find(option); it != given.end()) field = it->second;
    };
    take("--port", pc.port);
    take("--copies", pc.copies);
    take("--blank-lines", pc.blank_lines);
    take("--code-mode", pc.code_mode);
    take("--title", pc.title);
    take("--say1", pc.sayings[0]);
    take("--say2", pc.sayings[1]);
    take("--invoice-url", pc.invoice_url);
    take("--merchant", pc.merchant_id);
    if (pc.port.empty())
        return Usage("no printer configured (sysPrinterPortWay is \"" + pc.port_way +
                     "\"): give --port DESC");

    printing::ReceiptPrinter printer;
    printer.Configure(pc.Setup());
    if (!printer.PortOpen()) {
        std::fprintf(stderr, "%s\n%s: %s\n", printing::kPortOpenFailedText, pc.port.c_str(),
                     printer.OpenError().c_str());
        return kExitNotPrinted;
    }
    const std::string gbk = common::Utf8ToGbk(text);
    printer.Print(gbk, printing::MakeQrPrefix(pc.invoice_url, pc.merchant_id));
    printer.ClosePort();
    if (!printer.WriteError().empty()) {
        std::fprintf(stderr, "%s: the printer stopped taking the receipt: %s\n", pc.port.c_str(),
                     printer.WriteError().c_str());
        return kExitNotPrinted;
    }
    std::printf("printed %zu bytes of text to %s (copies %s, code mode %s)\n", gbk.size(),
                pc.port.c_str(), pc.copies.c_str(), pc.code_mode.c_str());
    return kExitOk;
}

const CliRegistrar kPrint("print", kUsage, RunPrint);

}  // namespace
}  // namespace tendrix::tools
