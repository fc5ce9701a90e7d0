// What a printer receives for a receipt block in each code mode, decoded back from the bytes.
#include "printing/escpos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/text_codec.h"
#include "printing/print_log.h"
#include "tests/printing/escpos_decoder.h"
#include "tests/printing/receipt_text.h"

using namespace tendrix::common;

namespace tendrix::printing {
namespace {

using test::DecodeEscPos;
using test::EscPosPage;
using test::Event;

// The block as the print service hands it over: the whole print log record.
std::string Block(const std::string& utf8_receipt) {
    return PrintLogRecord(At(2026, 12, 6, 9, 5, 7), G(utf8_receipt));
}

const char* kReceipt =
    "测试店\r\n"
    "金额：36.00\r\n"
    "订单号：20261206093012345678\r\n"
    "-------------\r\n";

ReceiptOptions Options(int copies, int mode, int blank = 2) {
    return {.copies = copies,
            .blank_lines = blank,
            .code_mode = mode,
            .sayings = {G("谢谢惠顾"), G("客户存根")},
            .title = G("测试店")};
}

std::vector<std::string> ReceiptLines() {
    return {"2026-12-06 09:05:07", G("测试店"), G("金额：36.00"), G("订单号：20261206093012345678"),
            "-------------"};
}

EscPosPage Render(const std::string& block, const ReceiptOptions& o,
                  const std::string& qr_prefix = "") {
    MemoryPort port;
    PrintReceipt(port, block, qr_prefix, o);
    EscPosPage page = DecodeEscPos(port.bytes());
    EXPECT_TRUE(page.errors.empty()) << page.errors.front();
    return page;
}

TEST(EscPos, TextModeCopiesMakeOneStreamWithOneCut) {
    const std::vector<std::string> r = ReceiptLines();
    for (int blank : {0, 2}) {
        for (int copies : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << copies << " copies, blank lines " << blank);
            const EscPosPage page = Render(Block(kReceipt), Options(copies, kCodeNone, blank));
            std::vector<std::string> want = r;
            for (int i = 0; i < copies; ++i) {
                if (i > 0) want.insert(want.end(), r.begin(), r.end());
                // The first blank line ends the saying's line; without blank lines the saying
                // still ends before the next copy starts.
                want.push_back(G(i == 0 ? "谢谢惠顾" : "客户存根") + (blank ? " " : ""));
                if (blank > 1) want.insert(want.end(), blank - 1, " ");
            }
            EXPECT_EQ(page.Texts(), want);  // each "\r\n" line once, blank lines kept as " "
            EXPECT_EQ(page.cuts, 1);
            EXPECT_EQ(page.events.back().kind, Event::kCut);
            EXPECT_EQ(page.events.front().kind, Event::kReset);
        }
    }
}

TEST(EscPos, SeparatorLineResetsUnlessTitleOrStatistics) {
    const std::string text =
        "测试店-------------\r\n订单统计-------------\r\n-------------\r\nA\r\n";
    EscPosPage page = Render(Block(text), Options(0, kCodeNone));
    ASSERT_EQ(page.lines.size(), 5u);
    for (size_t i : {1u, 2u, 4u}) {
        EXPECT_FALSE(page.lines[i].after_reset) << i;
        EXPECT_EQ(page.lines[i].align, 0);
        EXPECT_EQ(page.lines[i].size, 0);
    }
    EXPECT_TRUE(page.lines[3].after_reset);
    EXPECT_EQ(page.lines[3].align, -1);

    // Without a title every plain separator line resets (an empty title matches no line).
    ReceiptOptions no_title = Options(0, kCodeNone);
    no_title.title.clear();
    page = Render(Block(text), no_title);
    EXPECT_TRUE(page.lines[1].after_reset);
    EXPECT_FALSE(page.lines[2].after_reset);

    // In the code modes every line, separators too, is left aligned at normal size.
    page = Render(Block(text), Options(1, kCodeBarcode));
    for (const auto& l : page.lines) {
        EXPECT_EQ(l.align, 0) << l.text;
        EXPECT_EQ(l.size, 0) << l.text;
    }
}

TEST(EscPos, CodeModesPrintEachCopyWithItsOwnTailAndCut) {
    for (int mode : {kCodeBarcode, kCodeQrWithPrefix, kCodeQrOrderOnly}) {
        SCOPED_TRACE(mode);
        const EscPosPage page = Render(Block(kReceipt), Options(2, mode, 3), "https://i.example/?");
        EXPECT_EQ(page.cuts, 2);
        EXPECT_EQ(mode == kCodeBarcode ? page.barcodes.size() : page.images.size(), 2u);
        // copy: receipt, saying, " ", code, 3 blank lines, reset + cut
        const auto& ev = page.events;
        const size_t cut1 = std::ranges::find(ev, Event::kCut, &Event::kind) - ev.begin();
        std::vector<std::string> first;
        for (size_t i = 0; i < cut1; ++i)
            if (ev[i].kind == Event::kLine) first.push_back(page.lines[ev[i].index].text);
        std::vector<std::string> want = ReceiptLines();
        want.push_back(G("谢谢惠顾") + " ");
        want.insert(want.end(), 3, " ");
        EXPECT_EQ(first, want);
        EXPECT_EQ(ev[cut1 - 1].kind, Event::kReset);  // ESC @ ESC i
    }
    MemoryPort none;
    PrintReceipt(none, Block(kReceipt), "", Options(0, kCodeBarcode));
    EXPECT_TRUE(none.bytes().empty());
}

TEST(EscPos, SayingInsideTheReceiptOrEmptyDoesNotCutLaterCopies) {
    ReceiptOptions o = Options(2, kCodeBarcode);
    o.sayings[0] = G("金额");  // also a word of the receipt
    o.sayings[1].clear();
    const EscPosPage page = Render(Block(kReceipt), o);
    ASSERT_EQ(page.barcodes.size(), 2u);
    EXPECT_EQ(page.barcodes[1].data, page.barcodes[0].data);
    EXPECT_EQ(std::ranges::count(page.Texts(), G("金额：36.00")), 2);
}

TEST(EscPos, OrderNumberLabelsAreMatchedInGbkInTheirOrder) {
    EXPECT_EQ(FindOrderNumber(G("订单号:111\r\n订单号：222\r\n")), "222");
    EXPECT_EQ(FindOrderNumber(G("订单号：222\r\n解冻、转支付操作订单号：333\r\n")), "333");
    EXPECT_EQ(FindOrderNumber(G("订单号:444\r\n")), "444");
    EXPECT_EQ(FindOrderNumber("订单号：555\r\n"), "");  // UTF-8 bytes are not the label
    EXPECT_EQ(FindOrderNumber(G("金额：1\r\n")), "");
    // A long order number is taken whole, not cut at 39 bytes.
    const std::string longer(60, '7');
    EXPECT_EQ(FindOrderNumber(G("订单号：") + longer + "\r\n"), longer);

    const EscPosPage page = Render(Block("金额：1\r\n-------------\r\n"), Options(1, kCodeBarcode));
    EXPECT_TRUE(page.barcodes.empty());
    EXPECT_EQ(page.cuts, 1);
}

TEST(EscPos, Code128DataPairsDigitsAndEndsOddCountsInCodeSetB) {
    const std::string twenty = "20261206093012345678";
    std::string want = "{C";
    for (int v : {20, 26, 12, 6, 9, 30, 12, 34, 56, 78}) want += char(v);
    EXPECT_EQ(Code128Data(twenty), want);
    EXPECT_EQ(Code128Data(twenty + "9"), want + "{B9");
    EXPECT_EQ(Code128Data("07"), std::string("{C") + char(7));
    EXPECT_EQ(Code128Data("AB-12"), "{BAB-12");  // not digits: code set B, whole
    EXPECT_EQ(Code128Data(""), "");

    const EscPosPage page = Render(Block(kReceipt), Options(1, kCodeBarcode));
    ASSERT_EQ(page.barcodes.size(), 1u);
    // Raw GS k (USB, serial and parallel printers): HRI font B, no HRI.
    const auto& b = page.barcodes[0];
    EXPECT_EQ(std::tie(b.type, b.data, b.left, b.width, b.height, b.hri_font, b.hri_position),
              std::make_tuple(73, want, 40, 2, 56, 1, 0));
}

TEST(EscPos, QrStripesDecodeBackToTheContent) {
    const std::string prefix = "https://invoice.example.com/inv?merchantId=M100&transCode=";
    const std::string number = "20261206093012345678";
    for (int mode : {kCodeQrWithPrefix, kCodeQrOrderOnly}) {
        SCOPED_TRACE(mode);
        const EscPosPage page = Render(Block(kReceipt), Options(1, mode), prefix);
        ASSERT_EQ(page.images.size(), 1u);
        const test::BitImage& img = page.images[0];
        EXPECT_EQ(img.height, (img.width / 24 + 1) * 24);
        EXPECT_EQ(test::DecodeQr(img), mode == kCodeQrWithPrefix ? prefix + number : number);
        // Pixel for pixel the drawn picture; the rows below it are white.
        const QrImage drawn = RasterQr(mode == kCodeQrWithPrefix ? prefix + number : number);
        ASSERT_EQ(drawn.side, img.width);
        int mismatches = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) mismatches += img.Black(x, y) != drawn.Black(x, y);
        EXPECT_EQ(mismatches, 0);
    }
    // Raster geometry: side = (modules + 8) * 6 for a version 1 symbol (21 modules).
    EXPECT_EQ(RasterQr("1").side, (21 + 8) * 6);
}

