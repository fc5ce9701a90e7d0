#include "printing/print_setup.h"

#include "context/app_config.h"
#include "store/settings.h"
#include "store/settings_keys.h"

namespace tendrix::printing {

PrinterSetup PrintConfig::Setup() const {
    PrinterSetup s;
    s.port = port;
    s.copies = copies;
    s.blank_lines = blank_lines;
    s.code_mode = code_mode;
    s.sayings[0] = sayings[0];
    s.sayings[1] = sayings[1];
    s.title = title;
    return s;
}

std::string PortDescriptionFromSettings(const store::Settings& s) {
    const std::string& way = s.Get(store::keys::sysPrinterPortWay);
    if (way == "串口")
        return s.Get(store::keys::sysPrinterComId) + "BoardRate" +
               s.Get(store::keys::sysPrinterComBaudRate);
    if (way == "驱动打印机") return "驱动打印机" + s.Get(store::keys::sysPrinterDriverName);
    if (way == "免驱USB") return "免驱USB";
    if (way == "并口") return s.Get(store::keys::sysPrinterParallerPortId);
    if (way == "网口") return "网口" + s.Get(store::keys::sysPrinterNetIp);
    return {};
}

std::string CodeModeFromSettings(const store::Settings& s) {
    const char* mode = "0";
    if (s.IsTrue(store::keys::sysIsPrintBarCodeOrderId)) mode = "1";
    if (s.IsTrue(store::keys::sysIsPrintQRBarCodeOrderId)) mode = "2";
    if (s.IsTrue(store::keys::sysIsPrQRCodeOrderId)) mode = "3";
    return mode;
}

PrintConfig PrintConfigFromSettings(const store::Settings& s, const std::string& default_log_dir,
                                    const std::string& invoice_url,
                                    const std::string& merchant_id) {
    PrintConfig c;
    const std::string& path = s.Get(store::keys::sysPrintBillPath);
    c.log_dir = AsDirectory(path.empty() || path == kNone ? default_log_dir : path);
    c.title = s.Get(store::keys::sysBillFirstMsg);
    c.port_way = s.Get(store::keys::sysPrinterPortWay);
    c.port = PortDescriptionFromSettings(s);
    c.copies = s.Get(store::keys::sysPinterPapeNum);
    c.blank_lines = s.Get(store::keys::sysPrinterLastLineNum);
    c.code_mode = CodeModeFromSettings(s);
    c.sayings[0] = s.Get(store::keys::sysOneShopSay);
    c.sayings[1] = s.Get(store::keys::sysTwoShopSay);
    c.invoice_url = invoice_url;
    c.merchant_id = merchant_id;
    return c;
}

PrintConfig PrintConfigFromApp(const context::AppConfig& config) {
    return PrintConfigFromSettings(config.settings, config.log_dir, config.invoice_url,
                                   config.merchant_id);
}

void ConfigurePrinting(const PrintConfig& c, common::CommandSink* notify,
                       std::unique_ptr<PrintLogWriter>& writer,
                       std::unique_ptr<CReadTxtSendPrint>& service,
                       const PrintingOptions& options) {
    service.reset();
    writer.reset();
    writer = std::make_unique<PrintLogWriter>(options.clock);
    writer->Start(c.log_dir);
    if (!c.Prints()) return;  // "无": receipts are logged, nothing prints
    service = std::make_unique<CReadTxtSendPrint>(options.printer, options.clock);
    service->SetSource(c.log_dir, c.title);
    service->SetQrPrefix(c.invoice_url, c.merchant_id);
    service->SetPrinter(c.port, c.copies, c.blank_lines, c.code_mode, c.sayings, notify);
    service->Start();
}

void ConfigurePrinting(const context::AppConfig& config, common::CommandSink* notify,
                       std::unique_ptr<PrintLogWriter>& writer,
                       std::unique_ptr<CReadTxtSendPrint>& service,
                       const PrintingOptions& options) {
    PrintingOptions with_map = options;
    if (with_map.printer.port_map_file.empty())
        with_map.printer.port_map_file = config.environment.port_map;
    ConfigurePrinting(PrintConfigFromApp(config), notify, writer, service, with_map);
}

}  // namespace tendrix::printing
