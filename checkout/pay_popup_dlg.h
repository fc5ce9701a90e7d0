#pragma once
// CPayPopupDlg: the result popup in the bottom-right corner of the work area. Shown without
// activation with the result, a caption and the amount, and a picture for the result; timer 27
// (1 s) blanks the picture and then hides it.
#include "checkout/checkout_pages.h"
#include "ui/window.h"

class QLabel;
class QPushButton;

namespace tendrix::checkout {

class CPayPopupDlg : public ui::Window, public PaymentPopupView {
    Q_OBJECT
  public:
    static constexpr int kDisplayTimer = 27;
    static constexpr int kDisplayMs = 1000;

    CPayPopupDlg();

    void ShowResult(const QString& result, const QString& amount) override;
    void ShowText(const QString& text) override;
    bool IsPopupVisible() const override { return isVisible(); }

    // Bottom-right of the work area.
    void PlaceBottomRight();

    QString ResultText() const;
    QString MoneyText() const;
    QString Picture() const { return picture_; }  // relative skin path, e.g. image/paysuccelab.png
    static int TickCounter();

    void Notify(const ui::Notification& msg) override;

  private:
    void SetPicture(const QString& relative);
    void Tick();

    QLabel* result_ = nullptr;
    QLabel* money_ = nullptr;
    QLabel* image_ = nullptr;
    QString caption_;
    QString picture_;
};

}  // namespace tendrix::checkout
