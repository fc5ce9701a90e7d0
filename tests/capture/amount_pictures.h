#pragma once
// Amount pictures rendered with Qt for the recognition tests and the accuracy benchmark:
// a POS-like screen rectangle holding one amount text in a given font, size and colours.
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix::test {

// A QGuiApplication for font rendering (QT_QPA_PLATFORM=offscreen in tests).
inline void EnsureGuiApp() {
    if (QGuiApplication::instance()) return;
    static int argc = 1;
    static char name[] = "capture-test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    static QGuiApplication app(argc, argv);
}

struct PictureStyle {
    QString family;
    int pixel_size = 20;
    QColor ink = Qt::black;
    QColor paper = Qt::white;
    int pad_x = 8;  // margin around the text inside the rectangle
    int pad_y = 6;
};

// The families of the set that are installed (at least the four Debian base fonts).
inline std::vector<QString> InstalledAmountFonts() {
    EnsureGuiApp();
    const QStringList all = QFontDatabase::families();
    std::vector<QString> out;
    for (const char* f : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "WenQuanYi Micro Hei",
                          "Nimbus Sans", "Nimbus Roman", "Liberation Sans", "FreeSans"}) {
        if (all.contains(QString::fromUtf8(f))) out.push_back(QString::fromUtf8(f));
    }
    return out;
}

// Renders `utf8` as a screen copy (BGRA) of a rectangle just around the text.
inline ScreenImage RenderAmountPicture(const std::string& utf8, const PictureStyle& style) {
    EnsureGuiApp();
    QFont font(style.family);
    font.setPixelSize(style.pixel_size);
    font.setStyleStrategy(QFont::PreferAntialias);
    const QString text = QString::fromUtf8(utf8.c_str());
    const QFontMetrics fm(font);
    const int w = fm.horizontalAdvance(text) + 2 * style.pad_x;
    const int h = fm.height() + 2 * style.pad_y;
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(style.paper);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.setFont(font);
        p.setPen(style.ink);
        p.drawText(style.pad_x, style.pad_y + fm.ascent(), text);
    }
    ScreenImage out;
    out.width = w;
    out.height = h;
    out.bgra.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)  // Format_ARGB32 is B,G,R,A in memory on little-endian
        std::memcpy(out.bgra.data() + static_cast<size_t>(y) * w * 4, image.constScanLine(y),
                    static_cast<size_t>(w) * 4);
    return out;
}

// One picture of the generated set: the text shown and the amount the filter must yield.
struct AmountSample {
    std::string text;
    std::string expected;
    PictureStyle style;
};

// The accuracy set: `count` pictures cycling through the installed fonts, pixel sizes
// 12..32, six text forms (plain, currency sign, sign with thousands separators, Chinese
// label with separators, English label, Chinese unit after the amount) and four colour
// schemes, amounts drawn from a fixed seed.
inline std::vector<AmountSample> GenerateAmountSet(int count, unsigned seed = 20261206) {
    const std::vector<QString> fonts = InstalledAmountFonts();
    std::mt19937 rng(seed);
    std::vector<AmountSample> set;
    const struct {
        QColor ink, paper;
    } schemes[] = {{Qt::black, Qt::white},
                   {QColor(20, 20, 120), QColor(230, 230, 230)},
                   {Qt::white, Qt::black},
                   {QColor(255, 255, 0), QColor(0, 0, 110)}};
    for (int i = 0; i < count && !fonts.empty(); ++i) {
        // Amounts from 0.01 to 99999.99, spread over the magnitudes.
        const int digits = 1 + static_cast<int>(rng() % 5);
        long long whole = 0;
        for (int d = 0; d < digits; ++d) whole = whole * 10 + (d == 0 ? 1 + rng() % 9 : rng() % 10);
        if (rng() % 6 == 0) whole = 0;
        const int cents = static_cast<int>(rng() % 100);
        char plain[48];
        std::snprintf(plain, sizeof plain, "%lld.%02d", whole, cents);
        std::string grouped = std::to_string(whole);
        for (int at = static_cast<int>(grouped.size()) - 3; at > 0; at -= 3)
            grouped.insert(at, ",");
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%02d", cents);
        grouped += frac;

        AmountSample s;
        switch (i % 6) {
            case 0:
                s.text = plain;
                break;
            case 1:
                s.text = "¥" + std::string(plain);
                break;
            case 2:
                s.text = "¥ " + grouped;
                break;
            case 3:
                s.text = (i % 4 == 1 ? "合计: " : "应收金额 ") + grouped;
                break;
            case 4:
                s.text = "TOTAL " + std::string(plain);
                break;
            default:
                s.text = std::string(plain) + "元";
                break;
        }
        s.expected = plain;
        s.style.family = fonts[static_cast<size_t>(i) % fonts.size()];
        s.style.pixel_size = 12 + static_cast<int>((i * 13) % 21);
        const auto& scheme = schemes[(i / 6) % 4];
        s.style.ink = scheme.ink;
        s.style.paper = scheme.paper;
        set.push_back(s);
    }
    return set;
}

}  // namespace tendrix::test
