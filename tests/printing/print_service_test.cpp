// The print log writer and the print service together: receipts posted to the writer reach a
// loopback network printer through the day's print log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/text_codec.h"
#include "printing/print_setup.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/printing/escpos_decoder.h"
#include "tests/printing/printer_peers.h"
#include "tests/printing/receipt_text.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::common;
using namespace tendrix::store;

namespace tendrix::printing {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PrintServiceTest : public ::testing::Test {
  protected:
    PrintConfig Config(const std::string& port) {
        return {.log_dir = dir.path() + "log/",
                .title = "测试店",
                .port_way = "网口",
                .port = port,
                .copies = "1",
                .blank_lines = "1",
                .code_mode = "0",
                .sayings = {"谢谢", "存根"},
                .invoice_url = "",
                .merchant_id = ""};
    }
    void Configure(const PrintConfig& c) {
        PrintingOptions o;
        o.printer.sdk_path = test::PluginPath();
        o.clock = [this] {
            std::lock_guard<std::mutex> g(clock_mutex);
            return now;
        };
        ConfigurePrinting(c, &sink, writer, service, o);
        if (service) {
            ASSERT_TRUE(test::WaitUntil([&] { return service->following(); }));
        }
    }
    // Decoded printed lines of a job.
    static std::vector<std::string> Lines(const std::string& job) {
        const auto page = test::DecodeEscPos(job);
        EXPECT_TRUE(page.errors.empty());
        return page.Texts();
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    // Moves the service's clock (read on its thread).
    void SetNow(std::tm t) {
        std::lock_guard<std::mutex> g(clock_mutex);
        now = t;
    }

    test::TempDir dir;
    std::mutex clock_mutex;
    std::tm now = At(2026, 12, 6, 10, 0, 0);
    test::RecordingSink sink;
    test::LoopbackPrinter lp;
    std::unique_ptr<PrintLogWriter> writer;
    std::unique_ptr<CReadTxtSendPrint> service;  // declared last: stopped first
};

TEST_F(PrintServiceTest, ReceiptsPostedInQuickSuccessionPrintSeparately) {
    Configure(Config("网口" + lp.address()));
    std::string buffer = Receipt("1001");
    writer->Post(buffer);
    buffer.assign(Receipt("1002"));  // the caller may reuse its buffer at once
    writer->Post(buffer);
    const auto jobs = lp.Jobs(2);
    ASSERT_EQ(jobs.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const auto lines = Lines(jobs[i]);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "2026-12-06 10:00:00");  // each receipt with its own stamp
        EXPECT_TRUE(Has(lines, G(i == 0 ? "订单号：1001" : "订单号：1002")));
        EXPECT_FALSE(Has(lines, G(i == 0 ? "订单号：1002" : "订单号：1001")));
    }
    // The log keeps the record in its text-mode form.
    EXPECT_EQ(ReadFile(dir.path() + "log/printlog2026-12-06.txt"),
              PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("1001")) +
                  PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("1002")));
    EXPECT_EQ(PrintLogRecord(At(2026, 1, 2, 3, 4, 5), "A\r\nB"),
              "2026-01-02 03:04:05\r\r\n\r\r\n\r\r\nA\r\r\nB\r\n");
}

TEST_F(PrintServiceTest, StartsAtTheEndOfTheLogAndHoldsAnUnfinishedBlock) {
    fs::create_directories(dir.path() + "log");
    std::ofstream(dir.path() + "log/printlog2026-12-06.txt", std::ios::binary)
        << PrintLogRecord(At(2026, 12, 6, 9, 0, 0), Receipt("0900"));
    Configure(Config("网口" + lp.address()));
    writer->Post(G("第一部分\r\n"));  // no separator yet
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(lp.JobCount(), 0u);
    writer->Post(Receipt("1003"));
    const auto jobs = lp.Jobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    const auto lines = Lines(jobs[0]);
    EXPECT_FALSE(Has(lines, G("订单号：0900")));  // already in the log before the start
    EXPECT_TRUE(Has(lines, G("第一部分")));
    EXPECT_TRUE(Has(lines, G("订单号：1003")));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(lp.JobCount(), 1u);
}

