#include "settings/receipt_preview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <string>
#include <vector>

#include "common/text_codec.h"

namespace tendrix::settings {
namespace {

constexpr int kLineHeight = 30;  // 24-dot font plus line gap
constexpr int kMaxHeight = 20000;

struct Item {
    enum Kind { Text, Raster, Bar, Feed } kind = Text;
    std::string text;  // UTF-8 (Text), data (Bar)
    int align = 0;     // 0 left, 1 centre, 2 right
    int wide = 1, high = 1;
    std::vector<uint8_t> columns;  // Raster: 3 bytes per column
    int lines = 0;                 // Feed
};

}  // namespace

QImage RenderEscPos(std::string_view b, int paper_mm) {
    const int width = paper_mm == 80   ? 576
                      : paper_mm == 58 ? 384
                                       : std::clamp(paper_mm, 30, 120) * 8;
    std::vector<Item> items;
    std::string text;
    int align = 0, wide = 1, high = 1;
    Item raster;
    raster.kind = Item::Raster;
    auto flush_line = [&] {
        const bool had_raster = !raster.columns.empty();
        if (had_raster) {
            raster.align = align;
            items.push_back(raster);
            raster.columns.clear();
        }
        // A bit-image line advances by its own 24 dots only.
        if (had_raster && text.empty()) return;
        Item t;
        t.text = common::GbkToUtf8(text);
        t.align = align;
        t.wide = wide;
        t.high = high;
        items.push_back(t);
        text.clear();
    };
    size_t i = 0;
    auto at = [&](size_t k) -> int { return k < b.size() ? static_cast<uint8_t>(b[k]) : 0; };
    while (i < b.size()) {
        const int c = at(i);
        if (c == 0x1B) {  // ESC
            const int cmd = at(i + 1);
            if (cmd == '@') {
                align = 0, wide = high = 1;
                i += 2;
            } else if (cmd == 'a') {
                align = std::clamp(at(i + 2) & 3, 0, 2);
                i += 3;
            } else if (cmd == 'd') {
                if (!text.empty()) flush_line();
                Item f;
                f.kind = Item::Feed;
                f.lines = at(i + 2);
                items.push_back(f);
                i += 3;
            } else if (cmd == '*') {
                const int m = at(i + 2);
                const int n = at(i + 3) + at(i + 4) * 256;
                const int per = (m == 32 || m == 33) ? 3 : 1;
                const size_t start = i + 5, len = size_t(n) * per;
                for (size_t k = 0; k < len && start + k < b.size(); k += per)
                    for (int p = 0; p < 3; ++p)
                        raster.columns.push_back(per == 3 ? at(start + k + p)
                                                          : (p == 0 ? at(start + k) : 0));
                i = start + len;
            } else {
                i += 3;  // ESC with one parameter (ESC 3 n, ESC ! n, ESC E n, ...)
            }
        } else if (c == 0x1D) {  // GS
            const int cmd = at(i + 1);
            if (cmd == '!') {
                const int n = at(i + 2);
                wide = std::clamp((n >> 4) + 1, 1, 8);
                high = std::clamp((n & 15) + 1, 1, 8);
                i += 3;
            } else if (cmd == 'k') {
                const int m = at(i + 2);
                std::string data;
                if (m >= 65) {
                    const int n = at(i + 3);
                    data.assign(b.substr(std::min(b.size(), i + 4), n));
                    i += 4 + n;
                } else {
                    size_t e = i + 3;
                    while (e < b.size() && b[e] != 0) ++e;
                    data.assign(b.substr(i + 3, e - (i + 3)));
                    i = e + 1;
                }
                if (!text.empty()) flush_line();
                Item bar;
                bar.kind = Item::Bar;
                bar.text = data;
                bar.align = align;
                items.push_back(bar);
            } else if (cmd == 'V') {
                i += (at(i + 2) == 65 || at(i + 2) == 66) ? 4 : 3;
            } else {
                i += 3;  // GS f n, GS H n, GS h n, GS w n
            }
        } else if (c == '\n') {
            flush_line();
            ++i;
        } else if (c == '\r' || c == 0) {
            ++i;
        } else {
            text.push_back(static_cast<char>(c));
            ++i;
        }
    }
    if (!text.empty() || !raster.columns.empty()) flush_line();

    // Height first, then draw.
    int height = 16;
    for (const auto& it : items) {
        if (it.kind == Item::Text) height += kLineHeight * it.high;
        if (it.kind == Item::Raster) height += 24;
        if (it.kind == Item::Bar) height += 72;
        if (it.kind == Item::Feed) height += kLineHeight * it.lines;
    }
    height = std::min(height + 16, kMaxHeight);
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont font("WenQuanYi Micro Hei Mono");
    font.setPixelSize(22);
    font.setStyleHint(QFont::Monospace);
    int y = 12;
    for (const auto& it : items) {
        if (y >= height) break;
        if (it.kind == Item::Text) {
            QFont f = font;
            f.setPixelSize(22 * it.high);
            f.setStretch(std::clamp(100 * it.wide / it.high, 25, 400));
            p.setFont(f);
            p.setPen(Qt::black);
            const int flags = (it.align == 1   ? Qt::AlignHCenter
                               : it.align == 2 ? Qt::AlignRight
                                               : Qt::AlignLeft) |
                              Qt::AlignVCenter | Qt::TextSingleLine;
            p.drawText(QRect(4, y, width - 8, kLineHeight * it.high), flags,
                       QString::fromStdString(it.text));
            y += kLineHeight * it.high;
        } else if (it.kind == Item::Raster) {
            const int cols = static_cast<int>(it.columns.size() / 3);
            int x0 = it.align == 1 ? (width - cols) / 2 : it.align == 2 ? width - cols : 0;
            for (int cx = 0; cx < cols; ++cx)
                for (int bit = 0; bit < 24; ++bit)
                    if (it.columns[size_t(cx) * 3 + bit / 8] & (0x80 >> (bit % 8)))
                        img.setPixel(std::clamp(x0 + cx, 0, width - 1),
                                     std::min(y + bit, height - 1), 0);
            y += 24;
        } else if (it.kind == Item::Bar) {
            // Bars drawn from the data bytes: enough to see where the barcode is and how wide.
            const int bw = std::min(width - 16, static_cast<int>(it.text.size()) * 11 + 44);
            int x = it.align == 1 ? (width - bw) / 2 : it.align == 2 ? width - bw : 8;
            const int end = x + bw;
            unsigned seed = 0x9E37u;
            for (char ch : it.text) seed = seed * 31 + static_cast<uint8_t>(ch);
            while (x < end) {
                seed = seed * 1103515245u + 12345u;
                const int w = 2 + int((seed >> 16) % 3) * 2;
                p.fillRect(QRect(x, y + 4, std::min(w, end - x), 56), Qt::black);
                x += w + 2 + int((seed >> 20) % 3) * 2;
            }
            y += 72;
        } else {
            y += kLineHeight * it.lines;
        }
    }
    return img.copy(0, 0, width, std::min(height, y + 16));
}

}  // namespace tendrix::settings
