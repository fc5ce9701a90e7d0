#include "printing/print_log_writer.h"

#include <cstdio>
#include <deque>
#include <filesystem>

#include "common/diag_log.h"
#include "common/private_files.h"

namespace tendrix::printing {

PrintLogWriter::PrintLogWriter(LocalClock clock)
    : clock_(clock ? std::move(clock) : SystemLocalClock()) {}

PrintLogWriter::~PrintLogWriter() {
    if (thread_.joinable()) {
        queue_.Post(kQuitMessage);
        thread_.join();
    }
}

void PrintLogWriter::Start(const std::string& directory) {
    if (thread_.joinable()) return;
    directory_ = AsDirectory(directory);
    thread_ = std::thread([this] { Run(); });
}

void PrintLogWriter::Post(std::string gbk_text) {
    queue_.Post(kWriteMessage, std::move(gbk_text));
}

void PrintLogWriter::Run() {
    std::FILE* file = nullptr;
    std::string path;
    // Records that could not be written yet (directory missing and not creatable, disk full):
    // kept with their own time stamps and written first when the log can be written again.
    std::deque<std::string> pending;
    auto write_pending = [&] {
        while (!pending.empty()) {
            const std::string& record = pending.front();
            if (std::fwrite(record.data(), 1, record.size(), file) != record.size() ||
                std::fflush(file) != 0) {
                common::diag::Write(
                    "print", "print log " + path + ": write failed; receipt kept for the next try");
                std::fclose(file);
                file = nullptr;
                return;
            }
            pending.pop_front();
            ++written_;
        }
    };
    for (;;) {
        common::ThreadMessage msg = queue_.Wait();
        if (msg.id == kQuitMessage) break;
        if (msg.id != kWriteMessage) continue;
        const std::tm now = clock_();
        const std::string wanted = directory_ + PrintLogFileName(now);
        if (wanted != path || !file) {
            if (file) std::fclose(file);
            path = wanted;
            std::error_code ec;
            std::filesystem::create_directories(directory_, ec);
            file = common::OpenPrivateForAppend(path);  // receipts: 0600 whatever the umask
        }
        pending.push_back(PrintLogRecord(now, msg.payload));
        if (pending.size() > kMaxPending) {
            pending.pop_front();
            ++failed_;
            common::diag::Write(
                "print", "print log " + path + " unwritable: oldest waiting receipt dropped");
        }
        if (!file) {
            common::diag::Write(
                "print", "print log " + path + " cannot be opened: receipt kept for the next try");
            continue;
        }
        write_pending();
    }
    if (file) std::fclose(file);
    if (!pending.empty()) {
        failed_ += pending.size();
        common::diag::Write("print", std::to_string(pending.size()) +
                                         " receipts could not be written to the print log");
    }
}

}  // namespace tendrix::printing
