// tendrix-cli doctor: one line per check of this till, "✓" or "✗" and, for a failure, how to
// fix it. The exit status is the number of failed checks. Checks that do not apply (nothing
// configured) print "-" and do not count.
#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "accounts/credential_cipher.h"
#include "common/diag_log.h"
#include "common/port_map.h"
#include "common/serial_device.h"
#include "context/app_config.h"
#include "desktop/atspi_window_text.h"
#include "platform_api/answer_parsers.h"
#include "platform_api/platform_client.h"
#include "plugins/KeyMask/scanner_reader.h"
#include "printing/print_setup.h"
#include "printing/receipt_printer.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tools/cli_doctor_x11.h"
#include "tools/cli_registry.h"

namespace tendrix::tools {
namespace {

constexpr const char* kUsage =
    "  doctor [--port NAME]... [--scanner DEVICE] [--printer DESC] [--api-base URL]\n"
    "         [--merchant ID --client ID --secret KEY | --user USER --password PASS]\n"
    "      checks display, tray, OCR data, serial ports, scanner, printer, platform and the\n"
    "      data/log folders; exit status = number of failed checks";

constexpr const char* kDialoutFix =
    "add the cashier to the dialout group (sudo usermod -aG dialout USER) and log in again";

struct Options {
    std::vector<std::string> ports;  // replaces the configured serial ports when given
    std::string scanner, printer, api_base, merchant, client, secret, user, password;
    std::string error;
};

Options Parse(const std::vector<std::string>& args) {
    Options o;
    bool seen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!seen) {
            seen = a == "doctor";
            if (a.rfind("--", 0) != 0 || i + 1 >= args.size()) continue;
        } else if (a.rfind("--", 0) != 0) {
            o.error = "unexpected argument " + a;
            return o;
        }
        if (i + 1 >= args.size()) {
            o.error = a + " needs a value";
            return o;
        }
        const std::string& v = args[++i];
        if (a == "--port")
            o.ports.push_back(v);
        else if (a == "--scanner")
            o.scanner = v;
        else if (a == "--printer")
            o.printer = v;
        else if (a == "--api-base")
            o.api_base = v;
        else if (a == "--merchant")
            o.merchant = v;
        else if (a == "--client")
            o.client = v;
        else if (a == "--secret")
            o.secret = v;
        else if (a == "--user")
            o.user = v;
        else if (a == "--password")
            o.password = v;
        else {
            o.error = "unknown option " + a;
            return o;
        }
    }
    return o;
}

class Doctor {
  public:
    void Pass(const std::string& what) { std::printf("✓ %s\n", what.c_str()); }
    void Skip(const std::string& what) { std::printf("- %s\n", what.c_str()); }
    void Fail(const std::string& what, const std::string& fix) {
        std::printf("✗ %s\n    fix: %s\n", what.c_str(), fix.c_str());
        ++failures_;
    }
    int failures() const { return failures_; }

  private:
    int failures_ = 0;
};

std::string Errno(int e) {
    return std::strerror(e);
}

// Display and system tray: both need the X server the program would use.
void CheckDisplayAndTray(Doctor& d) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        d.Fail("display: DISPLAY is not set",
               "run from the cashier's desktop session, or set DISPLAY (e.g. DISPLAY=:0)");
        d.Fail("system tray: not checked without a display", "see the display line");
        return;
    }
    const DisplayProbe probe = ProbeDisplay(name);
    if (!probe.opened) {
        d.Fail(std::string("display: cannot open ") + name,
               "start the X session, or allow this user on it (xhost +SI:localuser:USER)");
        d.Fail("system tray: not checked without a display", "see the display line");
        return;
    }
    d.Pass(std::string("display: ") + name);
    if (probe.tray) {
        d.Pass("system tray: a notification area is running");
    } else {
        d.Fail("system tray: no notification area on " + std::string(name),
               "start a panel with a notification area (the desktop's panel, tint2 or trayer); "
               "without it the tray menu (settings, quit) cannot be reached");
    }
}

