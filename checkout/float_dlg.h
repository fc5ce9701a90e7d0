#pragma once
// CFloatDlg: the small always-on-top button over the POS program that shows the amount last
// captured and opens the main window when clicked. It never takes the focus; every 10 s
// (timer 84) it re-asserts its place on top and hands the activation back.
#include <functional>

#include "ui/window.h"

class QPushButton;

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::checkout {

class CFloatDlg : public ui::Window {
    Q_OBJECT
  public:
    static constexpr int kReassertTimer = 84;
    static constexpr int kReassertMs = 10000;

    // `on_click`: the tray left click of the main window. `is_own_window(id)` tells the
    // system's own windows apart; `activate_main`: activates the main window when visible and
    // returns false when it is hidden.
    CFloatDlg(context::AppConfig* config, desktop::DesktopServices* desktop,
              std::function<void()> on_click, std::function<bool()> activate_main = {});

    // Command 2: opacity 0-255; places the window at the stored position or, when both are 0,
    // at the right edge a tenth of the work area's height from the top.
    void ApplyOpacity(int alpha);
    // Commands 3 and 12.
    void ShowAmount(const QString& amount);
    QString Amount() const;
    // Tray "退出": the window's left and top into the company information file.
    bool SavePosition();

    int opacity() const { return opacity_; }
    QPoint DefaultPosition() const;

    void Notify(const ui::Notification& msg) override;

  private:
    void Reassert();

    context::AppConfig* config_;
    desktop::DesktopServices* desktop_;
    std::function<void()> on_click_;
    std::function<bool()> activate_main_;
    QPushButton* btn_openmain_ = nullptr;
    int opacity_ = 0;
};

}  // namespace tendrix::checkout
