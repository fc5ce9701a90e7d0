#include "printing/print_service.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/diag_log.h"
#include "common/text_codec.h"

namespace tendrix::printing {

CReadTxtSendPrint::CReadTxtSendPrint(PrinterOptions printer_options, LocalClock clock)
    : printer_options_(std::move(printer_options)),
      clock_(clock ? std::move(clock) : SystemLocalClock()) {
    SetSelfDeletion(false);  // owned by the main window (or the caller)
}

CReadTxtSendPrint::~CReadTxtSendPrint() {
    running_ = false;
    Wait();
}

void CReadTxtSendPrint::SetSource(const std::string& directory, const std::string& title_message) {
    std::lock_guard<std::mutex> g(lock_);
    directory_ = AsDirectory(directory);
    setup_.title = title_message;
    running_ = true;
    SetSelfDeletion(false);
}

void CReadTxtSendPrint::SetQrPrefix(const std::string& invoice_url,
                                    const std::string& merchant_id) {
    std::lock_guard<std::mutex> g(lock_);
    qr_prefix_ = MakeQrPrefix(invoice_url, merchant_id);
}

void CReadTxtSendPrint::SetPrinter(const std::string& port, const std::string& copies,
                                   const std::string& blank_lines, const std::string& code_mode,
                                   const std::string shop_sayings[2], common::CommandSink* notify) {
    std::lock_guard<std::mutex> g(lock_);
    setup_.port = port;
    setup_.copies = copies;
    setup_.blank_lines = blank_lines;
    setup_.code_mode = code_mode;
    setup_.sayings[0] = shop_sayings[0];
    setup_.sayings[1] = shop_sayings[1];
    notify_ = notify;
}

std::string CReadTxtSendPrint::QrPrefix() const {
    std::lock_guard<std::mutex> g(lock_);
    return qr_prefix_;
}

void CReadTxtSendPrint::PrintBlock(ReceiptPrinter& printer, const std::string& block) {
    PrinterSetup setup;
    std::string qr_prefix;
    common::CommandSink* notify;
    {
        std::lock_guard<std::mutex> g(lock_);
        setup = setup_;
        qr_prefix = qr_prefix_;
        notify = notify_;
    }
    printer.Configure(setup);
    if (!printer.PortOpen()) {
        ++failed_;
        common::diag::Write(
            "print", "printer port \"" + setup.port + "\" not opened: " + printer.OpenError());
        if (notify)
            notify->PostCommand(common::CheckoutCommand::ShowMessage,
                                common::Utf8ToGbk(kPortOpenFailedText));
        return;
    }
    printer.Print(block, qr_prefix);
    printer.ClosePort();
    if (!printer.WriteError().empty()) {
        // The printer stopped taking data part-way: the cashier is told once for this
        // receipt; the receipt stays on the result page (and in the print log) for a reprint.
        ++failed_;
        common::diag::Write("print", "printer \"" + setup.port + "\": " + printer.WriteError());
        if (notify && running_)
            notify->PostCommand(common::CheckoutCommand::ShowMessage,
                                common::Utf8ToGbk(kPrintStoppedText));
        return;
    }
    ++printed_;
}

void CReadTxtSendPrint::Run() {
    std::string dir;
    {
        std::lock_guard<std::mutex> g(lock_);
        dir = directory_;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    ReceiptPrinter printer(printer_options_);
    printer.SetKeepGoing(&running_);
    std::string block;
    std::string partial;  // bytes of a line whose LF has not been written yet
    std::string path;
    int fd = -1;
    int day = 0;
    bool start_at_end = true;  // at service start: only what is appended from now on prints
    bool draining = false;     // the date changed; the old file gets one last poll
    char buf[8192];
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs)); };

    while (running_) {
        const std::tm now = clock_();
        const std::string wanted = dir + PrintLogFileName(now);
        if (wanted != path && fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        path = wanted;
        day = DayKey(now);
        if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            common::diag::Write("print", "print log " + path + " cannot be opened");
            for (int i = 0; i < 30 && running_; ++i) pause();
            continue;
        }
        off_t pos = start_at_end ? ::lseek(fd, 0, SEEK_END) : 0;
        if (pos < 0) pos = 0;
        partial.clear();
        following_ = true;

        while (running_) {
            const ssize_t n = ::pread(fd, buf, sizeof(buf), pos);
            if (n <= 0) {
                const std::tm t = clock_();
                if (dir + PrintLogFileName(t) != path) {
                    // One more poll of the old file first: a record stamped just before
                    // midnight may still be on its way into it.
                    if (!draining) {
                        draining = true;
                        pause();
                        continue;
                    }
                    draining = false;
                    // A new day: its file was written after everything in the old one, so a
                    // receipt posted just after midnight is printed from the file's start.
                    // A clock set back starts at the end, so nothing is printed twice.
                    start_at_end = DayKey(t) < day;
                    following_ = false;
                    break;
                }
                struct stat st {};
                if (::fstat(fd, &st) == 0 && st.st_size < pos) {
                    pos = st.st_size;  // the file was cut: follow its new end
                    partial.clear();
                }
                pause();
                continue;
            }
            pos += n;
            draining = false;
            partial.append(buf, size_t(n));
            size_t begin = 0;
            for (size_t lf; (lf = partial.find('\n', begin)) != std::string::npos; begin = lf + 1) {
                const std::string_view line(partial.data() + begin, lf - begin);
                block.append(line);
                block += '\n';
                if (line.find(kSeparator) != std::string_view::npos) {
                    PrintBlock(printer, block);
                    block.clear();
                } else if (block.size() > kMaxBlockBytes) {
                    common::diag::Write("print", "print log: no separator line in " +
                                                     std::to_string(block.size()) +
                                                     " bytes; text dropped");
                    block.clear();
                }
            }
            partial.erase(0, begin);
            if (partial.size() > kMaxBlockBytes) {
                common::diag::Write("print", "print log: line without an end; text dropped");
                partial.clear();
            }
        }
    }
    if (fd >= 0) ::close(fd);
}

}  // namespace tendrix::printing
