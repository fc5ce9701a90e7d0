#pragma once
// The selection windows: CCaptureDlg ("MainCaptureWindow", "CaptureDesktopDlg.xml"), the
// dimmed full-screen window for marking rectangles, and CCaptureDlgByHwnd
// ("MainCaptureByHwndWindow", "CaptureByHwndDlg.xml"), the frame that follows the pointer.
// Both are thin: the logic is in capture_selection.h. Every press goes to the window (the
// controls let mouse input through) so that the hit tests decide, buttons first.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "capture/selection/capture_selection.h"
#include "desktop/desktop_services.h"
#include "ui/window.h"

namespace tendrix::capture {
class OcrPlugin;
}  // namespace tendrix::capture

namespace tendrix::desktop {
class DesktopServices;
}  // namespace tendrix::desktop

namespace tendrix::store {
class Settings;
}  // namespace tendrix::store

namespace tendrix::capture::selection {

class CCaptureDlg : public ui::Window {
    Q_OBJECT
  public:
    static constexpr const char* kWindowName = "MainCaptureWindow";
    static constexpr const char* kEscapeAtom = "ESCCUTSCREEN";

    // desktop may be null (no global Escape hotkey then; the key still works when focused).
    // plugin_dir: where the recognition library is when it is not beside the program.
    CCaptureDlg(store::Settings& settings, desktop::DesktopServices* desktop,
                QWidget* parent = nullptr, const std::string& plugin_dir = {});
    ~CCaptureDlg() override;
    bool Build();

    void SetMessageHandler(std::function<void(const QString&)> h) { message_ = std::move(h); }
    const selection::CaptureSelection& Logic() const { return *logic_; }

    // Input at a screen point (the mouse handlers call these; tests may too).
    void PressLeft(QPoint screen);
    void MovePointer(QPoint screen);
    void ReleaseLeft(QPoint screen);

    // The recognition preview of the drawn rectangle ("识别预览：36.50"), read from the screen
    // as it was when the window opened; empty until the first reading.
    const QString& Preview() const { return preview_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Apply(const selection::SelectionEffect& e);
    void Sync();
    void RequestPreview();

    store::Settings& settings_;
    desktop::DesktopServices* desktop_;
    std::unique_ptr<selection::CaptureSelection> logic_;
    std::function<void(const QString&)> message_;
    bool hotkey_ = false;
    std::shared_ptr<const desktop::ScreenImage> snapshot_;
    std::shared_ptr<capture::OcrPlugin> plugin_;
    std::string plugin_dir_;
    bool preview_pending_ = false;
    desktop::ScreenRect preview_rect_;
    QString preview_;
};

class CCaptureDlgByHwnd : public ui::Window {
    Q_OBJECT
  public:
    static constexpr const char* kWindowName = "MainCaptureByHwndWindow";

    CCaptureDlgByHwnd(store::Settings& settings, desktop::DesktopServices& desktop,
                      QWidget* parent = nullptr);
    ~CCaptureDlgByHwnd() override;
    bool Build();

    void SetMessageHandler(std::function<void(const QString&)> h) { message_ = std::move(h); }
    const selection::HwndPointPicker& Logic() const { return *logic_; }
    // One tick of timer 76 (the timer calls it).
    void Tick();
    void PressLeft(QPoint screen);

    void Notify(const ui::Notification& msg) override;
    // What "lab_text" says the point capture would read at the marker.
    QString ShownText() const { return point_text_; }

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Sync();
    void RequestText();
    void ShowText();

    store::Settings& settings_;
    desktop::DesktopServices& desktop_;
    std::unique_ptr<selection::HwndPointPicker> logic_;
    std::function<void(const QString&)> message_;
    bool hotkey_ = false;
    bool text_pending_ = false;
    std::shared_ptr<std::atomic<bool>> text_job_running_ = std::make_shared<std::atomic<bool>>();
    desktop::ScreenPoint text_point_{-1, -1};
    desktop::WindowId text_window_ = 0;
    QString point_text_;
    QString saved_note_;
};

// Run the windows modally, each at most once at a time (a second call returns false).
bool RunCaptureDlg(store::Settings& settings, QWidget* owner = nullptr,
                   desktop::DesktopServices* desktop = nullptr, const std::string& plugin_dir = {});
bool RunCaptureDlgByHwnd(store::Settings& settings, desktop::DesktopServices& desktop,
                         QWidget* owner = nullptr);

}  // namespace tendrix::capture::selection
