// The log-file follower against real files, with an injected clock for the day switch.
#include "capture/log_tail.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "capture/capture_sources.h"
#include "store/settings_keys.h"
#include "tests/capture/capture_test_support.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::common;
using namespace tendrix::store;
using namespace tendrix::capture;
using tendrix::test::RecordingSink;

namespace {

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::app | std::ios::binary) << text << std::flush;
}

// A clock the test moves; read on the worker thread.
struct TestClock {
    std::atomic<int> y{2026}, m{12}, d{6};
    void Set(int year, int month, int day) {
        y = year;
        m = month;
        d = day;
    }
    LogTail::Clock fn() {
        return [this] { return LocalDate{y.load(), m.load(), d.load()}; };
    }
};

// Waits until the follower has reached the end of its file `times` more times.
void WaitForEnds(const LogTail& tail, uint64_t times = 2) {
    const uint64_t start = tail.EndsSeen();
    for (int i = 0; i < 1000 && tail.EndsSeen() < start + times; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

TEST(LogDatePattern, Placeholders) {
    const LocalDate d{2026, 1, 5};
    EXPECT_EQ(FillDatePattern("/pos/log/YYYY-MM-DD.txt", d), "/pos/log/2026-01-05.txt");
    EXPECT_EQ(FillDatePattern("/pos/YYYYMMDD/sale.log", d), "/pos/20260105/sale.log");
    EXPECT_EQ(FillDatePattern("/pos/sale.log", d), "/pos/sale.log");  // a fixed file
    EXPECT_EQ(FillDatePattern("YYYY_YYYY", d), "2026_YYYY");          // first occurrence only
}

TEST(LogTailTest, DeliversOnlyTheFirstLineAfterTheEnd) {
    tendrix::test::TempDir dir;
    const std::string path = dir / "pos.log";
    Append(path, "old sale 99.99\nold sale 88.88\n");
    RecordingSink sink;
    LogTail tail;
    tail.Start(&sink, CheckoutCommand::DisplayData, path);
    WaitForEnds(tail);

    Append(path, "SALE 12.30\n");
    EXPECT_EQ(sink.WaitFor(CheckoutCommand::DisplayData, 1).size(), 1u);
    WaitForEnds(tail);
    // Two lines at once: only the first is delivered.
    Append(path, "SALE 45.60\r\ndetail 1.00\n");
    sink.WaitFor(CheckoutCommand::DisplayData, 2);
    WaitForEnds(tail);
    // An empty line is not delivered; the line after it arrives with the next end.
    Append(path, "\n");
    WaitForEnds(tail);
    // A line written in two pieces is delivered once it is complete.
    Append(path, "SALE 7");
    WaitForEnds(tail);
    Append(path, "8.90\n");
    sink.WaitFor(CheckoutCommand::DisplayData, 3);
    tail.Stop();
    EXPECT_EQ(sink.Payloads(CheckoutCommand::DisplayData),
              (std::vector<std::string>{"SALE 12.30", "SALE 45.60", "SALE 78.90"}));
}

TEST(LogTailTest, WaitsForTheFileAndSwitchesDayAcrossTheYear) {
    tendrix::test::TempDir dir;
    TestClock clock;
    clock.Set(2026, 12, 31);
    RecordingSink sink;
    LogTail tail(clock.fn());
    tail.Start(&sink, CheckoutCommand::DisplayData, dir / "sale-YYYY-MM-DD.log");
    EXPECT_EQ(tail.CurrentPath(), dir / "sale-2026-12-31.log");
    // The file does not exist yet: the follower waits, then reads it through from its start.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Append(dir / "sale-2026-12-31.log", "opening line 1.00\n");
    WaitForEnds(tail);
    Append(dir / "sale-2026-12-31.log", "SALE 31.12\n");
    sink.WaitFor(CheckoutCommand::DisplayData, 1);
    WaitForEnds(tail);

    // Midnight: the next file is the new year's; its first sale line is delivered.
    clock.Set(2027, 1, 1);
    for (int i = 0; i < 500 && tail.CurrentPath() != dir / "sale-2027-01-01.log"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(tail.CurrentPath(), dir / "sale-2027-01-01.log");
    Append(dir / "sale-2027-01-01.log", "SALE 1.01\n");
    auto lines = sink.WaitFor(CheckoutCommand::DisplayData, 2);
    // Late lines in the old file are no longer followed.
    Append(dir / "sale-2026-12-31.log", "SALE 99.00\n");
    WaitForEnds(tail);
    tail.Stop();
    EXPECT_EQ(sink.Payloads(CheckoutCommand::DisplayData),
              (std::vector<std::string>{"SALE 31.12", "SALE 1.01"}));
}

TEST(LogTailTest, TruncatedRotatedAndHugeLines) {
    tendrix::test::TempDir dir;
    const std::string path = dir / "pos.log";
    Append(path, std::string(2000, 'x') + "\n");
    RecordingSink sink;
    LogTail tail;
    tail.Start(&sink, CheckoutCommand::DisplayData, path);
    WaitForEnds(tail);

    // Cut to nothing and written anew: the new line is read from the start.
    std::ofstream(path, std::ios::trunc | std::ios::binary) << "SALE 1.11\n";
    sink.WaitFor(CheckoutCommand::DisplayData, 1);
    WaitForEnds(tail);

    // Rotated: renamed away and a new file under the same name.
    std::filesystem::rename(path, dir / "pos.log.1");
    Append(path, "SALE 2.22\n");
    sink.WaitFor(CheckoutCommand::DisplayData, 2);
    WaitForEnds(tail);

    // A 10 MB line: delivered cut to one chunk, the follower keeps up afterwards.
    std::string huge(10 * 1024 * 1024, 'y');
    huge.replace(0, 9, "SALE 3.33");
    Append(path, huge + "\n");
    auto lines = sink.WaitFor(CheckoutCommand::DisplayData, 3);
    WaitForEnds(tail);
    Append(path, "SALE 4.44\n");
    lines = sink.WaitFor(CheckoutCommand::DisplayData, 4);
    tail.Stop();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "SALE 1.11");
    EXPECT_EQ(lines[1], "SALE 2.22");
    EXPECT_EQ(lines[2].size(), LogTail::kMaxLineBytes);
    EXPECT_EQ(lines[2].substr(0, 9), "SALE 3.33");
    EXPECT_EQ(lines[3], "SALE 4.44");
}

TEST(LogTailTest, CaptureSourcesStartAndCloseTheFollower) {
    tendrix::test::TempDir dir;
    Settings settings;
    settings.Set(keys::sysIsLogFromMoney, "TRUE");
    settings.Set(keys::sysLogFileSet, dir / "YYYYMMDD.log");
    settings.Set(keys::sysFilterMoneyMsg, "无");
    // The file is there before the follower starts: a follower that finds it empty would
    // rightly deliver its first line.
    Append(dir / "20260228.log", "start\n");
    RecordingSink sink;
    CaptureSources sources(settings, PortMap(), sink, nullptr, "/nonexistent/");
    sources.SetLogClock([] { return LocalDate{2026, 2, 28}; });
    sources.ApplyPortSettings();
    ASSERT_TRUE(sources.LogFollower());
    EXPECT_EQ(sources.LogFollower()->CurrentPath(), dir / "20260228.log");
    WaitForEnds(*sources.LogFollower());
    Append(dir / "20260228.log", "TOTAL 12.30 CASH 20.00 CHANGE 7.70\n");
    auto lines = sink.WaitFor(CheckoutCommand::DisplayData, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(sources.HandleDisplayData(lines[0]), "20.00");
    sources.HandlePortControl("CloseGetMoney");
    EXPECT_EQ(sources.LogFollower(), nullptr);
}