TEST_F(PrintServiceTest, ReceiptJustAfterMidnightGoesToTheNewFileAndPrints) {
    SetNow(At(2026, 12, 6, 23, 59, 58));
    Configure(Config("网口" + lp.address()));
    writer->Post(Receipt("2359"));
    ASSERT_EQ(lp.Jobs(1).size(), 1u);
    SetNow(At(2026, 12, 7, 0, 0, 1));
    writer->Post(Receipt("0000"));
    const auto jobs = lp.Jobs(2);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_TRUE(Has(Lines(jobs[1]), G("订单号：0000")));
    EXPECT_EQ(Lines(jobs[1])[0], "2026-12-07 00:00:01");
    const std::string old_day = ReadFile(dir.path() + "log/printlog2026-12-06.txt");
    const std::string new_day = ReadFile(dir.path() + "log/printlog2026-12-07.txt");
    EXPECT_NE(old_day.find(G("订单号：2359")), std::string::npos);
    EXPECT_EQ(old_day.find(G("订单号：0000")), std::string::npos);
    EXPECT_EQ(new_day, PrintLogRecord(At(2026, 12, 7, 0, 0, 1), Receipt("0000")));

    // The next day's receipts keep printing from the new file.
    writer->Post(Receipt("0001"));
    EXPECT_EQ(lp.Jobs(3).size(), 3u);
}

TEST_F(PrintServiceTest, PortWayNoneStillLogsIntoTheConfiguredDirectory) {
    Settings s;
    s.Set(keys::sysPrintBillPath, dir.path() + "bills");
    s.Set(keys::sysPrinterPortWay, "无");
    const PrintConfig c = PrintConfigFromSettings(s, dir.path() + "default/", "", "");
    EXPECT_EQ(c.log_dir, dir.path() + "bills/");  // a directory without '/' is that directory
    Configure(c);
    EXPECT_EQ(service, nullptr);
    writer->Post(Receipt("1100"));
    const std::string file = dir.path() + "bills/printlog2026-12-06.txt";
    ASSERT_TRUE(test::WaitUntil([&] { return writer->written() == 1; }));
    EXPECT_EQ(ReadFile(file), PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("1100")));

    s.Set(keys::sysPrintBillPath, "无");
    EXPECT_EQ(PrintConfigFromSettings(s, dir.path() + "default/", "", "").log_dir,
              dir.path() + "default/");

    // A writer that is replaced first writes everything posted to it.
    for (int i = 0; i < 50; ++i) writer->Post(Receipt(std::to_string(2000 + i)));
    Configure(c);
    const std::string all = ReadFile(file);
    EXPECT_NE(all.find(G("订单号：2049")), std::string::npos);
}

TEST_F(PrintServiceTest, PortOpenFailureIsReportedAndTheNextReceiptPrints) {
    Configure(Config("网口127.0.0.1:1"));
    writer->Post(Receipt("1200"));
    EXPECT_EQ(sink.WaitFor(CheckoutCommand::ShowMessage, 1),
              std::vector<std::string>{G("端口打开失败，请查看是否被占用或者删除！")});
    EXPECT_EQ(service->failed(), 1u);

    const std::string sayings[2] = {"谢谢", "存根"};
    service->SetPrinter("网口" + lp.address(), "1", "1", "0", sayings, &sink);
    writer->Post(Receipt("1201"));
    const auto jobs = lp.Jobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(Has(Lines(jobs[0]), G("订单号：1201")));
    EXPECT_FALSE(Has(Lines(jobs[0]), G("订单号：1200")));  // the failed block is not retried
}

