#pragma once
// A DesktopServices that records what it is asked to do and answers from a scripted
// desktop (windows, cursor, screen picture, hotkeys taken by other programs) on a 1366x768
// screen with a 40-pixel task bar. For tests of code that drives the desktop; safe to use from
// several threads.
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix {

class RecordingDesktop final : public desktop::DesktopServices {
    using Lock = std::lock_guard<std::mutex>;

  public:
    // One recorded action, rendered as text so tests compare whole sequences:
    // "move x,y", "down L|R", "up L|R", "key+ <vk>", "key- <vk>", "type <utf8>",
    // "foreground <id>".
    std::vector<std::string> Log() const {
        Lock lock(mu_);
        return log_;
    }
    void ClearLog() {
        Lock lock(mu_);
        log_.clear();
    }

    // Scripted desktop.
    void SetCursor(desktop::ScreenPoint p) {
        Lock lock(mu_);
        cursor_ = p;
    }
    // Adds a window; windows added later lie above earlier ones.
    void AddWindow(desktop::WindowId id, desktop::ScreenRect rect, std::string text) {
        Lock lock(mu_);
        windows_.push_back({id, rect, std::move(text)});
    }
    // The picture CaptureRect crops from (its pixel (0,0) is the screen's top-left).
    void SetScreenImage(desktop::ScreenImage image) {
        Lock lock(mu_);
        image_ = std::move(image);
    }
    // Makes a key combination unavailable, as if another program held it.
    void TakeHotKey(unsigned modifiers, int vk) {
        Lock lock(mu_);
        taken_.emplace_back(modifiers, vk);
    }
    // Queues a press of a registered hotkey; ProcessEvents delivers it. False if no atom.
    bool PressHotKey(const std::string& atom) {
        Lock lock(mu_);
        if (!hotkeys_.count(atom)) return false;
        pressed_.push_back(atom);
        return true;
    }
    bool IsRegistered(const std::string& atom) const {
        Lock lock(mu_);
        return hotkeys_.count(atom) > 0;
    }

    desktop::ScreenPoint CursorPos() override {
        Lock lock(mu_);
        return cursor_;
    }
    void MoveCursor(desktop::ScreenPoint p) override {
        Lock lock(mu_);
        cursor_ = p;
        log_.push_back("move " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void MouseDown(desktop::MouseButton b) override {
        Record(b == desktop::MouseButton::Left ? "down L" : "down R");
    }
    void MouseUp(desktop::MouseButton b) override {
        Record(b == desktop::MouseButton::Left ? "up L" : "up R");
    }
    void KeyDown(int vk) override { Record("key+ " + std::to_string(vk)); }
    void KeyUp(int vk) override { Record("key- " + std::to_string(vk)); }
    void TypeText(const std::string& utf8) override { Record("type " + utf8); }
    desktop::WindowId WindowAt(desktop::ScreenPoint p) override {
        Lock lock(mu_);
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
            const desktop::ScreenRect& r = it->rect;
            if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return it->id;
        }
        return 0;
    }
    std::string WindowText(desktop::WindowId w) override { return Find(w).text; }
    desktop::ScreenRect WindowRect(desktop::WindowId w) override { return Find(w).rect; }
    desktop::WindowId ForegroundWindow() override {
        Lock lock(mu_);
        return foreground_;
    }
    void BringToForeground(desktop::WindowId w) override {
        Lock lock(mu_);
        foreground_ = w;
        log_.push_back("foreground " + std::to_string(w));
    }
    bool RegisterHotKey(const std::string& atom, unsigned modifiers, int vk,
                        std::function<void()> on_press) override {
        Lock lock(mu_);
        hotkeys_.erase(atom);
        if (std::find(taken_.begin(), taken_.end(), std::make_pair(modifiers, vk)) != taken_.end())
            return false;
        for (const auto& [name, hk] : hotkeys_)
            if (hk.modifiers == modifiers && hk.vk == vk) return false;
        hotkeys_[atom] = {modifiers, vk, std::move(on_press)};
        return true;
    }
    void UnregisterHotKey(const std::string& atom) override {
        Lock lock(mu_);
        hotkeys_.erase(atom);
    }
    void ProcessEvents() override {
        std::vector<std::function<void()>> fired;
        {
            Lock lock(mu_);
            for (const auto& atom : pressed_)
                if (auto it = hotkeys_.find(atom); it != hotkeys_.end())
                    fired.push_back(it->second.on_press);
            pressed_.clear();
        }
        for (auto& f : fired) f();
    }
    desktop::ScreenRect ScreenSize() override { return {0, 0, 1366, 768}; }
    desktop::ScreenRect WorkArea() override { return {0, 0, 1366, 728}; }
    desktop::ScreenImage CaptureRect(const desktop::ScreenRect& r) override {
        Lock lock(mu_);
        const desktop::ScreenRect c{std::max(r.left, 0), std::max(r.top, 0),
                                    std::min(r.right, image_.width),
                                    std::min(r.bottom, image_.height)};
        if (c.empty()) return {};
        desktop::ScreenImage out;
        out.width = c.width();
        out.height = c.height();
        out.bgra.resize(static_cast<size_t>(out.width) * out.height * 4);
        for (int y = 0; y < out.height; ++y) {
            std::memcpy(
                out.bgra.data() + static_cast<size_t>(y) * out.width * 4,
                image_.bgra.data() + (static_cast<size_t>(c.top + y) * image_.width + c.left) * 4,
                static_cast<size_t>(out.width) * 4);
        }
        return out;
    }

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
    void Record(std::string entry) {
        Lock lock(mu_);
        log_.push_back(std::move(entry));
    }
    Window Find(desktop::WindowId w) const {
        Lock lock(mu_);
        for (const auto& win : windows_)
            if (win.id == w) return win;
        return {};
    }

    mutable std::mutex mu_;
    std::vector<std::string> log_;
    desktop::ScreenPoint cursor_;
    std::vector<Window> windows_;
    desktop::WindowId foreground_ = 0;
    desktop::ScreenImage image_;
    std::vector<std::pair<unsigned, int>> taken_;
    std::map<std::string, HotKey> hotkeys_;
    std::vector<std::string> pressed_;
};

}  // namespace tendrix
