#include "printing/receipt_printer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "common/diag_log.h"
#include "common/text_codec.h"
#include "printing/port_check.h"
#include "printing/usb_lookup.h"

namespace tendrix::printing {
namespace {

bool Has(const std::string& s, const char* needle) {
    return s.find(needle) != std::string::npos;
}

// Reads a decimal number at `pos`; advances pos. -1 when there is no digit.
long ReadNumber(const std::string& s, size_t& pos) {
    if (pos >= s.size() || s[pos] < '0' || s[pos] > '9') return -1;
    long n = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        if (n < 100000000) n = n * 10 + (s[pos] - '0');
        ++pos;
    }
    return n;
}

}  // namespace

uint8_t DecimalByte(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    const long n = ReadNumber(text, pos);
    if (n < 0) return 0;
    return n > 255 ? 255 : uint8_t(n);
}

PortDescription ParsePortDescription(const std::string& d) {
    PortDescription p;
    if (Has(d, "COM")) {
        // "COM%dBoardRate%d" read from the start of the description.
        p.type = Transport::kSerial;
        size_t pos = 0;
        if (d.compare(0, 3, "COM") == 0) {
            pos = 3;
            p.com_number = int(std::max(0L, ReadNumber(d, pos)));
            if (d.compare(pos, 9, "BoardRate") == 0) {
                pos += 9;
                p.baud = int(std::max(0L, ReadNumber(d, pos)));
            }
        }
        if (p.baud <= 0) p.baud = 9600;
        p.name = "COM" + std::to_string(p.com_number);
    } else if (const size_t at = d.find("驱动打印机"); at != std::string::npos) {
        p.type = Transport::kDriver;
        p.name = common::Utf8ToGbk(d.substr(at + std::string_view("驱动打印机").size()));
    } else if (d == "免驱USB") {
        p.type = Transport::kUsb;
    } else if (Has(d, "LPT")) {
        p.type = Transport::kParallel;
        p.name = common::Utf8ToGbk(d);
    } else if (Has(d, "网口")) {
        p.type = Transport::kNetwork;
        for (char c : d) {
            if ((c >= '0' && c <= '9') || c == '.' || c == ':') p.name += c;
        }
    }
    return p;
}

ReceiptPrinter::ReceiptPrinter(PrinterOptions options) : options_(std::move(options)) {
    if (options_.sdk_path.empty()) options_.sdk_path = PosSdk::DefaultPath();
}

ReceiptPrinter::~ReceiptPrinter() {
    ClosePort();
    sdk_.Release();
}

std::string ReceiptPrinter::SdkError() const {
    char e[512];
    if (sdk_.LastError && sdk_.LastError(e, int(sizeof(e))) > 0) return e;
    return "the printer library reported a failure";
}

void ReceiptPrinter::Configure(const PrinterSetup& setup) {
    ClosePort();
    open_error_.clear();
    write_error_.clear();
    receipt_.copies = DecimalByte(setup.copies);
    receipt_.blank_lines = DecimalByte(setup.blank_lines);
    const uint8_t mode = DecimalByte(setup.code_mode);
    receipt_.code_mode = mode <= 3 ? mode : 0;
    receipt_.sayings[0] = common::Utf8ToGbk(setup.sayings[0]);
    receipt_.sayings[1] = common::Utf8ToGbk(setup.sayings[1]);
    receipt_.title = common::Utf8ToGbk(setup.title);
    driver_name_.clear();

    const PortDescription port = ParsePortDescription(setup.port);
    transport_ = port.type;
    com_number_ = port.com_number;
    baud_ = port.baud;
    if (port.type == Transport::kNone) {
        open_error_ = "no printer port in \"" + setup.port + "\"";
        return;
    }
    // The port text is an editable setting: a file, an odd queue name or address is refused.
    // The map is the one the printer library resolves COMn/LPTn with.
    const std::string sdk_dir = options_.sdk_path.substr(0, options_.sdk_path.rfind('/') + 1);
    const std::string map_file =
        options_.port_map_file.empty() ? sdk_dir + "../data/ports.ini" : options_.port_map_file;
    if (std::string problem = PrinterPortProblem(setup.port, common::PortMap(map_file));
        !problem.empty()) {
        transport_ = Transport::kNone;
        open_error_ = std::move(problem);
        return;
    }
    if (port.type == Transport::kUsb) {
        OpenUsb();
        return;
    }
    if (!sdk_.Load(options_.sdk_path)) {
        open_error_ = sdk_.Error();
        return;
    }
    sdk_.Close();
    switch (port.type) {
        case Transport::kSerial:
            handle_ = sdk_.Open(port.name.c_str(), port.baud, 8, 0, 0, kPosSerial);
            break;
        case Transport::kDriver:
            driver_name_ = port.name;
            handle_ = sdk_.Open(port.name.c_str(), 0, 0, 0, 0, kPosDriver);
            if (PortOpen()) sdk_.StartDoc();
            break;
        case Transport::kParallel:
            handle_ = sdk_.Open(port.name.c_str(), 0, 0, 0, 0, kPosParallel);
            break;
        case Transport::kNetwork:
            handle_ = sdk_.Open(port.name.c_str(), 0, 0, 0, 0, kPosNetwork);
            break;
        default:
            break;
    }
    if (!PortOpen()) open_error_ = SdkError();
}