// The accessibility bus: needed only when the amount is read from a window's text.
void CheckAccessibilityBus(Doctor& d, const store::Settings& s) {
    std::string detail;
    const bool running = desktop::AccessibilityBusRunning(&detail);
    const std::string point = s.Get(store::keys::sysGetMoneyFromHwnd);
    const bool needed = !point.empty() && point != store::keys::kNone;
    if (running) {
        d.Pass("accessibility bus: " + detail);
    } else if (needed) {
        d.Fail("accessibility bus: " + detail,
               "install at-spi2-core and run tendrix in the desktop session (window text "
               "capture, sysGetMoneyFromHwnd, reads controls through it)");
    } else {
        d.Skip("accessibility bus: " + detail + " (window text capture is off)");
    }
}

// eng.traineddata where the recognition plugin looks for it.
void CheckTesseract(Doctor& d, const std::string& program_dir) {
    namespace fs = std::filesystem;
    std::vector<std::string> places = {program_dir + "tessdata/"};
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
        places.push_back(std::string(prefix) + "/");
        places.push_back(std::string(prefix) + "/tessdata/");
    } else {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/usr/share/tesseract-ocr", ec))
            places.push_back(e.path().string() + "/tessdata/");
    }
    for (const std::string& p : places) {
        std::error_code ec;
        if (fs::is_regular_file(p + "eng.traineddata", ec)) {
            d.Pass("OCR data: " + p + "eng.traineddata");
            return;
        }
    }
    d.Fail("OCR data: eng.traineddata not found",
           "sudo apt install tesseract-ocr-eng (or point TESSDATA_PREFIX at the folder)");
}

// The serial ports the settings open: customer display (listen and forward), face-pay device,
// serial scanner.
std::vector<std::string> ConfiguredSerialPorts(const store::Settings& s) {
    std::vector<std::string> ports;
    auto add = [&](std::string name) {
        if (!name.empty() && name != store::keys::kNone) ports.push_back(std::move(name));
    };
    if (s.Get(store::keys::sysCaptureComMoney) == store::keys::kTrue) {
        const std::string recv = s.Get(store::keys::sysVirtualComdRecvId);  // "COMn->COMm"
        add(recv.substr(0, recv.find("->")));
        add(s.Get(store::keys::sysComMachineSendID));
    }
    if (s.Get(store::keys::sysIsDragonflyControl) == store::keys::kTrue)
        add(s.Get(store::keys::sysDragonflyControlComId));
    if (s.Get(store::keys::sysIsBarcodeCapture) == store::keys::kTrue &&
        s.Get(store::keys::sysCaptureWay) == "USB串口")
        add(s.Get(store::keys::sysCaptureComId));
    return ports;
}

void CheckSerialPorts(Doctor& d, const std::vector<std::string>& ports, const common::PortMap& map,
                      const std::string& data_dir) {
    if (ports.empty()) {
        d.Skip("serial ports: none configured");
        return;
    }
    for (const std::string& name : ports) {
        const std::string path = map.Resolve(name);
        const std::string label =
            "serial port " + name + (path == name ? std::string() : " (" + path + ")");
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
            d.Pass(label + ": opens");
        } else if (errno == EACCES || errno == EPERM) {
            d.Fail(label + ": " + Errno(errno), kDialoutFix);
        } else if (errno == EBUSY) {
            d.Fail(label + ": in use", "close the program that holds it (fuser " + path + ")");
        } else {
            d.Fail(label + ": " + Errno(errno), "plug the device in, or map the name to it in " +
                                                    data_dir + "ports.ini (e.g. " + name +
                                                    "=/dev/ttyUSB0)");
        }
    }
}

void CheckScanner(Doctor& d, const store::Settings& s, std::string device) {
    const bool keyboard_capture = s.Get(store::keys::sysIsBarcodeCapture) == store::keys::kTrue &&
                                  s.Get(store::keys::sysCaptureWay) != "USB串口";
    if (device.empty()) device = s.Get(store::keys::sysScannerInputDevice);
    if (device.empty() && !keyboard_capture) {
        d.Skip("scanner input device: keyboard capture is off");
        return;
    }
    if (device.empty()) device = plugins::keymask::FindScannerDevice();
    if (device.empty()) {
        d.Fail("scanner input device: none whose name says scanner or barcode",
               "plug the scanner in, or set sysScannerInputDevice to its /dev/input/by-id/... "
               "path");
        return;
    }
    const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        d.Pass("scanner input device " + device + ": readable");
    } else if (errno == EACCES || errno == EPERM) {
        d.Fail("scanner input device " + device + ": " + Errno(errno),
               "add the scanner's vendor:product to /usr/lib/udev/rules.d/70-tendrix.rules "
               "(see the comment there), then replug it");
    } else {
        d.Fail("scanner input device " + device + ": " + Errno(errno),
               "plug the scanner in, or correct sysScannerInputDevice");
    }
}