TEST_F(PrintServiceTest, ReceiptsWaitWhileTheLogCannotBeWritten) {
    PrintConfig c = Config("");
    c.port_way = "无";
    c.log_dir = dir.path() + "blocked/";
    std::ofstream(dir.path() + "blocked") << "a file where the directory should be";
    Configure(c);
    writer->Post(Receipt("1300"));
    writer->Post(Receipt("1301"));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(writer->written(), 0u);
    fs::remove(dir.path() + "blocked");
    SetNow(At(2026, 12, 6, 10, 0, 5));
    writer->Post(Receipt("1302"));
    ASSERT_TRUE(test::WaitUntil([&] { return writer->written() == 3; }));
    EXPECT_EQ(ReadFile(dir.path() + "blocked/printlog2026-12-06.txt"),
              PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("1300")) +
                  PrintLogRecord(At(2026, 12, 6, 10, 0, 0), Receipt("1301")) +
                  PrintLogRecord(At(2026, 12, 6, 10, 0, 5), Receipt("1302")));
}

TEST_F(PrintServiceTest, PrinterFailingMidReceiptTellsTheCashierOnceAndAReprintPrints) {
    // A parallel printer that takes the first page of a receipt and then goes away: its port is
    // a pipe with a one-page buffer whose reading end the test closes part-way.
    signal(SIGPIPE, SIG_IGN);
    // Printer ports must be device files: the pipe lives under /dev/shm.
    const std::string lp0 = "/dev/shm/tendrix-test-lp0-" + std::to_string(::getpid());
    ::unlink(lp0.c_str());
    ASSERT_EQ(::mkfifo(lp0.c_str(), 0600), 0);
    struct Unlink {
        std::string path;
        ~Unlink() { ::unlink(path.c_str()); }
    } unlink_at_end{lp0};
    std::ofstream(dir.path() + "ports.ini") << "LPT1=" << lp0 << "\n";
    setenv("TENDRIX_PORT_MAP", (dir.path() + "ports.ini").c_str(), 1);
    int reader = ::open(lp0.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ::fcntl(reader, F_SETPIPE_SZ, 4096);
    PrintConfig c = Config("LPT1");
    c.port_way = "并口";
    c.code_mode = "3";  // text and a QR picture for each of two copies: far more than a page
    c.copies = "2";
    Configure(c);
    writer->Post(Receipt("1400"));
    ASSERT_TRUE(test::WaitUntil([&] { return writer->written() == 1; }));
    std::this_thread::sleep_for(300ms);  // the service waits for the full printer
    ASSERT_EQ(service->failed() + service->printed(), 0u);
    ::close(reader);
    ASSERT_TRUE(test::WaitUntil([&] { return service->failed() == 1; }));
    std::this_thread::sleep_for(200ms);
    auto got = sink.Payloads(CheckoutCommand::ShowMessage);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(GbkToUtf8(got[0]), kPrintStoppedText);

    // The printer is back; the receipt printed again ("打印小票" posts it once more) comes out
    // whole, without a further message.
    reader = ::open(lp0.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer->Post(Receipt("1400"));
    // Until the service counts the receipt printed, then what is left in the pipe.
    std::string bytes;
    EXPECT_TRUE(test::WaitUntil([&] {
        const bool printed = service->printed() == 1;
        char buf[4096];
        for (ssize_t n; (n = ::read(reader, buf, sizeof buf)) > 0;) bytes.append(buf, size_t(n));
        return printed;
    }));
    ::close(reader);
    unsetenv("TENDRIX_PORT_MAP");
    ASSERT_EQ(service->printed(), 1u);
    EXPECT_TRUE(Has(Lines(bytes), G("订单号：1400")));
    EXPECT_EQ(test::DecodeEscPos(bytes).images.size(), 2u);  // both copies, each with its QR
    EXPECT_EQ(sink.Payloads(CheckoutCommand::ShowMessage).size(), 1u);
}

}  // namespace
}  // namespace tendrix::printing
