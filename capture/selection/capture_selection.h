#pragma once
// The logic of the two selection windows, without widgets.
//
// CaptureSelection: the full-screen dimmed window in which the cashier draws a rectangle and
// stores it as the amount field (sysPrintMoneyFocusPos), the recognition region
// (sysCutPicThemeMoney) or the focus-restore region (sysReductionFoucus). The window lies at
// (0, 0) over the whole screen, so its coordinates are screen coordinates.
//
// HwndPointPicker: the window that follows the pointer every 50 ms (timer 76), frames the
// window under it and stores the pointed place under sysGetMoneyFromHwnd. The point is kept
// in screen coordinates, which is what the capture worker reads it as. Its bar shows what the
// point capture would read at the pointer, and it stays open after a save so the cashier can
// check the result or pick again.
#include <array>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix::store {
class Settings;
}  // namespace tendrix::store

namespace tendrix::capture::selection {}

namespace tendrix::capture::selection {

// What one input did, for the window to carry out.
struct SelectionEffect {
    bool close = false;     // close (hide) the window
    std::string message;    // show in a box titled "提示"
    std::string saved_key;  // a key that was stored (with saved_value)
    std::string saved_value;
};

enum class SelectionState { MouseUp, MouseDown, MoveLabel };
const char* StateName(SelectionState s);  // "mouse_up", "mouse_down", "move_label"

class CaptureSelection {
  public:
    enum Button { SavePrint = 0, SaveDistinguish, Reduction, Cancel, kButtonCount };
    static const char* ButtonName(Button b);  // "btn_save_print", ...
    static const char* ButtonText(Button b);  // caption shown on the button

    static constexpr const char* kPrintOffText =
        "您在设置选项里未开启收款成功后的打印金额设置，请按下鼠标右键或按下ESC按键退出截屏！";
    static constexpr const char* kDistinguishOffText =
        "您在设置选项里金额识别未开启，请按下鼠标右键或按下ESC按键退出截屏！";
    static constexpr const char* kReductionOffText =
        "您在设置选项里焦点还原未开启，请按下鼠标右键或按下ESC按键退出截屏！";
    static constexpr const char* kSaveFailedText = "保存失败，无法写入设置数据库！";

    CaptureSelection(store::Settings& settings, desktop::ScreenRect screen);

    // Button sizes as the window draws them (default 150 x 32).
    void SetButtonSize(Button b, int width, int height);

    // Left button pressed at p: the button tests in order, then the rectangle test.
    std::vector<SelectionEffect> LeftDown(desktop::ScreenPoint p);
    void MouseMove(desktop::ScreenPoint p);
    void LeftUp(desktop::ScreenPoint p);
    // Enter activates btn_cancel; the right button and Escape close.
    SelectionEffect Enter();
    SelectionEffect RightDown();
    SelectionEffect Escape();

    SelectionState state() const { return state_; }
    const desktop::ScreenRect& caption() const { return caption_; }
    bool buttons_visible() const { return buttons_visible_; }
    const desktop::ScreenRect& ButtonRect(Button b) const { return buttons_[b]; }

  private:
    // Stores the rectangle under key unless gate_key holds off_value (then off_text is shown).
    SelectionEffect Store(const char* key, const char* gate_key, const char* off_value,
                          const char* off_text);
    void PlaceButtons();

    store::Settings& settings_;
    desktop::ScreenRect screen_;
    SelectionState state_ = SelectionState::MouseUp;
    desktop::ScreenRect caption_;
    desktop::ScreenPoint anchor_;       // press point (mouse_down)
    desktop::ScreenPoint grab_offset_;  // press point minus caption's top-left (move_label)
    bool buttons_visible_ = false;
    std::array<desktop::ScreenRect, kButtonCount> buttons_{};
    std::array<desktop::ScreenPoint, kButtonCount> sizes_{};
};

class HwndPointPicker {
  public:
    enum Button { SaveCatch = 0, CloseCatch, Cancel, kButtonCount };
    static const char* ButtonName(Button b);  // "btn_save_catch", ...
    static const char* ButtonText(Button b);
    static constexpr int kTimerId = 76;
    static constexpr int kTimerMs = 50;
    static constexpr int kButtonRowHeight = 36;
    static constexpr int kTextRowHeight = 22;
    static constexpr int kBarHeight = kButtonRowHeight + kTextRowHeight;
    static constexpr const char* kSaveFailedText = "保存失败，无法写入设置数据库！";

    HwndPointPicker(store::Settings& settings, desktop::DesktopServices& desktop);
    // The picker's own window, skipped when it lies under the pointer.
    void SetSelfWindow(desktop::WindowId self) { self_ = self; }

    // One tick of timer 76. Returns true when the frame or the marker moved.
    bool Tick();
    // Left button at a screen point.
    SelectionEffect LeftDown(desktop::ScreenPoint p);
    SelectionEffect RightDown() { return {true, {}, {}, {}}; }

    bool visible() const { return visible_; }
    // The framed window's rectangle (screen coordinates).
    const desktop::ScreenRect& target() const { return target_; }
    // The whole picker window: the framed rectangle and the button bar.
    const desktop::ScreenRect& window() const { return window_; }
    // "lab_capture": 2 x 2 box around the pointed place (screen coordinates).
    const desktop::ScreenRect& marker() const { return marker_; }
    const desktop::ScreenRect& ButtonRect(Button b) const { return buttons_[b]; }
    // The point btn_save_catch stores: the centre of the marker.
    desktop::ScreenPoint ChosenPoint() const { return marker_.centre(); }
    // The framed top-level window (0 before the first frame).
    desktop::WindowId target_window() const { return target_window_; }
    // "lab_text": the row under the buttons that shows what the point capture would read at
    // the marker.
    const desktop::ScreenRect& TextRect() const { return text_; }

  private:
    void Layout();

    store::Settings& settings_;
    desktop::DesktopServices& desktop_;
    desktop::WindowId self_ = 0;
    bool visible_ = false;
    desktop::ScreenRect target_;
    desktop::ScreenRect window_;
    desktop::ScreenRect marker_;
    desktop::WindowId target_window_ = 0;
    std::array<desktop::ScreenRect, kButtonCount> buttons_{};
    desktop::ScreenRect text_;
};

// What the pointer picker shows about the text at the marker: where the text comes from, the
// text and the amount the point capture takes from it, e.g.
// "控件文字：合计 36.50 → 金额 36.50" or "窗口标题：收银 V2.3 店号 0017 → 无金额".
// Long texts are cut to 40 characters.
std::string DescribePointText(const desktop::PointText& text, const std::string& amount);

}  // namespace tendrix::capture::selection
