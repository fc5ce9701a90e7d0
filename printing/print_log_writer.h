#pragma once
// The print log writer: a thread that appends each posted receipt text, with a time stamp,
// to the day's print log file. The print service follows that file and prints from it.
//
// Post() copies the text into the thread message (id 1124); the message owns its copy, so the
// caller may reuse or free its buffer at once (this replaces clearing the caller's buffer as
// the acknowledgment). Destroying the writer writes everything posted before, then ends it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "common/thread_message_queue.h"
#include "printing/print_log.h"

namespace tendrix::printing {

class PrintLogWriter {
  public:
    static constexpr unsigned kWriteMessage = 1124;  // 1024 + 100: write a receipt text
    static constexpr unsigned kQuitMessage = 18;     // ends the thread after what is queued
    static constexpr size_t kMaxPending = 1000;      // records kept while the log is unwritable

    explicit PrintLogWriter(LocalClock clock = SystemLocalClock());
    ~PrintLogWriter();
    PrintLogWriter(const PrintLogWriter&) = delete;
    PrintLogWriter& operator=(const PrintLogWriter&) = delete;

    // Starts the thread on `directory` (created with its parents when missing). Texts posted
    // before Start() are kept and written once it runs.
    void Start(const std::string& directory);
    // Queues a GBK receipt text (copied).
    void Post(std::string gbk_text);
    std::thread::id thread_id() const { return thread_.get_id(); }
    // Records written so far, and records given up (more than kMaxPending waiting, or still
    // unwritable when the writer ends).
    uint64_t written() const { return written_.load(); }
    uint64_t failed() const { return failed_.load(); }

  private:
    void Run();

    LocalClock clock_;
    std::string directory_;
    common::ThreadMessageQueue queue_;
    std::thread thread_;
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> failed_{0};
};

}  // namespace tendrix::printing
