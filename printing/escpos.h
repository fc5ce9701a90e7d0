#pragma once
// Receipt block -> ESC/POS: the four code modes, the order-number label search, Code 128
// data and the QR raster. All texts here are GBK bytes except the QR prefix (UTF-8).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "printing/printer_port.h"

namespace tendrix::printing {

// A line containing this ends a receipt block in the print log.
inline constexpr std::string_view kSeparator = "-------------";
// Longest printed line; longer lines continue on the next printed line.
inline constexpr size_t kMaxLineBytes = 199;

enum CodeMode : int {
    kCodeNone = 0,
    kCodeBarcode = 1,
    kCodeQrWithPrefix = 2,
    kCodeQrOrderOnly = 3
};

struct ReceiptOptions {
    int copies = 1;
    int blank_lines = 3;
    int code_mode = kCodeNone;
    std::string sayings[2];  // GBK: first copy, every further copy
    std::string title;       // GBK: the line that is the receipt's title
};

// CR and LF both end a line; empty lines are dropped; a line longer than kMaxLineBytes is
// continued on further lines, never between the two bytes of a GBK character.
std::vector<std::string> SplitReceiptLines(std::string_view block);

// The order number after the first label present ("解冻、转支付操作订单号：", "订单号：",
// "订单号:" in GBK), up to the line end. Empty when no label is present.
std::string FindOrderNumber(std::string_view gbk_block);

// Code 128 data: "{C" and one byte per digit pair, "{B" and the last digit when the count is
// odd. An order number that is not all digits is sent whole in code set B.
std::string Code128Data(std::string_view order_number);

// QR code of `content` (level H, smallest version, automatic mask, byte mode) drawn on a
// white square of (modules + 8) * 6 pixels, each dark module a 6x6 black square at
// (6c+4, 6r+4). The picture is kept as its module matrix; Black() gives any pixel.
struct QrImage {
    int side = 0;               // pixels; 0 when encoding failed
    int modules = 0;            // symbol width in modules
    std::vector<uint8_t> dark;  // modules*modules, 1 = dark, row-major
    bool Black(int x, int y) const {
        if (x < 4 || y < 4) return false;
        const int c = (x - 4) / 6, r = (y - 4) / 6;
        return c < modules && r < modules && dark[size_t(r) * modules + c];
    }
};
QrImage RasterQr(std::string_view content);

// ESC 3 0, then one ESC * 33 stripe per 24 rows (height / 24 + 1 stripes) and LF after each.
std::string QrStripeBytes(const QrImage& image);

// Formats and sends one receipt block to `port` in the given mode. `block` is the receipt text
// as it came from the print log.
void PrintReceipt(PrinterPort& port, std::string block, std::string_view qr_prefix,
                  const ReceiptOptions& options);

}  // namespace tendrix::printing
