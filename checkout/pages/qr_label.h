#pragma once
// "QRLabel": the QR code area of the result page. Draws a link as a QR Code symbol (level H)
// with a quiet zone, or shows a plain text when there is nothing to pay.
#include <QString>
#include <QWidget>

#include "checkout/pages/qr_matrix.h"

namespace tendrix::checkout {

class QrLabel : public QWidget {
    Q_OBJECT
  public:
    explicit QrLabel(QWidget* parent = nullptr);
    void SetLink(const QString& link, int number);
    void SetText(const QString& text);
    const QString& link() const { return link_; }
    const QString& text() const { return text_; }
    int picture_number() const { return number_; }
    const QrMatrix& matrix() const { return matrix_; }
    QSize sizeHint() const override { return {220, 220}; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString link_;
    QString text_;
    int number_ = -1;
    QrMatrix matrix_;
};

}  // namespace tendrix::checkout
