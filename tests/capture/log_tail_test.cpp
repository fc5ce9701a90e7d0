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

// Waits until the follower has reached the end of its file `times` more times.
void WaitForEnds(const LogTail& tail, uint64_t times = 2) {
    const uint64_t start = tail.EndsSeen();
    for (int i = 0; i < 1000 && tail.EndsSeen() < start + times; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// A follower on a clock the test moves (read on the worker thread), delivering to `sink_`.
class LogTailTest : public ::testing::Test {
  protected:
    std::vector<std::string> Lines(size_t n) {
        return sink_.WaitFor(CheckoutCommand::DisplayData, n);
    }
    void SetDate(int year, int month, int day) { date_ = year * 10000 + month * 100 + day; }

    tendrix::test::TempDir dir_;
    const std::string path_ = dir_ / "pos.log";
    RecordingSink sink_;
    std::atomic<int> date_{20261206};
    LogTail tail_{[this] {
        const int d = date_.load();
        return LocalDate{d / 10000, d / 100 % 100, d % 100};
    }};
};

}  // namespace

TEST(LogDatePattern, Placeholders) {
    const LocalDate d{2026, 1, 5};
    EXPECT_EQ(FillDatePattern("/pos/log/YYYY-MM-DD.txt", d), "/pos/log/2026-01-05.txt");
    EXPECT_EQ(FillDatePattern("/pos/YYYYMMDD/sale.log", d), "/pos/20260105/sale.log");
    EXPECT_EQ(FillDatePattern("/pos/sale.log", d), "/pos/sale.log");  // a fixed file
    EXPECT_EQ(FillDatePattern("YYYY_YYYY", d), "2026_YYYY");          // first occurrence only
}

TEST_F(LogTailTest, DeliversOnlyTheFirstLineAfterTheEnd) {
    Append(path_, "old sale 99.99\nold sale 88.88\n");
    tail_.Start(&sink_, CheckoutCommand::DisplayData, path_);
    WaitForEnds(tail_);

    Append(path_, "SALE 12.30\n");
    EXPECT_EQ(Lines(1).size(), 1u);
    WaitForEnds(tail_);
    // Two lines at once: only the first is delivered.
    Append(path_, "SALE 45.60\r\ndetail 1.00\n");
    Lines(2);
    WaitForEnds(tail_);
    // An empty line is not delivered; the line after it arrives with the next end.
    Append(path_, "\n");
    WaitForEnds(tail_);
    // A line written in two pieces is delivered once it is complete.
    Append(path_, "SALE 7");
    WaitForEnds(tail_);
    Append(path_, "8.90\n");
    Lines(3);
    tail_.Stop();
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::DisplayData),
              (std::vector<std::string>{"SALE 12.30", "SALE 45.60", "SALE 78.90"}));
}

TEST_F(LogTailTest, WaitsForTheFileAndSwitchesDayAcrossTheYear) {
    SetDate(2026, 12, 31);
    tail_.Start(&sink_, CheckoutCommand::DisplayData, dir_ / "sale-YYYY-MM-DD.log");
    EXPECT_EQ(tail_.CurrentPath(), dir_ / "sale-2026-12-31.log");
    // The file does not exist yet: the follower waits, then reads it through from its start.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Append(dir_ / "sale-2026-12-31.log", "opening line 1.00\n");
    WaitForEnds(tail_);
    Append(dir_ / "sale-2026-12-31.log", "SALE 31.12\n");
    Lines(1);
    WaitForEnds(tail_);

    // Midnight: the next file is the new year's; its first sale line is delivered.
    SetDate(2027, 1, 1);
    for (int i = 0; i < 500 && tail_.CurrentPath() != dir_ / "sale-2027-01-01.log"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(tail_.CurrentPath(), dir_ / "sale-2027-01-01.log");
    Append(dir_ / "sale-2027-01-01.log", "SALE 1.01\n");
    Lines(2);
    // Late lines in the old file are no longer followed.
    Append(dir_ / "sale-2026-12-31.log", "SALE 99.00\n");
    WaitForEnds(tail_);
    tail_.Stop();
    EXPECT_EQ(sink_.Payloads(CheckoutCommand::DisplayData),
              (std::vector<std::string>{"SALE 31.12", "SALE 1.01"}));
}

TEST_F(LogTailTest, TruncatedRotatedAndHugeLines) {
    Append(path_, std::string(2000, 'x') + "\n");
    tail_.Start(&sink_, CheckoutCommand::DisplayData, path_);
    WaitForEnds(tail_);

    // Cut to nothing and written anew: the new line is read from the start.
    std::ofstream(path_, std::ios::trunc | std::ios::binary) << "SALE 1.11\n";
    Lines(1);
    WaitForEnds(tail_);

    // Rotated: renamed away and a new file under the same name.
    std::filesystem::rename(path_, dir_ / "pos.log.1");
    Append(path_, "SALE 2.22\n");
    Lines(2);
    WaitForEnds(tail_);

    // A 10 MB line: delivered cut to one chunk, the follower keeps up afterwards.
    std::string huge(10 * 1024 * 1024, 'y');
    huge.replace(0, 9, "SALE 3.33");
    Append(path_, huge + "\n");
    Lines(3);
    WaitForEnds(tail_);
    Append(path_, "SALE 4.44\n");
    const auto lines = Lines(4);
    tail_.Stop();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "SALE 1.11");
    EXPECT_EQ(lines[1], "SALE 2.22");
    EXPECT_EQ(lines[2].size(), LogTail::kMaxLineBytes);
    EXPECT_EQ(lines[2].substr(0, 9), "SALE 3.33");
    EXPECT_EQ(lines[3], "SALE 4.44");
}

// The follower's lines reaching the amount on the real program: e2e_log_sale.
TEST_F(LogTailTest, CaptureSourcesStartTheFollowerOnTodaysFileAndCloseIt) {
    Settings settings;
    settings.Set(keys::sysIsLogFromMoney, "TRUE");
    settings.Set(keys::sysLogFileSet, dir_ / "YYYYMMDD.log");
    CaptureSources sources(settings, PortMap(), sink_, nullptr, "/nonexistent/");
    sources.SetLogClock([] { return LocalDate{2026, 2, 28}; });
    sources.ApplyPortSettings();
    ASSERT_TRUE(sources.LogFollower());
    EXPECT_EQ(sources.LogFollower()->CurrentPath(), dir_ / "20260228.log");
    sources.HandlePortControl("CloseGetMoney");
    EXPECT_EQ(sources.LogFollower(), nullptr);
}
