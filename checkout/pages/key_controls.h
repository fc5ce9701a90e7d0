#pragma once
// The keypads: CKeyControls ("KeyControls", a control inside the pages, main-row digit keys)
// and CKeyWindow ("KeyWindow", a small window that never takes the focus, numeric-pad keys).
// Both use the layout keycontrol.xml. Each click reaches only the keypad that was clicked,
// so every click is acted upon (no shared click counter is needed).
#include "ui/window.h"

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::checkout {

class CKeyControls : public ui::Page {
    Q_OBJECT
  public:
    explicit CKeyControls(QWidget* parent = nullptr);
    void DoInit() override;
    void Notify(const ui::Notification& msg) override;
    void SetDesktop(desktop::DesktopServices* desktop) { desktop_ = desktop; }

  private:
    desktop::DesktopServices* desktop_ = nullptr;
};

class CKeyWindow : public ui::Window {
    Q_OBJECT
  public:
    // main_window: the window that receives command 14 (it implements CommandSink).
    CKeyWindow(context::AppConfig* config, QWidget* main_window, desktop::DesktopServices* desktop);
    void Notify(const ui::Notification& msg) override;

    static constexpr int kX = 400, kY = 150, kSize = 309;

  private:
    context::AppConfig* config_;
    QWidget* main_window_;
    desktop::DesktopServices* desktop_;
};

// Builds and initialises the keypad controls below `root` that are not built yet (pages
// inside pages are not reached by the window that hosts the outer page).
void BuildNestedPages(QWidget* root, desktop::DesktopServices* desktop);

}  // namespace tendrix::checkout
