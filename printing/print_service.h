#pragma once
// The print service: follows the day's print log from its end and prints every block that a
// separator line ("-------------") completes. The printer port is opened per receipt; when
// it cannot be opened the service posts command 8 with the GBK text
// "端口打开失败，请查看是否被占用或者删除！" to the notify sink and drops the block; when the
// printer fails part-way through a receipt it posts kPrintStoppedText once for that receipt.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/checkout_command.h"
#include "common/thread.h"
#include "printing/print_log.h"
#include "printing/receipt_printer.h"

namespace tendrix::printing {

// The QR prefix: invoice URL, "merchantId=", the merchant id and "&transCode=" (UTF-8).
inline std::string MakeQrPrefix(const std::string& invoice_url, const std::string& merchant_id) {
    return invoice_url + "merchantId=" + merchant_id + "&transCode=";
}

inline constexpr const char* kPortOpenFailedText = "端口打开失败，请查看是否被占用或者删除！";
// Posted (command 8) when the printer stops taking data part-way through a receipt.
inline constexpr const char* kPrintStoppedText =
    "小票未打印完整，请检查打印机后点击“打印小票”重新打印！";

class CReadTxtSendPrint : public common::Thread {
  public:
    static constexpr int kPollMs = 30;                 // follower poll period
    static constexpr size_t kMaxBlockBytes = 1 << 20;  // a block never completed is dropped here

    explicit CReadTxtSendPrint(PrinterOptions printer_options = {},
                               LocalClock clock = SystemLocalClock());
    // Stops the loop and waits for the thread (a receipt being sent finishes first).
    ~CReadTxtSendPrint() override;

    void SetSource(const std::string& directory, const std::string& title_message);
    void SetQrPrefix(const std::string& invoice_url, const std::string& merchant_id);
    void SetPrinter(const std::string& port, const std::string& copies,
                    const std::string& blank_lines, const std::string& code_mode,
                    const std::string shop_sayings[2], common::CommandSink* notify);

    std::string QrPrefix() const;
    // Blocks printed whole, and blocks not printed whole (port not opened, printer failed).
    uint64_t printed() const { return printed_.load(); }
    uint64_t failed() const { return failed_.load(); }
    // True once the service follows the day's file (everything appended from now on prints).
    bool following() const { return following_.load(); }

  protected:
    void Run() override;

  private:
    void PrintBlock(ReceiptPrinter& printer, const std::string& block);

    const PrinterOptions printer_options_;
    const LocalClock clock_;
    mutable std::mutex lock_;  // over the configuration below
    common::CommandSink* notify_ = nullptr;
    std::string directory_;
    PrinterSetup setup_;  // port, copies, blank lines, code mode, sayings, title
    std::string qr_prefix_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> printed_{0};
    std::atomic<uint64_t> failed_{0};
    std::atomic<bool> following_{false};
};

}  // namespace tendrix::printing
