#include "printing/print_log_writer.h"

#include <cstdio>
#include <filesystem>

#include "common/diag_log.h"

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
    for (;;) {
        ThreadMessage msg = queue_.Wait();
        if (msg.id == kQuitMessage) break;
        if (msg.id != kWriteMessage) continue;
        const std::tm now = clock_();
        const std::string wanted = directory_ + PrintLogFileName(now);
        if (wanted != path || !file) {
            if (file) std::fclose(file);
            path = wanted;
            std::error_code ec;
            std::filesystem::create_directories(directory_, ec);
            file = std::fopen(path.c_str(), "ab");
        }
        if (!file) {
            ++failed_;
            diag::Write("print",
                        "print log " + path + " cannot be opened: receipt not logged or printed");
            continue;
        }
        const std::string record = PrintLogRecord(now, msg.payload);
        if (std::fwrite(record.data(), 1, record.size(), file) != record.size() ||
            std::fflush(file) != 0) {
            ++failed_;
            diag::Write("print", "print log " + path + ": write failed");
            std::fclose(file);
            file = nullptr;
            continue;
        }
        ++written_;
    }
    if (file) std::fclose(file);
}

}  // namespace tendrix::printing
