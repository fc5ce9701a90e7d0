#pragma once
// Reads the ESC/POS byte stream a receipt printer receives and tells what it would do: the
// printed lines with the modes in force, cuts, bit-image stripes and barcodes. Any byte
// sequence it does not know is reported as an error, so stray bytes fail the tests.
#include <cstdint>
#include <string>
#include <vector>

namespace tendrix::test {

struct PrintedLine {
    std::string text;  // bytes as printed (GBK)
    bool after_reset;  // ESC @ came right before this line (and no alignment/size since)
    int align = -1;    // ESC a n in force (-1: never set since the last reset)
    int size = -1;     // GS ! n in force
};

struct Barcode {
    int type = 0;
    std::string data;
    int left = -1, width = -1, height = -1, hri_font = -1, hri_position = -1;
};

// A bit image made of consecutive ESC * 33 stripes (24 dots high each).
struct BitImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> black;  // width*height, 1 = black
    bool Black(int x, int y) const { return black[size_t(y) * width + x] != 0; }
};

struct Event {
    enum Kind { kLine, kCut, kReset, kBarcode, kImage } kind;
    size_t index;  // into lines / barcodes / images
};

struct EscPosPage {
    std::vector<PrintedLine> lines;
    std::vector<Barcode> barcodes;
    std::vector<BitImage> images;
    std::vector<Event> events;
    int cuts = 0;
    std::vector<std::string> errors;

    std::vector<std::string> Texts() const;
};

EscPosPage DecodeEscPos(const std::string& bytes);

// Decodes a bit image with ZBar; returns the QR content ("" when nothing was found).
std::string DecodeQr(const BitImage& image);

}  // namespace tendrix::test
