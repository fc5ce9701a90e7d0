#include "checkout/pages/qr_label.h"

#include <QPainter>

namespace tendrix::checkout {

QrLabel::QrLabel(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 160);
}

void QrLabel::SetLink(const QString& link, int number) {
    link_ = link;
    text_.clear();
    number_ = number;
    matrix_ = EncodeQr(link.toStdString());
    if (matrix_.width == 0) text_ = link;  // too long for a symbol: show the link itself
    update();
}

void QrLabel::SetText(const QString& text) {
    text_ = text;
    link_.clear();
    matrix_ = QrMatrix{};
    update();
}

void QrLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (matrix_.width > 0) {
        const int quiet = 4;  // modules of white border the symbology asks for
        const int modules = matrix_.width + 2 * quiet;
        const int side = std::min(width(), height());
        const int scale = std::max(1, side / modules);
        const int offset_x = (width() - scale * modules) / 2 + quiet * scale;
        const int offset_y = (height() - scale * modules) / 2 + quiet * scale;
        for (int y = 0; y < matrix_.width; ++y)
            for (int x = 0; x < matrix_.width; ++x)
                if (matrix_.At(x, y))
                    p.fillRect(offset_x + x * scale, offset_y + y * scale, scale, scale, Qt::black);
        return;
    }
    p.setPen(QColor(0x6b, 0x72, 0x80));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text_);
}

}  // namespace tendrix::checkout