void CheckPrinter(Doctor& d, const context::AppConfig& config, const std::string& given) {
    printing::PrintConfig pc = printing::PrintConfigFromApp(config);
    if (!given.empty()) pc.port = given;
    if (pc.port.empty()) {
        if (pc.Prints())
            d.Fail("printer: unknown port way \"" + pc.port_way + "\"",
                   "choose the printer's port in the settings window (printer page)");
        else
            d.Skip("printer: none configured");
        return;
    }
    static const std::string kDriver = "驱动打印机";
    if (pc.port.rfind(kDriver, 0) == 0) {
        // Only look the queue up: opening it would start a print job.
        const std::string queue = pc.port.substr(kDriver.size());
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
        if (dest) {
            cupsFreeDests(1, dest);
            d.Pass("printer: CUPS queue " + queue + " exists");
        } else {
            d.Fail("printer: CUPS queue \"" + queue + "\": " + cupsLastErrorString(),
                   "create it: sudo lpadmin -p " + (queue.empty() ? "NAME" : queue) +
                       " -v socket://PRINTER:9100 -E (or a usb:// URI from lpinfo -v)");
        }
        return;
    }
    printing::ReceiptPrinter printer;
    printer.Configure(pc.Setup());
    if (printer.PortOpen()) {
        printer.ClosePort();
        d.Pass("printer " + pc.port + ": port opens");
        return;
    }
    std::string fix;
    if (pc.port.rfind("网口", 0) == 0)
        fix = "check the printer's address and that it is on and reachable (TCP port 9100)";
    else if (pc.port.rfind("COM", 0) == 0)
        fix = std::string("plug the printer in, map the port in ") + config.data_dir +
              "ports.ini, and " + kDialoutFix;
    else
        fix =
            "plug the printer in; the package's udev rule gives the desktop user access to "
            "USB printers (replug after installing), or add the user to the lp group";
    d.Fail("printer " + pc.port + ": " + printer.OpenError(), fix);
}

