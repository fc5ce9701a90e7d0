#pragma once
// The operating-system services the checkout needs from the desktop: pointer and keyboard
// synthesis, windows under a point, global hotkeys, screen geometry and screen copies.
// Key numbers are Windows virtual-key codes everywhere (settings store them); the X11
// implementation maps them to keysyms. Implementations: X11 (desktop/x11_desktop.*) and a
// recording fake for tests (tests/support/recording_desktop.*).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tendrix::desktop {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return width() <= 0 || height() <= 0; }
    ScreenPoint centre() const { return {(left + right) / 2, (top + bottom) / 2}; }
    bool operator==(const ScreenRect&) const = default;
};

// A screen copy: 8-bit BGRA pixels, row after row (stride = width * 4).
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;
    bool empty() const { return width <= 0 || height <= 0; }
};

using WindowId = uint64_t;  // 0 = none

// The text shown at a screen point and where it came from.
struct PointText {
    enum class Source { None, Control, WindowTitle };
    Source source = Source::None;
    std::string text;        // UTF-8
    std::string role;        // the control's role ("label", "entry", ...); empty for a title
    bool timed_out = false;  // the program under the point did not answer in time
};

enum class MouseButton { Left, Right };

class DesktopServices {
  public:
    virtual ~DesktopServices() = default;

    // Pointer.
    virtual ScreenPoint CursorPos() = 0;
    virtual void MoveCursor(ScreenPoint p) = 0;
    virtual void MouseDown(MouseButton b) = 0;
    virtual void MouseUp(MouseButton b) = 0;
    void Click(MouseButton b = MouseButton::Left) {
        MouseDown(b);
        MouseUp(b);
    }

    // Keyboard, by Windows virtual-key code.
    virtual void KeyDown(int vk) = 0;
    virtual void KeyUp(int vk) = 0;
    void KeyPress(int vk) {
        KeyDown(vk);
        KeyUp(vk);
    }
    // Types text into the focused window (characters without a virtual key are skipped).
    virtual void TypeText(const std::string& utf8) = 0;

    // Windows.
    virtual WindowId WindowAt(ScreenPoint p) = 0;    // top-level window under a point
    virtual std::string WindowText(WindowId w) = 0;  // its title / text, UTF-8
    virtual ScreenRect WindowRect(WindowId w) = 0;
    // The text at a screen point: the text of the control under it when its program publishes
    // one (accessibility bus), else the title of the top-level window there.
    PointText TextAt(ScreenPoint p) { return TextIn(WindowAt(p), p); }
    // The same in a known top-level window `w` (0: none known), for when another window covers
    // the point, e.g. the pointer picker's own frame. This default has no controls to ask and
    // reads the title.
    virtual PointText TextIn(WindowId w, ScreenPoint p) {
        (void)p;
        PointText t;
        if (w) t.text = WindowText(w);
        if (!t.text.empty()) t.source = PointText::Source::WindowTitle;
        return t;
    }
    virtual WindowId ForegroundWindow() = 0;
    virtual void BringToForeground(WindowId w) = 0;  // raise, activate and focus

    // Global hotkeys: `atom` names the registration (e.g. "SHOWHIDE"); `modifiers` are the
    // Windows MOD_ bits (1 Alt, 2 Control, 4 Shift). False when the key is taken.
    virtual bool RegisterHotKey(const std::string& atom, unsigned modifiers, int vk,
                                std::function<void()> on_press) = 0;
    virtual void UnregisterHotKey(const std::string& atom) = 0;
    // Delivers pending hotkey presses (call from the UI thread, e.g. every timer tick).
    virtual void ProcessEvents() = 0;

    // Screen.
    virtual ScreenRect ScreenSize() = 0;
    virtual ScreenRect WorkArea() = 0;
    virtual ScreenImage CaptureRect(const ScreenRect& r) = 0;
};

// Windows virtual-key codes the program names.
namespace vk {
inline constexpr int kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11,
                     kMenu = 0x12, kEscape = 0x1B, kSpace = 0x20, kPrior = 0x21, kNext = 0x22,
                     kEnd = 0x23, kHome = 0x24, kLeft = 0x25, kUp = 0x26, kRight = 0x27,
                     kDown = 0x28, kDelete = 0x2E, kNumpad0 = 0x60, kDecimal = 0x6E, kF1 = 0x70,
                     kF12 = 0x7B;
}  // namespace vk

// The X11 desktop of $DISPLAY; nullptr when no display can be opened.
std::unique_ptr<DesktopServices> CreateX11Desktop();

}  // namespace tendrix::desktop
