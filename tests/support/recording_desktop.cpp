#include "tests/support/recording_desktop.h"

#include <algorithm>
#include <cstring>

namespace tendrix {

std::vector<std::string> RecordingDesktop::Log() const {
    std::lock_guard<std::mutex> lock(mu_);
    return log_;
}

void RecordingDesktop::ClearLog() {
    std::lock_guard<std::mutex> lock(mu_);
    log_.clear();
}

void RecordingDesktop::Record(std::string entry) {
    log_.push_back(std::move(entry));
}

void RecordingDesktop::SetCursor(desktop::ScreenPoint p) {
    std::lock_guard<std::mutex> lock(mu_);
    cursor_ = p;
}

void RecordingDesktop::AddWindow(desktop::WindowId id, desktop::ScreenRect rect, std::string text) {
    std::lock_guard<std::mutex> lock(mu_);
    windows_.push_back({id, rect, std::move(text)});
}

void RecordingDesktop::SetForeground(desktop::WindowId id) {
    std::lock_guard<std::mutex> lock(mu_);
    foreground_ = id;
}

void RecordingDesktop::SetScreen(desktop::ScreenRect screen, desktop::ScreenRect work_area) {
    std::lock_guard<std::mutex> lock(mu_);
    screen_ = screen;
    work_area_ = work_area;
}

void RecordingDesktop::SetScreenImage(desktop::ScreenImage image) {
    std::lock_guard<std::mutex> lock(mu_);
    image_ = std::move(image);
}

void RecordingDesktop::TakeHotKey(unsigned modifiers, int vk) {
    std::lock_guard<std::mutex> lock(mu_);
    taken_.emplace_back(modifiers, vk);
}

bool RecordingDesktop::PressHotKey(const std::string& atom) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!hotkeys_.count(atom)) return false;
    pressed_.push_back(atom);
    return true;
}

bool RecordingDesktop::IsRegistered(const std::string& atom) const {
    std::lock_guard<std::mutex> lock(mu_);
    return hotkeys_.count(atom) > 0;
}

desktop::ScreenPoint RecordingDesktop::CursorPos() {
    std::lock_guard<std::mutex> lock(mu_);
    return cursor_;
}

void RecordingDesktop::MoveCursor(desktop::ScreenPoint p) {
    std::lock_guard<std::mutex> lock(mu_);
    cursor_ = p;
    Record("move " + std::to_string(p.x) + "," + std::to_string(p.y));
}

void RecordingDesktop::MouseDown(desktop::MouseButton b) {
    std::lock_guard<std::mutex> lock(mu_);
    Record(b == desktop::MouseButton::Left ? "down L" : "down R");
}

void RecordingDesktop::MouseUp(desktop::MouseButton b) {
    std::lock_guard<std::mutex> lock(mu_);
    Record(b == desktop::MouseButton::Left ? "up L" : "up R");
}

void RecordingDesktop::KeyDown(int vk) {
    std::lock_guard<std::mutex> lock(mu_);
    Record("key+ " + std::to_string(vk));
}

void RecordingDesktop::KeyUp(int vk) {
    std::lock_guard<std::mutex> lock(mu_);
    Record("key- " + std::to_string(vk));
}

void RecordingDesktop::TypeText(const std::string& utf8) {
    std::lock_guard<std::mutex> lock(mu_);
    Record("type " + utf8);
}

desktop::WindowId RecordingDesktop::WindowAt(desktop::ScreenPoint p) {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        const desktop::ScreenRect& r = it->rect;
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return it->id;
    }
    return 0;
}

std::string RecordingDesktop::WindowText(desktop::WindowId w) {
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& win : windows_) {
        if (win.id == w) return win.text;
    }
    return {};
}

desktop::ScreenRect RecordingDesktop::WindowRect(desktop::WindowId w) {
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& win : windows_) {
        if (win.id == w) return win.rect;
    }
    return {};
}

desktop::WindowId RecordingDesktop::ForegroundWindow() {
    std::lock_guard<std::mutex> lock(mu_);
    return foreground_;
}

void RecordingDesktop::BringToForeground(desktop::WindowId w) {
    std::lock_guard<std::mutex> lock(mu_);
    foreground_ = w;
    Record("foreground " + std::to_string(w));
}

bool RecordingDesktop::RegisterHotKey(const std::string& atom, unsigned modifiers, int vk,
                                      std::function<void()> on_press) {
    std::lock_guard<std::mutex> lock(mu_);
    hotkeys_.erase(atom);
    if (std::find(taken_.begin(), taken_.end(), std::make_pair(modifiers, vk)) != taken_.end())
        return false;
    for (const auto& [name, hk] : hotkeys_) {
        if (hk.modifiers == modifiers && hk.vk == vk) return false;
    }
    hotkeys_[atom] = {modifiers, vk, std::move(on_press)};
    return true;
}

void RecordingDesktop::UnregisterHotKey(const std::string& atom) {
    std::lock_guard<std::mutex> lock(mu_);
    hotkeys_.erase(atom);
}

void RecordingDesktop::ProcessEvents() {
    std::vector<std::function<void()>> fired;
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (const auto& atom : pressed_) {
            auto it = hotkeys_.find(atom);
            if (it != hotkeys_.end()) fired.push_back(it->second.on_press);
        }
        pressed_.clear();
    }
    for (auto& f : fired) f();
}

desktop::ScreenRect RecordingDesktop::ScreenSize() {
    std::lock_guard<std::mutex> lock(mu_);
    return screen_;
}

desktop::ScreenRect RecordingDesktop::WorkArea() {
    std::lock_guard<std::mutex> lock(mu_);
    return work_area_;
}

desktop::ScreenImage RecordingDesktop::CaptureRect(const desktop::ScreenRect& r) {
    std::lock_guard<std::mutex> lock(mu_);
    const desktop::ScreenRect c{std::max(r.left, 0), std::max(r.top, 0),
                                std::min(r.right, image_.width), std::min(r.bottom, image_.height)};
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

}  // namespace tendrix