void ReceiptPrinter::OpenUsb() {
    usb_path_ = FindUsbPrinter(options_.sysfs_root, options_.dev_root).device_path;
    if (usb_path_.empty()) {
        open_error_ = "no USB printer found";
        return;
    }
    usb_fd_ = ::open(usb_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (usb_fd_ < 0) {
        open_error_ = usb_path_ + ": " + strerror(errno);
        return;
    }
    handle_ = reinterpret_cast<PosHandle>(intptr_t(usb_fd_));
}

void ReceiptPrinter::Print(std::string block, std::string_view qr_prefix) {
    if (!PortOpen()) return;
    PrintReceipt(*this, std::move(block), qr_prefix, receipt_);
}

void ReceiptPrinter::Write(std::string_view bytes) {
    if (!PortOpen() || bytes.empty() || !write_error_.empty()) return;
    if (transport_ != Transport::kUsb) {
        if (sdk_.WriteFile(handle_, bytes.data(), bytes.size()) != kPosSuccess)
            write_error_ = SdkError();
        return;
    }
    // Direct USB: a printer that stops taking data (paper out, unplugged) must not hang the
    // service. The first write it does not take within the time-out ends the receipt: the rest
    // is skipped, so a stalled printer costs one time-out per receipt. The wait is cut short
    // when the service is being stopped.
    size_t done = 0;
    int waited_ms = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(usb_fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            waited_ms = 0;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            write_error_ = usb_path_ + ": " + strerror(errno);
            break;
        }
        if (waited_ms >= options_.usb_write_timeout_ms || Cancelled()) {
            write_error_ =
                usb_path_ + ": the printer took no data for " + std::to_string(waited_ms) + " ms";
            break;
        }
        const int slice = std::min(kCancelCheckMs, options_.usb_write_timeout_ms - waited_ms);
        pollfd p{usb_fd_, POLLOUT, 0};
        const int r = poll(&p, 1, slice);
        if (r == 0) waited_ms += slice;
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            write_error_ = usb_path_ + ": the printer is gone";
            break;
        }
    }
    if (done < bytes.size())
        common::diag::Write("print", usb_path_ + ": write stopped, " +
                                         std::to_string(bytes.size() - done) + " bytes not sent");
}

bool ReceiptPrinter::Cancelled() const {
    return keep_going_ && !keep_going_->load();
}

void ReceiptPrinter::Barcode(std::string_view data) {
    if (!PortOpen() || !write_error_.empty()) return;
    if (transport_ == Transport::kUsb) {
        Write(Code128Bytes(data, 1, 0));
        return;
    }
    if (sdk_.SetBarcode(data.data(), 40, 73, 2, 56, 0, 1, int(data.size())) != kPosSuccess)
        write_error_ = SdkError();
}

void ReceiptPrinter::StartDoc() {
    if (transport_ == Transport::kDriver && PortOpen()) sdk_.StartDoc();
}

void ReceiptPrinter::EndDoc() {
    if (transport_ == Transport::kDriver && PortOpen()) sdk_.EndDoc();
}

void ReceiptPrinter::ClosePort() {
    if (transport_ == Transport::kUsb) {
        if (usb_fd_ >= 0) ::close(usb_fd_);
        usb_fd_ = -1;
    } else if (sdk_.Loaded() && PortOpen()) {
        sdk_.Close();
    }
    handle_ = InvalidPosHandle();
}

}  // namespace tendrix::printing
