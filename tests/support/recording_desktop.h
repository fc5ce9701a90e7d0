#pragma once
// A DesktopServices that records what it is asked to do and answers from a scripted
// desktop (windows, cursor, screen picture, hotkeys taken by other programs). For tests of
// code that drives the desktop; safe to use from several threads.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix {

class RecordingDesktop final : public desktop::DesktopServices {
  public:
    // One recorded action, rendered as text so tests compare whole sequences:
    // "move x,y", "down L|R", "up L|R", "key+ <vk>", "key- <vk>", "type <utf8>",
    // "foreground <id>".
    std::vector<std::string> Log() const;
    void ClearLog();

    // Scripted desktop.
    void SetCursor(desktop::ScreenPoint p);
    // Adds a window; windows added later lie above earlier ones.
    void AddWindow(desktop::WindowId id, desktop::ScreenRect rect, std::string text);
    void SetForeground(desktop::WindowId id);
    void SetScreen(desktop::ScreenRect screen, desktop::ScreenRect work_area);
    // The picture CaptureRect crops from (its pixel (0,0) is the screen's top-left).
    void SetScreenImage(desktop::ScreenImage image);
    // Makes a key combination unavailable, as if another program held it.
    void TakeHotKey(unsigned modifiers, int vk);
    // Queues a press of a registered hotkey; ProcessEvents delivers it. False if no atom.
    bool PressHotKey(const std::string& atom);
    bool IsRegistered(const std::string& atom) const;

    desktop::ScreenPoint CursorPos() override;
    void MoveCursor(desktop::ScreenPoint p) override;
    void MouseDown(desktop::MouseButton b) override;
    void MouseUp(desktop::MouseButton b) override;
    void KeyDown(int vk) override;
    void KeyUp(int vk) override;
    void TypeText(const std::string& utf8) override;
    desktop::WindowId WindowAt(desktop::ScreenPoint p) override;
    std::string WindowText(desktop::WindowId w) override;
    desktop::ScreenRect WindowRect(desktop::WindowId w) override;
    desktop::WindowId ForegroundWindow() override;
    void BringToForeground(desktop::WindowId w) override;
    bool RegisterHotKey(const std::string& atom, unsigned modifiers, int vk,
                        std::function<void()> on_press) override;
    void UnregisterHotKey(const std::string& atom) override;
    void ProcessEvents() override;
    desktop::ScreenRect ScreenSize() override;
    desktop::ScreenRect WorkArea() override;
    desktop::ScreenImage CaptureRect(const desktop::ScreenRect& r) override;

  private:
    struct Window {
        desktop::WindowId id;
        desktop::ScreenRect rect;
        std::string text;
    };
    struct HotKey {
        unsigned modifiers;
        int vk;
        std::function<void()> on_press;
    };
    void Record(std::string entry);

    mutable std::mutex mu_;
    std::vector<std::string> log_;
    desktop::ScreenPoint cursor_;
    std::vector<Window> windows_;
    desktop::WindowId foreground_ = 0;
    desktop::ScreenRect screen_{0, 0, 1366, 768};
    desktop::ScreenRect work_area_{0, 0, 1366, 728};
    desktop::ScreenImage image_;
    std::vector<std::pair<unsigned, int>> taken_;
    std::map<std::string, HotKey> hotkeys_;
    std::vector<std::string> pressed_;
};

}  // namespace tendrix
