#include "printing/escpos.h"

#include <qrencode.h>

#include <algorithm>

#include "common/diag_log.h"
#include "common/text_codec.h"

namespace tendrix::printing {
namespace {

constexpr std::string_view kInit = "\x1B\x40";
constexpr std::string_view kSeparatorPrefix{"\x1B\x40\x00", 3};           // reset, NUL
constexpr std::string_view kNormalPrefix{"\x1B\x61\x00\x1D\x21\x00", 6};  // left, normal size
constexpr std::string_view kCut{"\x1B\x69\x00", 3};
constexpr std::string_view kResetCut{"\x1B\x40\x1B\x69\x00", 5};
constexpr std::string_view kBlankLine = " \r\n";

struct GbkLabels {
    std::string order_labels[3];
    std::string statistics;
    GbkLabels() {
        order_labels[0] = common::Utf8ToGbk("解冻、转支付操作订单号：");
        order_labels[1] = common::Utf8ToGbk("订单号：");
        order_labels[2] = common::Utf8ToGbk("订单号:");
        statistics = common::Utf8ToGbk("订单统计");
    }
};

const GbkLabels& Labels() {
    static const GbkLabels labels;
    return labels;
}

bool IsGbkLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool Contains(std::string_view hay, std::string_view needle) {
    return !needle.empty() && hay.find(needle) != std::string_view::npos;
}

void AppendLines(std::string& out, std::string_view block, std::string_view title,
                 bool separator_reset) {
    for (const std::string& line : SplitReceiptLines(block)) {
        const bool reset = separator_reset && Contains(line, kSeparator) &&
                           !Contains(line, title) && !Contains(line, Labels().statistics);
        out += reset ? kSeparatorPrefix : kNormalPrefix;
        out += line;
        out += "\r\n";
    }
}

void AppendBlankLines(std::string& s, int count) {
    for (int i = 0; i < count; ++i) s += kBlankLine;
}

}  // namespace

std::string Code128Bytes(std::string_view data, int font, int hri) {
    std::string out;
    out.append("\x1B\x24\x28\x00", 4);  // ESC $ 40 0: 40 dots from the left
    out.append("\x1D\x77\x02", 3);      // GS w 2: module width
    out.append("\x1D\x68\x38", 3);      // GS h 56: height
    out += "\x1D\x66";
    out += char(font);  // GS f: HRI font
    out += "\x1D\x48";
    out += char(hri);               // GS H: HRI position
    out.append("\x1D\x6B\x49", 3);  // GS k 73: Code 128
    out += char(static_cast<unsigned char>(data.size()));
    out.append(data);
    return out;
}

std::vector<std::string> SplitReceiptLines(std::string_view block) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= block.size()) {
        size_t end = block.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = block.size();
        std::string_view line = block.substr(start, end - start);
        // A NUL ends the text of a C string line: nothing after it is printed.
        if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
        while (!line.empty()) {
            size_t take = 0;
            while (take < line.size()) {
                const size_t step =
                    IsGbkLead(static_cast<unsigned char>(line[take])) && take + 1 < line.size() ? 2
                                                                                                : 1;
                if (take + step > kMaxLineBytes) break;
                take += step;
            }
            lines.emplace_back(line.substr(0, take));
            line.remove_prefix(take);
        }
        start = end + 1;
    }
    return lines;
}

std::string FindOrderNumber(std::string_view block) {
    for (const std::string& label : Labels().order_labels) {
        const size_t at = block.find(label);
        if (at == std::string_view::npos) continue;
        std::string_view rest = block.substr(at + label.size());
        const size_t end = rest.find_first_of(std::string_view("\r\n\0", 3));
        return std::string(rest.substr(0, end));
    }
    return {};
}

std::string Code128Data(std::string_view number) {
    bool digits = !number.empty();
    for (char c : number) digits = digits && c >= '0' && c <= '9';
    if (!digits) return number.empty() ? std::string() : "{B" + std::string(number);
    std::string data = "{C";
    size_t i = 0;
    for (; i + 1 < number.size(); i += 2)
        data += char((number[i] - '0') * 10 + (number[i + 1] - '0'));
    if (i < number.size()) {
        data += "{B";
        data += number[i];
    }
    return data;
}

