// The engine through our libPOSDLL.so to real peers: a loopback network printer, a socat pty
// pair as serial port, a private cupsd with a raw queue, and a USB printer found in a fake
// sysfs tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "common/serial_device.h"
#include "common/text_codec.h"
#include "printing/print_log.h"
#include "printing/print_setup.h"
#include "printing/receipt_printer.h"
#include "printing/usb_lookup.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/printing/escpos_decoder.h"
#include "tests/printing/printer_peers.h"
#include "tests/printing/receipt_text.h"
#include "tests/support/loopback.h"
#include "tests/support/socat_pair.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;
using namespace tendrix::store;

namespace tendrix::printing {
namespace {
namespace fs = std::filesystem;
using test::LoopbackPrinter;

std::string Block() {
    return PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("20261206100000000001"));
}

PrinterSetup MakeSetup(const std::string& port, const char* copies, const char* mode) {
    return {.port = port,
            .copies = copies,
            .blank_lines = "2",
            .code_mode = mode,
            .sayings = {"谢谢惠顾", "客户存根"},
            .title = "测试店"};
}

// What the engine produces for a setup, rendered in memory.
std::string Expected(const PrinterSetup& setup, const std::string& qr_prefix = "") {
    const ReceiptOptions o{.copies = DecimalByte(setup.copies),
                           .blank_lines = DecimalByte(setup.blank_lines),
                           .code_mode = DecimalByte(setup.code_mode),
                           .sayings = {Utf8ToGbk(setup.sayings[0]), Utf8ToGbk(setup.sayings[1])},
                           .title = Utf8ToGbk(setup.title)};
    MemoryPort port;
    PrintReceipt(port, Block(), qr_prefix, o);
    return port.bytes();
}

PrinterOptions Plugin() {
    PrinterOptions o;
    o.sdk_path = test::PluginPath();
    return o;
}

void PrintOnce(ReceiptPrinter& printer, const PrinterSetup& setup, const std::string& qr = "") {
    printer.Configure(setup);
    ASSERT_TRUE(printer.PortOpen()) << printer.OpenError();
    printer.Print(Block(), qr);
    printer.ClosePort();
}

// The port text the settings give, and the transport it selects (stored texts included).
TEST(PrintSetup, SettingsGiveThePortTextItsTransportAndTheCodeMode) {
    Settings s;
    s.Set(keys::sysPrinterComId, "COM3");
    s.Set(keys::sysPrinterComBaudRate, "19200");
    s.Set(keys::sysPrinterDriverName, "Receipt58");
    s.Set(keys::sysPrinterParallerPortId, "LPT1");
    s.Set(keys::sysPrinterNetIp, "192.168.1.100");
    const struct {
        const char* way;
        std::string text;
        Transport type;
        std::string name;
    } rows[] = {
        {"串口", "COM3BoardRate19200", Transport::kSerial, "COM3"},
        {"驱动打印机", "驱动打印机Receipt58", Transport::kDriver, "Receipt58"},
        {"免驱USB", "免驱USB", Transport::kUsb, ""},
        {"并口", "LPT1", Transport::kParallel, "LPT1"},
        {"网口", "网口192.168.1.100", Transport::kNetwork, "192.168.1.100"},
        {"其他", "", Transport::kNone, ""},
    };
    for (const auto& r : rows) {
        s.Set(keys::sysPrinterPortWay, r.way);
        EXPECT_EQ(PortDescriptionFromSettings(s), r.text) << r.way;
        const PortDescription p = ParsePortDescription(r.text);
        EXPECT_EQ(std::tie(p.type, p.name), std::tie(r.type, r.name)) << r.text;
    }
    EXPECT_EQ(ParsePortDescription("COM3BoardRate19200").baud, 19200);
    EXPECT_EQ(ParsePortDescription("COM12").baud, 9600);  // no rate given
    EXPECT_EQ(ParsePortDescription("驱动打印机小票").name, G("小票"));
    EXPECT_EQ(ParsePortDescription("免驱USB2").type, Transport::kNone);
    EXPECT_EQ(DecimalByte("3"), 3);
    EXPECT_EQ(DecimalByte("x"), 0);
    EXPECT_EQ(DecimalByte("-2"), 0);
    EXPECT_EQ(DecimalByte("999"), 255);

    EXPECT_EQ(CodeModeFromSettings(s), "0");
    s.Set(keys::sysIsPrintBarCodeOrderId, "TRUE");
    EXPECT_EQ(CodeModeFromSettings(s), "1");
    s.Set(keys::sysIsPrQRCodeOrderId, "TRUE");
    EXPECT_EQ(CodeModeFromSettings(s), "3");
    s.Set(keys::sysIsPrQRCodeOrderId, "FALSE");
    s.Set(keys::sysIsPrintQRBarCodeOrderId, "TRUE");
    EXPECT_EQ(CodeModeFromSettings(s), "2");
}

TEST(PosSdk, LoaderNeedsEveryEntry) {
    PosSdk sdk;
    ASSERT_TRUE(sdk.Load(test::PluginPath())) << sdk.Error();
    EXPECT_TRUE(sdk.Open && sdk.Close && sdk.StartDoc && sdk.EndDoc && sdk.WriteFile &&
                sdk.SetBarcode);
    PosSdk other;
    EXPECT_FALSE(other.Load("libqrencode.so.4"));
    EXPECT_NE(other.Error().find("POS_Open"), std::string::npos) << other.Error();

    PrinterOptions no_sdk;
    no_sdk.sdk_path = "/nonexistent/libPOSDLL.so";
    ReceiptPrinter printer(no_sdk);
    printer.Configure(MakeSetup("网口127.0.0.1", "1", "0"));
    EXPECT_FALSE(printer.PortOpen());
    EXPECT_FALSE(printer.OpenError().empty());
}

TEST(NetworkPrinter, ReceivesExactlyTheReceiptBytes) {
    LoopbackPrinter lp;
    ReceiptPrinter printer(Plugin());
    const std::string port = "网口" + lp.address();
    const PrinterSetup text = MakeSetup(port, "2", "0"), qr = MakeSetup(port, "1", "3"),
                       bar = MakeSetup(port, "2", "1");
    for (const PrinterSetup* s : {&text, &qr, &bar}) PrintOnce(printer, *s);
    const auto jobs = lp.Jobs(3);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(std::tie(jobs[0], jobs[1]), std::make_tuple(Expected(text), Expected(qr)));
    // Barcodes go through POS_S_SetBarcode: Code 128 at 40 dots, width 2, height 56, HRI font 0
    // and position 1; the rest is byte for byte the same.
    const test::EscPosPage page = test::DecodeEscPos(jobs[2]);
    EXPECT_TRUE(page.errors.empty());
    ASSERT_EQ(page.barcodes.size(), 2u);
    const auto& b = page.barcodes[0];
    EXPECT_EQ(b.type, 73);
    EXPECT_EQ(b.data, Code128Data("20261206100000000001"));
    EXPECT_EQ(std::tie(b.left, b.width, b.height, b.hri_font, b.hri_position),
              std::make_tuple(40, 2, 56, 0, 1));
    EXPECT_EQ(page.cuts, 2);
    EXPECT_EQ(test::DecodeEscPos(Expected(bar)).Texts(), page.Texts());
}

TEST(NetworkPrinter, RefusedSilentOrDroppingPrinterFailsAndTheNextReceiptPrints) {
    setenv("TENDRIX_PRINTER_CONNECT_MS", "300", 1);
    ReceiptPrinter printer(Plugin());
    printer.Configure(MakeSetup("网口127.0.0.1:" + std::to_string(test::ClosedPort()), "1", "0"));
    EXPECT_FALSE(printer.PortOpen());
    EXPECT_NE(printer.OpenError().find("refused"), std::string::npos) << printer.OpenError();

    // A printer whose accept queue is full never answers the connect.
    int silent_port = 0;
    const int silent = test::BindLoopback(silent_port);
    ::listen(silent, 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        test::ConnectLoopback(fillers.back(), silent_port);
    }
    printer.Configure(MakeSetup("网口127.0.0.1:" + std::to_string(silent_port), "1", "0"));
    EXPECT_FALSE(printer.PortOpen());
    EXPECT_NE(printer.OpenError().find("no answer"), std::string::npos) << printer.OpenError();
    for (int f : fillers) ::close(f);
    ::close(silent);

    // A printer that accepts, then resets the connection: the receipt ends with an error.
    int port = 0;
    const int server = test::BindLoopback(port, true);
    printer.Configure(MakeSetup("网口127.0.0.1:" + std::to_string(port), "3", "2"));
    ASSERT_TRUE(printer.PortOpen()) << printer.OpenError();
    const int peer = ::accept(server, nullptr, nullptr);
    linger l{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    ::close(peer);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    printer.Print(Block(), "https://x/?");
    EXPECT_FALSE(printer.WriteError().empty());
    printer.ClosePort();
    ::close(server);

    LoopbackPrinter lp;
    PrintOnce(printer, MakeSetup("网口" + lp.address(), "1", "0"));
    EXPECT_EQ(lp.Jobs(1).size(), 1u);
    unsetenv("TENDRIX_PRINTER_CONNECT_MS");
}

TEST(SerialPrinter, ReceiptArrivesThroughAPtyPair) {
    if (!test::SocatPair::Available()) GTEST_SKIP() << "socat is not installed";
    test::TempDir dir;
    test::SocatPair pty(dir.path(), "printer");
    ASSERT_TRUE(pty.Ready()) << "socat made no ptys";
    std::ofstream(dir / "ports.ini")
        << "COM7=" << pty.a() << "\nCOM8=" << dir.path() << "missing\n";
    setenv("TENDRIX_PORT_MAP", (dir / "ports.ini").c_str(), 1);

    SerialDevice reader;
    ASSERT_TRUE(reader.Open(pty.b(), 115200)) << reader.Error();
    const std::string qr = "https://inv.example/?merchantId=1&transCode=";
    const PrinterSetup setup = MakeSetup("COM7BoardRate115200", "1", "2");
    const std::string want = Expected(setup, qr);
    // Read while the printer writes: the pty holds only a few kilobytes.
    auto reading = std::async(std::launch::async, [&] {
        std::string bytes;
        char buf[4096];
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (bytes.size() < want.size() && std::chrono::steady_clock::now() < end) {
            const long n = reader.Read(buf, sizeof(buf), std::chrono::milliseconds(50));
            if (n > 0) bytes.append(buf, size_t(n));
        }
        return bytes;
    });
    ReceiptPrinter printer(Plugin());
    PrintOnce(printer, setup, qr);
    EXPECT_EQ(reading.get(), want);  // the QR as rendered: EscPos.QrStripesDecodeBackToTheContent

    printer.Configure(MakeSetup("COM8BoardRate9600", "1", "0"));  // mapped to a missing device
    EXPECT_FALSE(printer.PortOpen());
    unsetenv("TENDRIX_PORT_MAP");
}

// A cupsd of the test's own with a raw queue whose device is a loopback printer.
class PrivateCups {
  public:
    explicit PrivateCups(const std::string& device_uri) {
        if (!test::ProgramExists("/usr/sbin/cupsd") || !test::ProgramExists("/usr/sbin/lpadmin")) {
            problem_ = "cupsd or lpadmin is not installed";
            return;
        }
        if (geteuid() != 0) {
            problem_ = "cupsd needs root here";
            return;
        }
        const std::string d = dir_.path();
        for (const char* sub : {"spool", "tmp", "cache", "state"}) fs::create_directories(d + sub);
        chmod(d.c_str(), 0755);
        LoopbackPrinter port_probe;  // a free port for cupsd
        for (int attempt = 0; attempt < 5 && !ready_; ++attempt) {
            port_ = port_probe.port() + 1 + 7 * attempt;
            std::ofstream(d + "cupsd.conf")
                << "Listen 127.0.0.1:" << port_
                << "\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                   "DefaultAuthType None\n<Location />\nOrder allow,deny\nAllow all\n"
                   "</Location>\n<Policy default>\n<Limit All>\nOrder deny,allow\n"
                   "Allow all\n</Limit>\n</Policy>\n";
            std::ofstream(d + "cups-files.conf")
                << "ServerRoot " << d << "\nRequestRoot " << d << "spool\nTempDir " << d
                << "tmp\nCacheDir " << d << "cache\nStateDir " << d << "state\nAccessLog " << d
                << "access_log\nErrorLog " << d << "error_log\nPageLog " << d << "page_log\n";
            cupsd_ = std::make_unique<test::ChildProcess>(std::vector<std::string>{
                "/usr/sbin/cupsd", "-f", "-c", d + "cupsd.conf", "-s", d + "cups-files.conf"});
            const std::string server = "127.0.0.1:" + std::to_string(port_);
            ready_ = test::WaitUntil(
                [&] {
                    return cupsd_->Running() &&
                           test::RunCommand({"/usr/sbin/lpadmin", "-h", server, "-p", "TendrixRaw",
                                             "-v", device_uri, "-E"}) == 0;
                },
                std::chrono::seconds(5));
            if (!ready_) cupsd_.reset();
        }
        if (!ready_) problem_ = "cupsd did not start (see " + d + "error_log)";
    }
    bool ready() const { return ready_; }
    const std::string& problem() const { return problem_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    test::TempDir dir_;
    int port_ = 0;
    bool ready_ = false;
    std::string problem_;
    std::unique_ptr<test::ChildProcess> cupsd_;
};

TEST(DriverPrinter, RawCupsJobCarriesTheReceipt) {
    LoopbackPrinter lp;
    PrivateCups cups("socket://" + lp.address());
    if (!cups.ready()) GTEST_SKIP() << cups.problem();
    setenv("CUPS_SERVER", cups.server().c_str(), 1);

    ReceiptPrinter printer(Plugin());
    // Text mode: both copies in one job.
    const PrinterSetup text = MakeSetup("驱动打印机TendrixRaw", "2", "0");
    PrintOnce(printer, text);
    auto jobs = lp.Jobs(1, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], Expected(text));
    // Code modes: one document per copy.
    const PrinterSetup qr = MakeSetup("驱动打印机TendrixRaw", "2", "3");
    PrintOnce(printer, qr);
    jobs = lp.Jobs(3, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[1] + jobs[2], Expected(qr));
    EXPECT_EQ(test::DecodeEscPos(jobs[1]).cuts, 1);

    printer.Configure(MakeSetup("驱动打印机NoSuchQueue", "1", "0"));
    EXPECT_FALSE(printer.PortOpen());
    unsetenv("CUPS_SERVER");
}

// sysfs as the kernel lays it out for USB devices, reduced to what the lookup reads.
void FakeUsbDevice(const fs::path& root, const std::string& name, const std::string& vid,
                   const std::string& pid, const std::string& product,
                   const std::string& iface_class, const std::string& lp) {
    const fs::path dev = root / "devices/pci0000:00/usb1" / name;
    fs::create_directories(dev / (name + ":1.0"));
    std::ofstream(dev / "idVendor") << vid << "\n";
    std::ofstream(dev / "idProduct") << pid << "\n";
    std::ofstream(dev / "product") << product << "\n";
    std::ofstream(dev / (name + ":1.0") / "bInterfaceClass") << iface_class << "\n";
    fs::create_directories(root / "bus/usb/devices");
    fs::create_directory_symlink(dev, root / "bus/usb/devices" / name);
    if (!lp.empty()) {
        const fs::path node = dev / (name + ":1.0") / "usbmisc" / lp;
        fs::create_directories(node);
        fs::create_directories(root / "class/usbmisc");
        fs::create_directory_symlink(node, root / "class/usbmisc" / lp);
    }
}

// The plugin with its sysfs and /dev under `dir`.
PrinterOptions UsbOptions(const fs::path& dir, int write_timeout_ms = 0) {
    PrinterOptions o = Plugin();
    o.sysfs_root = (dir / "sys").string();
    o.dev_root = dir / "dev";
    if (write_timeout_ms) o.usb_write_timeout_ms = write_timeout_ms;
    return o;
}

TEST(UsbPrinter, LookupWalksSysfsAndTheDeviceGetsTheBytes) {
    test::TempDir dir;
    const fs::path sys = dir / "sys";
    FakeUsbDevice(sys, "1-1", "046d", "c077", "USB Optical Mouse", "03", "");
    FakeUsbDevice(sys, "1-3", "1234", "0001", "Printing Support Box", "00",
                  "lp0");  // match at position 0 only
    FakeUsbDevice(sys, "1-4", "0483", "5720", "POS58", "07", "lp1");
    UsbPrinter found = FindUsbPrinter(sys.string(), dir / "dev");
    EXPECT_EQ(found.vid, "VID_0483");
    EXPECT_EQ(found.pid, "PID_5720");
    EXPECT_EQ(found.device_path, (dir / "dev") + "/usb/lp1");

    FakeUsbDevice(sys, "1-2", "28e9", "0289", "热敏打印支持", "00", "lp2");  // named by its product
    EXPECT_EQ(FindUsbPrinter(sys.string(), dir / "dev").vid, "VID_28E9");
    EXPECT_TRUE(FindUsbPrinter(dir / "nothing", "/dev").device_path.empty());

    // The device file receives the receipt as rendered (barcodes as raw GS k).
    fs::create_directories(dir / "dev/usb");
    std::ofstream(dir / "dev/usb/lp2").close();
    ReceiptPrinter printer(UsbOptions(dir.path()));
    const PrinterSetup setup = MakeSetup("免驱USB", "2", "1");
    PrintOnce(printer, setup);
    EXPECT_EQ(ReadFile(dir / "dev/usb/lp2"), Expected(setup));

    fs::remove(dir / "dev/usb/lp2");
    printer.Configure(setup);  // unplugged: the lookup finds it, the device file is gone
    EXPECT_FALSE(printer.PortOpen());
}

TEST(CliPrint, PrintsAUtf8FileThroughTheEngine) {
    const std::string cli = std::string(std::getenv("TENDRIX_BIN_DIR")) + "/tendrix-cli";
    if (!test::ProgramExists(cli)) GTEST_SKIP() << "tendrix-cli is not built";
    test::TempDir dir;
    std::ofstream(dir / "receipt.txt") << "测试店\n订单号：20261206100000000001\n-------------\n";
    LoopbackPrinter lp;
    EXPECT_EQ(test::RunCommand({cli, "print", dir / "receipt.txt", "--port", "网口" + lp.address(),
                                "--copies", "2", "--code-mode", "2", "--say1", "谢谢",
                                "--invoice-url", "https://inv.example/?", "--merchant", "M1"}),
              0);
    const auto jobs = lp.Jobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    const test::EscPosPage page = test::DecodeEscPos(jobs[0]);
    EXPECT_TRUE(page.errors.empty());
    EXPECT_EQ(page.Texts()[0], G("测试店"));
    EXPECT_EQ(page.cuts, 2);
    ASSERT_EQ(page.images.size(), 2u);
    EXPECT_EQ(test::DecodeQr(page.images[1]),
              "https://inv.example/?merchantId=M1&transCode=20261206100000000001");

    EXPECT_EQ(test::RunCommand({cli, "print", dir / "receipt.txt", "--port", "网口127.0.0.1:1"}),
              1);
    EXPECT_EQ(test::RunCommand({cli, "print", dir / "receipt.txt", "--code-mode", "7"}), 2);
    EXPECT_EQ(test::RunCommand({cli, "print", dir / "missing.txt"}), 2);
}

TEST(UsbPrinter, StalledPrinterCostsOneTimeOutPerReceiptAndNeverHoldsUpSettings) {
    // A USB printer that stops taking data: its device node is a pipe with a one-page buffer
    // that nobody reads (held open, so it keeps its bytes).
    test::TempDir dir;
    FakeUsbDevice(dir / "sys", "1-4", "0483", "5720", "POS58", "07", "lp1");
    fs::create_directories(dir / "dev/usb");
    ::mkfifo((dir / "dev/usb/lp1").c_str(), 0600);
    const int held = ::open((dir / "dev/usb/lp1").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ::fcntl(held, F_SETPIPE_SZ, 4096);
    ReceiptPrinter printer(UsbOptions(dir.path(), 300));
    printer.Configure(MakeSetup("免驱USB", "3", "3"));  // three copies with QR pictures
    ASSERT_TRUE(printer.PortOpen()) << printer.OpenError();
    auto start = std::chrono::steady_clock::now();
    printer.Print(Block(), "");
    const auto took = std::chrono::steady_clock::now() - start;
    printer.ClosePort();
    EXPECT_FALSE(printer.WriteError().empty());
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::milliseconds(900));  // one time-out, not one per write

    // Saving the settings replaces the service while it waits on the stalled printer.
    PrintConfig c;
    c.log_dir = dir.path() + "log/";
    c.port_way = "免驱USB";
    c.port = "免驱USB";
    c.code_mode = "3";
    c.copies = "3";
    c.blank_lines = "1";
    PrintingOptions o;
    o.printer = UsbOptions(dir.path(), 5000);
    std::unique_ptr<PrintLogWriter> writer;
    std::unique_ptr<CReadTxtSendPrint> service;
    ConfigurePrinting(c, nullptr, writer, service, o);
    ASSERT_TRUE(service);
    ASSERT_TRUE(test::WaitUntil([&] { return service->following(); }));
    writer->Post(Receipt("20261206100000000002"));
    ASSERT_TRUE(test::WaitUntil([&] { return writer->written() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the service is in the receipt
    ASSERT_EQ(service->printed() + service->failed(), 0u);
    start = std::chrono::steady_clock::now();
    c.port_way = "无";
    ConfigurePrinting(c, nullptr, writer, service, o);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(service);
    ::close(held);
}

}  // namespace
}  // namespace tendrix::printing
