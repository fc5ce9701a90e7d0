#pragma once
// Following the POS program's log file: a worker opens today's file, reads through what it
// already holds, and from then on delivers the first line that follows each time it has
// reached the end (the POS log writes one sale line, then maybe detail lines: only the first
// is the sale). At midnight it moves on to the new day's file by itself.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "common/checkout_command.h"

namespace tendrix::capture {

struct LocalDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    bool operator==(const LocalDate&) const = default;
};

// Today's local date; the default clock.
LocalDate TodayLocal();

// The pattern with the first "YYYY" replaced by the year ("%d"), the first "MM" by the month
// ("%02d") and the first "DD" by the day ("%02d"); absent placeholders are left out.
std::string FillDatePattern(std::string_view pattern, const LocalDate& date);

// One open log file read line by line from a byte position. Lines longer than a chunk are
// cut (the rest is skipped, never held in memory); a line without its line end yet is left
// for later, so a line the POS program is still writing is delivered once complete. A
// delivered line holds no LF and no final CR.
class LogFileReader {
  public:
    static constexpr size_t kMaxLineBytes = 500;

    LogFileReader() = default;
    ~LogFileReader();
    LogFileReader(const LogFileReader&) = delete;
    LogFileReader& operator=(const LogFileReader&) = delete;

    // False when the path cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    void Close();

    enum class Got { Line, End };
    Got ReadLine(std::string& line);
    // At the end of the file: a file cut shorter is read again from its start.
    void CheckTruncated();
    // Whether `path` still names the open file (false after a rotation or removal).
    bool StillAt(const std::string& path) const;

  private:
    int fd_ = -1;
    ino_t inode_ = 0;
    dev_t device_ = 0;
    uint64_t pos_ = 0;     // bytes consumed, including an incomplete last line
    std::string pending_;  // the kept start of an incomplete line
};

class LogTail {
  public:
    using Clock = std::function<LocalDate()>;

    static constexpr int kWaitForFileMs = 100;  // retry while the file does not exist
    static constexpr int kPollMs = 30;          // at the end of the file
    static constexpr size_t kMaxLineBytes = LogFileReader::kMaxLineBytes;  // one chunk

    // `clock` is called on the worker thread; it must be thread-safe.
    explicit LogTail(Clock clock = TodayLocal);
    ~LogTail();
    LogTail(const LogTail&) = delete;
    LogTail& operator=(const LogTail&) = delete;

    // Stops an earlier worker, then follows `pattern` (a UTF-8 path with YYYY/MM/DD),
    // delivering lines as sink->PostCommand(command, line). `sink` must outlive the worker.
    void Start(common::CommandSink* sink, common::CheckoutCommand command, std::string pattern);
    // Ends the worker and waits for it.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // The path being followed or waited for.
    std::string CurrentPath() const;
    // Number of times the worker reached the end of the file (tests wait on it).
    uint64_t EndsSeen() const { return ends_seen_.load(); }

  private:
    void Run();
    bool DateChanged();    // the date check: refreshes current_path_
    bool SleepMs(int ms);  // false when stopped meanwhile

    Clock clock_;
    common::CommandSink* sink_ = nullptr;
    common::CheckoutCommand command_ = common::CheckoutCommand::DisplayData;
    std::string pattern_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::string current_path_;
    bool stop_ = false;
    bool saw_end_ = false;
    std::atomic<uint64_t> ends_seen_{0};
    std::thread thread_;
};

}  // namespace tendrix::capture
