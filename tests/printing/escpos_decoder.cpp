#include "tests/printing/escpos_decoder.h"

#include <zbar.h>

namespace tendrix::test {

std::vector<std::string> EscPosPage::Texts() const {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(l.text);
    return out;
}

EscPosPage DecodeEscPos(const std::string& s) {
    EscPosPage page;
    std::string text;
    bool after_reset = false;
    int align = -1, size = -1;
    Barcode setup;
    BitImage* image = nullptr;  // the image that consecutive stripes extend
    int spacing = -1;
    auto need = [&](size_t i, size_t n) {
        if (i + n > s.size()) {
            page.errors.push_back("truncated command at " + std::to_string(i));
            return false;
        }
        return true;
    };
    auto error = [&](size_t i) {  // an unknown ESC or GS command (its second byte is there)
        page.errors.push_back("unknown command " + std::to_string(int(s[i])) + " " +
                              std::to_string(int((unsigned char)s[i + 1])) + " at " +
                              std::to_string(i));
    };
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        if (c != 0x1B && c != '\n') image = c == 0x1D || c == '\r' ? image : nullptr;
        if (c == 0x1B) {
            if (!need(i, 2)) break;
            const unsigned char cmd = s[i + 1];
            if (cmd == '@') {
                page.events.push_back({Event::kReset, 0});
                after_reset = true;
                align = size = spacing = -1;
                i += 2;
            } else if (cmd == 'a' && need(i, 3)) {
                align = (unsigned char)s[i + 2];
                after_reset = false;
                i += 3;
            } else if (cmd == 'i' && need(i, 3) && s[i + 2] == 0) {
                ++page.cuts;
                page.events.push_back({Event::kCut, 0});
                i += 3;
            } else if (cmd == '3' && need(i, 3)) {
                spacing = (unsigned char)s[i + 2];
                i += 3;
            } else if (cmd == '$' && need(i, 4)) {
                setup.left = (unsigned char)s[i + 2] | ((unsigned char)s[i + 3] << 8);
                i += 4;
            } else if (cmd == '*' && need(i, 5)) {
                const int mode = (unsigned char)s[i + 2];
                const int width = (unsigned char)s[i + 3] | ((unsigned char)s[i + 4] << 8);
                if (mode != 33) page.errors.push_back("bit image mode " + std::to_string(mode));
                if (!need(i, 5 + 3 * size_t(width))) break;
                if (!image || image->width != width || spacing != 0) {
                    if (spacing != 0) page.errors.push_back("stripes without line spacing 0");
                    page.images.push_back(BitImage{width, 0, {}});
                    page.events.push_back({Event::kImage, page.images.size() - 1});
                    image = &page.images.back();
                }
                const int y0 = image->height;
                image->height += 24;
                image->black.resize(size_t(image->width) * image->height, 0);
                for (int x = 0; x < width; ++x) {
                    for (int k = 0; k < 24; ++k) {
                        const unsigned char b = s[i + 5 + 3 * size_t(x) + k / 8];
                        if (b & (0x80 >> (k % 8))) image->black[size_t(y0 + k) * width + x] = 1;
                    }
                }
                i += 5 + 3 * size_t(width);
                if (i < s.size() && s[i] == '\n') {
                    ++i;  // the stripe's line feed
                } else {
                    page.errors.push_back("stripe without LF");
                }
                continue;
            } else {
                error(i);
                break;
            }
        } else if (c == 0x1D) {
            if (!need(i, 3)) break;
            const unsigned char cmd = s[i + 1];
            const int n = (unsigned char)s[i + 2];
            if (cmd == '!') {
                size = n;
                after_reset = false;
                i += 3;
            } else if (cmd == 'w') {
                setup.width = n, i += 3;
            } else if (cmd == 'h') {
                setup.height = n, i += 3;
            } else if (cmd == 'f') {
                setup.hri_font = n, i += 3;
            } else if (cmd == 'H') {
                setup.hri_position = n, i += 3;
            } else if (cmd == 'k' && need(i, 4)) {
                Barcode b = setup;
                b.type = n;
                const size_t len = (unsigned char)s[i + 3];
                if (!need(i, 4 + len)) break;
                b.data = s.substr(i + 4, len);
                page.barcodes.push_back(b);
                page.events.push_back({Event::kBarcode, page.barcodes.size() - 1});
                setup = Barcode{};
                i += 4 + len;
            } else {
                error(i);
                break;
            }
        } else if (c == '\n') {
            page.lines.push_back({text, after_reset, align, size});
            page.events.push_back({Event::kLine, page.lines.size() - 1});
            text.clear();
            ++i;
        } else if (c == '\r') {
            ++i;  // carriage return: the LF that follows feeds
        } else if (c == 0) {
            ++i;  // NUL is ignored
        } else {
            text += char(c);
            ++i;
        }
    }
    if (!text.empty()) page.errors.push_back("text without line end: " + text);
    return page;
}

std::string DecodeQr(const BitImage& image) {
    // Paper around the picture is white: add a margin as quiet zone for the reader.
    const int margin = 48;
    const int w = image.width + 2 * margin, h = image.height + 2 * margin;
    std::vector<uint8_t> grey(size_t(w) * h, 255);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.Black(x, y)) grey[size_t(y + margin) * w + x + margin] = 0;
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, 1);
    zbar::Image img(w, h, "Y800", grey.data(), grey.size());
    if (scanner.scan(img) <= 0) return {};
    for (auto sym = img.symbol_begin(); sym != img.symbol_end(); ++sym) return sym->get_data();
    return {};
}

}  // namespace tendrix::test
