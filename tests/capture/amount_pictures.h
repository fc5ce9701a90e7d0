#pragma once
// Amount pictures rendered with Qt for the recognition tests and the benchmarks: a POS-like
// screen rectangle holding one amount text in a given font, size and colours.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix::test {

using namespace tendrix::desktop;

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
    QFont::Weight weight = QFont::Normal;
    QColor ink = Qt::black;
    QColor paper = Qt::white;
    int pad_x = 8;  // margin around the text inside the rectangle
    int pad_y = 6;
};

// Renders `utf8` as a screen copy (BGRA) of a rectangle just around the text.
inline ScreenImage RenderAmountPicture(const std::string& utf8, const PictureStyle& style) {
    EnsureGuiApp();
    QFont font(style.family);
    font.setPixelSize(style.pixel_size);
    font.setWeight(style.weight);
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

// A white screen of w x h with `picture` at (x, y).
inline ScreenImage ScreenWith(const ScreenImage& picture, int x, int y, int w, int h) {
    ScreenImage screen;
    screen.width = w;
    screen.height = h;
    screen.bgra.assign(static_cast<size_t>(w) * h * 4, 255);
    for (int row = 0; row < picture.height; ++row)
        std::memcpy(&screen.bgra[(static_cast<size_t>(y + row) * w + x) * 4],
                    &picture.bgra[static_cast<size_t>(row) * picture.width * 4],
                    static_cast<size_t>(picture.width) * 4);
    return screen;
}

}  // namespace tendrix::test
