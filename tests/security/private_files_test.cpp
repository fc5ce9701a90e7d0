// Data and logs are private whatever the umask: the real program's first start, a start over
// files left wide by an earlier run, and the print log. Printer port texts name printers only.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "printing/port_check.h"
#include "printing/print_log_writer.h"
#include "printing/receipt_printer.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

int ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// How often `line` occurs in the files of log_dir.
int CountInLogs(const std::string& log_dir, const std::string& line) {
    int count = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(log_dir, ec)) {
        std::ifstream in(e.path());
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++count;
    }
    return count;
}

// Runs the real program (offscreen) from `exe` under umask 022 until the diagnostic log in
// log_dir holds `line` once more, then stops it. False when the line never came.
bool StartUntilLogged(const std::string& exe, const std::string& runtime,
                      const std::string& log_dir, const std::string& line) {
    const int before = CountInLogs(log_dir, line);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::umask(022);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::unsetenv("TENDRIX_API_BASE");
        ::execl(exe.c_str(), exe.c_str(), nullptr);
        ::_exit(127);
    }
    bool logged = false;
    for (int i = 0; i < 600 && !logged; ++i) {
        std::this_thread::sleep_for(50ms);
        logged = CountInLogs(log_dir, line) > before;
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return logged;
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return logged;
}

TEST(PrivateFiles, FirstStartUnderUmask022ThenWideFilesNarrowedOnTheNextStart) {
    tendrix::test::TempDir root;
    const std::string runtime = root / "run", bin = root / "shop/bin/";
    const std::string data = root / "shop/data", log = root / "shop/log";
    fs::create_directories(bin + "UIskin");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    fs::copy_file(TENDRIX_EXE, bin + "tendrix");
    // A plain-http platform on another host: warned about in the log at every start.
    std::ofstream(bin + "UIskin/compmessage.txt")
        << "[config]\nsoft_name=PrivateFilesTest\napi_base=http://192.0.2.10:8600\n";
    const std::string warning = "[security] 平台地址 http://192.0.2.10:8600 未加密";

    ASSERT_TRUE(StartUntilLogged(bin + "tendrix", runtime, log, warning));
    EXPECT_EQ(ModeOf(data), 0700);
    EXPECT_EQ(ModeOf(log), 0700);
    ASSERT_TRUE(fs::exists(data + "/dataset.db"));
    EXPECT_EQ(ModeOf(data + "/dataset.db"), 0600);
    int logs = 0;
    for (const auto& e : fs::directory_iterator(log)) {
        ++logs;
        EXPECT_EQ(ModeOf(e.path()), 0600) << e.path();
    }
    EXPECT_GT(logs, 0);

    // Files of an earlier version, made under a wide umask, and a link that must not be
    // followed out of the folder.
    std::ofstream(root / "outside.txt") << "x";
    fs::permissions(root / "outside.txt", fs::perms(0644));
    fs::create_symlink(root / "outside.txt", log + "/link.txt");
    std::ofstream(data + "/cashierdata.db") << "";
    std::ofstream(log + "/printlog2026-01-01.txt") << "receipt";
    fs::create_directories(data + "/old");
    for (const std::string& p : {data, log, data + "/old"}) fs::permissions(p, fs::perms(0755));
    for (const std::string& p :
         {data + "/cashierdata.db", data + "/dataset.db", log + "/printlog2026-01-01.txt"}) {
        fs::permissions(p, fs::perms(0644));
    }
    ASSERT_TRUE(StartUntilLogged(bin + "tendrix", runtime, log, warning));
    for (const std::string& p : {data, log, data + "/old"}) EXPECT_EQ(ModeOf(p), 0700) << p;
    for (const std::string& p :
         {data + "/cashierdata.db", data + "/dataset.db", log + "/printlog2026-01-01.txt"}) {
        EXPECT_EQ(ModeOf(p), 0600) << p;
    }
    EXPECT_EQ(ModeOf(root / "outside.txt"), 0644);
}

TEST(PrivateFiles, PrintLogIsOwnerOnlyUnderUmask022) {
    tendrix::test::TempDir dir;
    const mode_t saved = ::umask(022);
    {
        tendrix::printing::PrintLogWriter writer;
        writer.Start(dir.path());
        writer.Post("receipt\r\n");
    }
    ::umask(saved);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        ++files;
        EXPECT_EQ(ModeOf(e.path()), 0600) << e.path();
    }
    EXPECT_EQ(files, 1);
}

TEST(PrinterPort, TextsNamingFilesOddQueuesOrAddressesAreRefused) {
    using tendrix::printing::PrinterPortProblem;
    tendrix::test::TempDir dir;
    const std::string victim = dir / "victim.txt";
    std::ofstream(dir / "ports.ini")
        << "COM3=" << victim << "\nCOM4=/dev/null\nLPT2=" << dir.path() << "../../dev/null\n";
    const tendrix::common::PortMap map(dir / "ports.ini");
    for (const char* good : {"COM4BoardRate9600", "COM1BoardRate9600", "LPT1", "LPT2", "免驱USB",
                             "驱动打印机POS-58", "网口192.168.1.100", "网口127.0.0.1:9100"}) {
        EXPECT_EQ(PrinterPortProblem(good, map), "") << good;
    }
    for (const char* bad : {"COM3BoardRate9600", "LPT/home/user/.profile", "LPT../../tmp/x",
                            "驱动打印机a/b", "驱动打印机two words", "网口printer.local",
                            "网口1.2.3.4.5", "网口300.1.1.1", "网口1.2.3.4:70000"}) {
        EXPECT_NE(PrinterPortProblem(bad, map), "") << bad;
    }
    // Through the printer engine: refused with the message, nothing written to the file.
    tendrix::printing::PrinterOptions options;
    options.port_map_file = dir / "ports.ini";  // the map the printer library reads too
    tendrix::printing::ReceiptPrinter printer(options);
    tendrix::printing::PrinterSetup setup;
    setup.port = "COM3BoardRate9600";
    ::setenv("TENDRIX_PORT_MAP", (dir / "ports.ini").c_str(), 1);
    printer.Configure(setup);
    ::unsetenv("TENDRIX_PORT_MAP");
    EXPECT_FALSE(printer.PortOpen());
    EXPECT_NE(printer.OpenError().find(victim), std::string::npos) << printer.OpenError();
    EXPECT_FALSE(fs::exists(victim));
}

}  // namespace
