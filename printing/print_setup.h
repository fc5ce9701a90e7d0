#pragma once
// Configuration of receipt printing from the installation's settings: the same sequence for
// the main window (at start-up and on "OpenAllSet", command 4) and for tendrix-cli.
#include <memory>
#include <string>

#include "common/checkout_command.h"
#include "printing/print_log.h"
#include "printing/print_log_writer.h"
#include "printing/print_service.h"
#include "printing/receipt_printer.h"

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::store {
class Settings;
}  // namespace tendrix::store

namespace tendrix::printing {

inline constexpr const char* kNone = "无";

// Everything the writer and the service are configured with (UTF-8 texts).
struct PrintConfig {
    std::string log_dir;   // ends in '/'
    std::string title;     // sysBillFirstMsg
    std::string port_way;  // sysPrinterPortWay
    std::string port;      // port description; empty when the way is unknown
    std::string copies;
    std::string blank_lines;
    std::string code_mode;  // "0".."3"
    std::string sayings[2];
    std::string invoice_url;
    std::string merchant_id;

    bool Prints() const { return port_way != kNone; }
    PrinterSetup Setup() const;
};

// Port description from sysPrinterPortWay: "串口" -> COM3BoardRate9600, "驱动打印机" + name,
// "免驱USB", "并口" -> LPT1, "网口" + address; anything else -> "".
std::string PortDescriptionFromSettings(const store::Settings& settings);
// "0", or "1"/"2"/"3" for the barcode/QR switches, a later "TRUE" overriding an earlier one.
std::string CodeModeFromSettings(const store::Settings& settings);
// default_log_dir is used when sysPrintBillPath is "无" or empty.
PrintConfig PrintConfigFromSettings(const store::Settings& settings,
                                    const std::string& default_log_dir,
                                    const std::string& invoice_url, const std::string& merchant_id);
PrintConfig PrintConfigFromApp(const context::AppConfig& config);

struct PrintingOptions {
    PrinterOptions printer;
    LocalClock clock = SystemLocalClock();
};

// Replaces the writer and the service: the old service is stopped first, then the old writer
// (which writes what it still holds); a new writer starts on the log directory; the service
// runs only when a port way other than "无" is set. Notifications go to `notify`.
void ConfigurePrinting(const PrintConfig& config, common::CommandSink* notify,
                       std::unique_ptr<PrintLogWriter>& writer,
                       std::unique_ptr<CReadTxtSendPrint>& service,
                       const PrintingOptions& options = {});

// The same from the installation's context: settings, log directory, invoice URL and the
// logged-in merchant id. The main window calls this at start-up and on "OpenAllSet"
// (command 4), and posts every receipt of command 7 (and command 1 when printing on success)
// with writer->Post(text).
void ConfigurePrinting(const context::AppConfig& config, common::CommandSink* notify,
                       std::unique_ptr<PrintLogWriter>& writer,
                       std::unique_ptr<CReadTxtSendPrint>& service,
                       const PrintingOptions& options = {});

}  // namespace tendrix::printing
