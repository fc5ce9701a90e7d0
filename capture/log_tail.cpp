#include "capture/log_tail.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace tendrix::capture {
namespace {

void ReplaceFirst(std::string& text, std::string_view placeholder, const std::string& value) {
    if (const size_t at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), value);
}

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

LogFileReader::~LogFileReader() {
    Close();
}

bool LogFileReader::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    inode_ = st.st_ino;
    device_ = st.st_dev;
    pos_ = 0;
    pending_.clear();
    return true;
}

void LogFileReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

LogFileReader::Got LogFileReader::ReadLine(std::string& line) {
    char buf[64 * 1024];
    for (;;) {
        const ssize_t n = ::pread(fd_, buf, sizeof buf, static_cast<off_t>(pos_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Got::End;
        const auto* nl = static_cast<const char*>(std::memchr(buf, '\n', static_cast<size_t>(n)));
        const size_t take = nl ? static_cast<size_t>(nl - buf) : static_cast<size_t>(n);
        if (pending_.size() < kMaxLineBytes + 1)
            pending_.append(buf, std::min(take, kMaxLineBytes + 1 - pending_.size()));
        if (!nl) {
            pos_ += take;
            continue;
        }
        pos_ += take + 1;
        line.swap(pending_);
        pending_.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kMaxLineBytes) line.resize(kMaxLineBytes);
        return Got::Line;
    }
}

void LogFileReader::CheckTruncated() {
    struct stat st {};
    if (fstat(fd_, &st) == 0 && static_cast<uint64_t>(st.st_size) < pos_) {
        pos_ = 0;
        pending_.clear();
    }
}

bool LogFileReader::StillAt(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_ino == inode_ && st.st_dev == device_;
}

LocalDate TodayLocal() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string FillDatePattern(std::string_view pattern, const LocalDate& date) {
    std::string path(pattern);
    ReplaceFirst(path, "YYYY", std::to_string(date.year));
    ReplaceFirst(path, "MM", TwoDigits(date.month));
    ReplaceFirst(path, "DD", TwoDigits(date.day));
    return path;
}

LogTail::LogTail(Clock clock) : clock_(std::move(clock)) {}

LogTail::~LogTail() {
    Stop();
}

void LogTail::Start(common::CommandSink* sink, common::CheckoutCommand command,
                    std::string pattern) {
    Stop();
    sink_ = sink;
    command_ = command;
    pattern_ = std::move(pattern);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current_path_ = FillDatePattern(pattern_, clock_());
        stop_ = false;
        saw_end_ = false;
    }
    thread_ = std::thread(&LogTail::Run, this);
}

void LogTail::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::string LogTail::CurrentPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_path_;
}

bool LogTail::DateChanged() {
    std::string today = FillDatePattern(pattern_, clock_());
    std::lock_guard<std::mutex> lock(mutex_);
    if (today == current_path_) return false;
    current_path_ = std::move(today);
    return true;
}

bool LogTail::SleepMs(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_; });
}

void LogTail::Run() {
    auto stopped = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    };
    LogFileReader file;
    std::string line;
    while (!stopped()) {
        const std::string path = CurrentPath();
        if (!file.Open(path)) {
            if (DateChanged()) continue;
            SleepMs(kWaitForFileMs);
            continue;
        }
        while (!stopped()) {
            if (file.ReadLine(line) == LogFileReader::Got::Line) {
                bool deliver = false;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (saw_end_) {
                        saw_end_ = false;
                        deliver = !line.empty();
                    }
                }
                if (deliver && sink_) sink_->PostCommand(command_, line);
                continue;
            }
            // At the end of the file.
            if (DateChanged()) break;        // the new day's file
            if (!file.StillAt(path)) break;  // rotated or removed: open the path again
            file.CheckTruncated();
            ++ends_seen_;
            if (!SleepMs(kPollMs)) break;
            std::lock_guard<std::mutex> lock(mutex_);
            saw_end_ = true;
        }
        file.Close();
    }
}

}  // namespace tendrix::capture
