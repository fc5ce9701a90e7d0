#pragma once
// A payment link as a QR Code symbol (error correction level H, byte mode, automatic
// version), as a square of dark/light modules for the page to paint.
#include <string>
#include <vector>

namespace tendrix::checkout {

struct QrMatrix {
    int width = 0;                    // modules per side; 0 when the text could not be encoded
    std::vector<unsigned char> dark;  // width * width, row by row, 1 = dark module
    bool At(int x, int y) const { return dark[static_cast<size_t>(y) * width + x] != 0; }
};

QrMatrix EncodeQr(const std::string& text);

}  // namespace tendrix::checkout