TEST(EscPos, LongContentIsNeverCutShort) {
    // A 600-byte QR content (over the old 500-byte buffer) still decodes whole.
    std::string content(600, 'x');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char('a' + i % 26);
    const QrImage img = RasterQr(content);
    ASSERT_GT(img.side, 0);
    const EscPosPage page = DecodeEscPos(QrStripeBytes(img));
    ASSERT_EQ(page.images.size(), 1u);
    EXPECT_EQ(test::DecodeQr(page.images[0]), content);
    // Content no QR symbol can hold: one empty stripe, no crash.
    const std::string empty = QrStripeBytes(RasterQr(std::string(4000, 'z')));
    EXPECT_EQ(empty, std::string("\x1B\x33\x00\x1B\x2A\x21\x00\x00\n", 9));

    // A receipt far over 2048 bytes with three copies prints every line.
    std::string text;
    for (int i = 0; i < 120; ++i) text += "第" + std::to_string(i) + "行 商品 数量 1 单价 9.99\r\n";
    text += "-------------\r\n";
    const EscPosPage big = Render(Block(text), Options(3, kCodeNone));
    const auto item = [](const std::string& t) { return t.find(G("商品")) != std::string::npos; };
    EXPECT_EQ(std::ranges::count_if(big.Texts(), item), 360);

    // A line over 199 bytes continues on the next line without splitting a GBK character.
    std::string line = "A";
    for (int i = 0; i < 150; ++i) line += G("汉");
    const auto lines = SplitReceiptLines(line + "\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 199u);
    EXPECT_EQ(lines[0] + lines[1], line);
    EXPECT_TRUE(IsValidUtf8(GbkToUtf8(lines[1])) &&
                GbkToUtf8(lines[1]).find("\xEF\xBF\xBD") == std::string::npos);
}

TEST(EscPos, ArbitraryBlocksGiveWellFormedOutput) {
    std::mt19937 rng(7);
    const std::string pieces[] = {
        G("订单号："), "-------------",      "\r\n", "\r", "\n", "\x81", G("汉"), "12",
        "7",           std::string(1, '\0'), "\x1B", "x"};
    for (int round = 0; round < 300; ++round) {
        std::string block;
        const int n = int(rng() % 200);
        for (int i = 0; i < n; ++i) block += pieces[rng() % std::size(pieces)];
        ReceiptOptions o = Options(int(rng() % 4), int(rng() % 4), int(rng() % 3));
        MemoryPort port;
        PrintReceipt(port, block, "https://q/?", o);
        // ESC bytes inside the receipt text are the text's own; only judge receipts without them.
        if (block.find('\x1B') != std::string::npos) continue;
        const EscPosPage page = DecodeEscPos(port.bytes());
        EXPECT_TRUE(page.errors.empty()) << round << ": " << page.errors.front();
    }
}

}  // namespace
}  // namespace tendrix::printing
