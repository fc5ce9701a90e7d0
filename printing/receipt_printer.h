#pragma once
// The printer engine: opens the port named by a port description, turns a receipt block into
// ESC/POS (escpos.h) and sends it through the vendor SDK library or, for a USB printer used
// directly, through the device file found by the sysfs lookup.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "printing/escpos.h"
#include "printing/pos_sdk.h"
#include "printing/printer_port.h"

namespace tendrix::printing {

enum class Transport : uint8_t {
    kNone = 0,
    kSerial = 1,
    kDriver = 2,
    kUsb = 3,
    kParallel = 4,
    kNetwork = 5
};

// What a port description selects; the first matching form wins:
//   contains "COM"         -> serial, "COM%dBoardRate%d" (baud 9600 when missing)
//   contains "驱动打印机"  -> driver printer named by the rest
//   equals   "免驱USB"     -> USB device used directly
//   contains "LPT"         -> parallel port, the whole description
//   contains "网口"        -> network printer at the digits and dots (":port" kept for tests)
struct PortDescription {
    Transport type = Transport::kNone;
    std::string name;  // GBK text passed to POS_Open ("COM3", driver name, "LPT1", address)
    int com_number = 0;
    int baud = 0;
};
PortDescription ParsePortDescription(const std::string& description);

// The receipt settings as texts (UTF-8), as the print service keeps them.
struct PrinterSetup {
    std::string port;
    std::string copies = "1";
    std::string blank_lines = "3";
    std::string code_mode = "0";
    std::string sayings[2];
    std::string title;
};

struct PrinterOptions {
    std::string sdk_path;  // empty: libPOSDLL.so beside the running program
    // The port map the printer library resolves COMn/LPTn with; empty: data/ports.ini beside
    // the library's program folder.
    std::string port_map_file;
    std::string sysfs_root = "/sys";
    std::string dev_root = "/dev";
    int usb_write_timeout_ms = 5000;
};

// Decimal text -> 0..255 (leading digits; anything else gives 0, larger values 255).
uint8_t DecimalByte(const std::string& text);

class ReceiptPrinter : private PrinterPort {
  public:
    explicit ReceiptPrinter(PrinterOptions options = {});
    ~ReceiptPrinter() override;
    ReceiptPrinter(const ReceiptPrinter&) = delete;
    ReceiptPrinter& operator=(const ReceiptPrinter&) = delete;

    // Stores the settings, loads the SDK and opens the port (a driver printer also starts a
    // document). Afterwards PortOpen() tells whether the receipt can be printed.
    void Configure(const PrinterSetup& setup);
    bool PortOpen() const { return handle_ != InvalidPosHandle(); }
    PosHandle port_handle() const { return handle_; }
    // Why the last Configure could not open the port.
    const std::string& OpenError() const { return open_error_; }
    // Why sending stopped during the last receipt; empty when every write went through. After
    // a failed write the rest of the receipt is skipped, so a printer that stops taking data
    // costs one time-out, not one per write.
    const std::string& WriteError() const { return write_error_; }

    // While *keep_going is false a stalled direct USB write gives up at once (the print
    // service passes its running flag, so stopping it never waits out a time-out).
    void SetKeepGoing(const std::atomic<bool>* keep_going) { keep_going_ = keep_going; }

    // Formats and sends one GBK receipt block; qr_prefix is UTF-8.
    void Print(std::string block, std::string_view qr_prefix);
    // Raw bytes to the open port.
    void Send(std::string_view bytes) { Write(bytes); }
    // SDK close, or closing the USB device.
    void ClosePort();

    Transport transport() const { return transport_; }
    const ReceiptOptions& options() const { return receipt_; }
    const std::string& usb_device_path() const { return usb_path_; }

  private:
    void Write(std::string_view bytes) override;
    void Barcode(std::string_view data) override;
    void StartDoc() override;
    void EndDoc() override;
    void OpenUsb();
    std::string SdkError() const;
    bool Cancelled() const;

    static constexpr int kCancelCheckMs = 50;

    PrinterOptions options_;
    PosSdk sdk_;
    PosHandle handle_ = InvalidPosHandle();
    int usb_fd_ = -1;
    ReceiptOptions receipt_;
    Transport transport_ = Transport::kNone;
    int com_number_ = 0;
    int baud_ = 0;
    std::string driver_name_;
    std::string usb_path_;
    std::string open_error_;
    std::string write_error_;
    const std::atomic<bool>* keep_going_ = nullptr;
};

}  // namespace tendrix::printing