QrImage RasterQr(std::string_view content) {
    QrImage image;
    if (content.empty()) return image;
    QRcode* code =
        QRcode_encodeData(int(content.size()),
                          reinterpret_cast<const unsigned char*>(content.data()), 0, QR_ECLEVEL_H);
    if (!code) {
        common::diag::Write("print", "QR code not encodable (" + std::to_string(content.size()) +
                                         " bytes): printed without it");
        return image;
    }
    image.modules = code->width;
    image.side = (image.modules + 8) * 6;
    image.dark.resize(size_t(image.modules) * image.modules);
    for (size_t m = 0; m < image.dark.size(); ++m) image.dark[m] = code->data[m] & 1;
    QRcode_free(code);
    return image;
}

std::string QrStripeBytes(const QrImage& image) {
    const int width = image.side;
    std::string out("\x1B\x33\x00", 3);
    const int stripes = image.side / 24 + 1;
    out.reserve(out.size() + size_t(stripes) * (6 + 3 * size_t(width)));
    std::string columns(3 * size_t(width), '\0');
    for (int s = 0; s < stripes; ++s) {
        out += "\x1B\x2A\x21";
        out += char(width & 0xFF);
        out += char((width >> 8) & 0xFF);
        // Bit 0x80 >> (k % 8) of column byte k / 8 is pixel row 24s + k; rows below the
        // image stay white. Each dark module of the pixel row blackens its six columns.
        std::fill(columns.begin(), columns.end(), '\0');
        for (int k = 0; k < 24; ++k) {
            const int y = 24 * s + k;
            if (y < 4 || (y - 4) / 6 >= image.modules) continue;
            const uint8_t* row = &image.dark[size_t((y - 4) / 6) * image.modules];
            const char mask = char(0x80 >> (k % 8));
            for (int c = 0; c < image.modules; ++c) {
                if (!row[c]) continue;
                char* col = columns.data() + 3 * size_t(6 * c + 4) + k / 8;
                for (int dx = 0; dx < 6; ++dx) col[3 * dx] |= mask;
            }
        }
        out += columns;
        out += '\n';
    }
    return out;
}

void PrintReceipt(PrinterPort& port, std::string block, std::string_view qr_prefix,
                  const ReceiptOptions& o) {
    const int copies = o.copies < 0 ? 0 : o.copies;
    if (o.code_mode == kCodeNone) {
        std::string out(kInit);
        const std::string kept = block;
        for (int i = 0; i < copies; ++i) {
            if (i > 0) {
                // Without blank lines the saying has no line end: the next copy starts on a
                // line of its own.
                if (!block.empty() && block.back() != '\n' && block.back() != '\r') block += "\r\n";
                block += kept;
            }
            block += o.sayings[i > 0 ? 1 : 0];
            AppendBlankLines(block, o.blank_lines);
        }
        AppendLines(out, block, o.title, true);
        port.Write(out);
        port.Write(kCut);
        port.EndDoc();
        return;
    }
    // The receipt proper; the saying is appended per copy and removed again by length, so a
    // saying that also occurs in the receipt (or an empty one) never cuts the receipt short.
    const size_t receipt_size = block.size();
    for (int i = 0; i < copies; ++i) {
        std::string out;
        block += o.sayings[i > 0 ? 1 : 0];
        block += kBlankLine;
        AppendLines(out, block, o.title, false);
        port.Write(out);
        block.resize(receipt_size);

        const std::string number = FindOrderNumber(block);
        if (!number.empty()) {
            if (o.code_mode == kCodeBarcode) {
                const std::string data = Code128Data(number);
                if (data.size() <= 255) {
                    port.Barcode(data);
                } else {
                    common::diag::Write("print",
                                        "order number too long for a barcode: printed without it");
                }
            } else {
                std::string content;
                if (o.code_mode == kCodeQrWithPrefix) content = std::string(qr_prefix);
                content += number;
                port.Write(QrStripeBytes(RasterQr(content)));
            }
        }
        std::string tail;
        AppendBlankLines(tail, o.blank_lines);
        tail += kResetCut;
        port.Write(tail);
        port.EndDoc();
        port.StartDoc();
    }
    port.EndDoc();
}

}  // namespace tendrix::printing