// A signed call with the given merchant, a login's merchant, or the stored one.
void CheckPlatform(Doctor& d, const context::AppConfig& config, const Options& o) {
    std::string base = o.api_base.empty() ? config.api_base : o.api_base;
    if (base.empty()) {
        d.Fail("platform: no address", "set api_base in " + config.company_info_path);
        return;
    }
    platform_api::PlatformClient client("", "", "", "", base);
    if (store::ReadLoginKey(config.data_dir, store::keys::isUseAgent) == store::keys::kHttpProxy) {
        client = platform_api::PlatformClient(
            store::ReadLoginKey(config.data_dir, store::keys::agentIp),
            store::ReadLoginKey(config.data_dir, store::keys::agentPort),
            store::ReadLoginKey(config.data_dir, store::keys::agentAccout),
            store::ReadLoginKey(config.data_dir, store::keys::agentPassword), base);
    }
    client.set_timeout(std::chrono::seconds(10));
    std::string merchant = o.merchant, client_id = o.client, secret = o.secret, how = "given";
    if (merchant.empty() && !o.user.empty()) {
        const platform_api::PlatformResult<platform_api::TextList> login =
            platform_api::ParseLoginAnswer(client.Login(o.user, o.password));
        if (login.error == platform_api::PlatformError::kNetwork) {
            d.Fail("platform " + base + ": no answer",
                   "check the network, the proxy and api_base in " + config.company_info_path);
            return;
        }
        const platform_api::TextList& list = login.value;
        if (list.size() < 3) {
            d.Fail("platform " + base + ": login of " + o.user + " refused: " + login.message,
                   "check the cashier's name and password");
            return;
        }
        merchant = list[0], secret = list[1], client_id = list[2], how = "login of " + o.user;
    }
    if (merchant.empty()) {
        merchant = store::ReadLoginKey(config.data_dir, store::keys::merchantId);
        const std::string stored = store::ReadLoginKey(config.data_dir, store::keys::merchantAPI);
        secret = stored.empty() ? std::string() : accounts::DecryptCredential(stored);
        how = "stored";
    }
    if (merchant.empty() || secret.empty()) {
        d.Fail("platform " + base + ": no merchant to sign with",
               "give --user USER --password PASS (or --merchant ID --client ID --secret KEY)");
        return;
    }
    const platform_api::PlatformAnswer reply =
        client.QueryMerchantInfo(merchant, client_id, secret);
    if (reply.error == platform_api::PlatformError::kNetwork) {
        d.Fail("platform " + base + ": no answer",
               "check the network, the proxy and api_base in " + config.company_info_path);
        return;
    }
    const std::string& received = reply.value;
    const platform_api::PlatformResult<platform_api::TextList> info =
        platform_api::ParseMerchantInfoAnswer(reply);
    if (info.ok() && !info.value.empty()) {
        d.Pass("platform " + base + ": answers a signed call (merchant " + merchant + " \"" +
               info.value[0] + "\", " + how + ")");
        return;
    }
    const std::string& answer = info.message;
    // A refusal: the signature or merchant is wrong, or (signature accepted) something else,
    // such as an unknown client id, which still proves the key.
    if (received.empty() || received[0] != '{' || answer.empty()) {
        d.Fail("platform " + base + ": answer not understood: " + received.substr(0, 80),
               "check api_base in " + config.company_info_path + " (is it the platform?)");
    } else if (answer.find("签名") != std::string::npos ||
               answer.find("商户") != std::string::npos) {
        d.Fail("platform " + base + ": merchant " + merchant + " (" + how + ") refused: " + answer,
               "check the merchant id and key (login window, network settings)");
    } else {
        d.Pass("platform " + base + ": answers a signed call (merchant " + merchant + ", " + how +
               "; " + answer + ")");
    }
}

void CheckWritable(Doctor& d, const std::string& what, const std::string& dir) {
    if (!context::MakePrivateDirs(dir)) {
        d.Fail(what + " folder " + dir + ": cannot be created or written",
               "give the cashier's account write access to it (chown), or remove it so the "
               "user's own folder is used");
        return;
    }
    const std::string probe = dir + ".doctor-probe";
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        d.Fail(what + " folder " + dir + ": " + Errno(errno),
               "give the cashier's account write access to it (chown)");
        return;
    }
    close(fd);
    unlink(probe.c_str());
    d.Pass(what + " folder " + dir + ": writable");
}

int RunDoctor(const std::vector<std::string>& args) {
    const Options o = Parse(args);
    if (!o.error.empty()) {
        std::fprintf(stderr, "tendrix-cli doctor: %s\n%s\n", o.error.c_str(), kUsage);
        return 1;
    }
    context::AppConfig config = InstallationConfig();
    config.LoadCompanyInfo();
    Doctor d;
    // Writable folders first: loading the settings creates the database.
    CheckWritable(d, "data", config.data_dir);
    CheckWritable(d, "log", config.log_dir);
    if (common::diag::Directory().empty()) common::diag::SetDirectory(config.log_dir);
    config.LoadSettings();

    CheckDisplayAndTray(d);
    CheckAccessibilityBus(d, config.settings);
    CheckTesseract(d, config.program_dir);
    CheckSerialPorts(d, o.ports.empty() ? ConfiguredSerialPorts(config.settings) : o.ports,
                     common::PortMap(config.PortMapFile()), config.data_dir);
    CheckScanner(d, config.settings, o.scanner);
    CheckPrinter(d, config, o.printer);
    CheckPlatform(d, config, o);
    std::printf(d.failures() == 0 ? "all checks passed\n" : "%d check(s) failed\n", d.failures());
    return d.failures();
}

const CliRegistrar kDoctor("doctor", kUsage, RunDoctor);

}  // namespace
}  // namespace tendrix::tools
