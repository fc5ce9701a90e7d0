#include "capture/selection/capture_selection.h"

#include <algorithm>

#include "capture/selection/selection_geometry.h"
#include "store/settings.h"
#include "store/settings_keys.h"

namespace tendrix::capture::selection {

const char* StateName(SelectionState s) {
    switch (s) {
        case SelectionState::MouseDown:
            return "mouse_down";
        case SelectionState::MoveLabel:
            return "move_label";
        default:
            return "mouse_up";
    }
}

// ---- CaptureSelection ----

const char* CaptureSelection::ButtonName(Button b) {
    static const char* names[] = {"btn_save_print", "btn_save_distinguish", "btn_reduction",
                                  "btn_cancel"};
    return names[b];
}

const char* CaptureSelection::ButtonText(Button b) {
    static const char* texts[] = {"设为金额输入位置", "设为金额识别区域", "设为焦点还原位置",
                                  "取消"};
    return texts[b];
}

CaptureSelection::CaptureSelection(store::Settings& settings, desktop::ScreenRect screen)
    : settings_(settings), screen_(screen) {
    for (auto& s : sizes_) s = {150, 32};
    sizes_[Cancel] = {80, 32};
}

void CaptureSelection::SetButtonSize(Button b, int width, int height) {
    sizes_[b] = {std::max(1, width), std::max(1, height)};
}

SelectionEffect CaptureSelection::Store(const char* key, const char* gate_key,
                                        const char* off_value, const char* off_text) {
    SelectionEffect e;
    if (settings_.Get(gate_key) == off_value) {
        e.message = off_text;
        return e;
    }
    std::string value = desktop::FormatRect(caption_);
    // A failed write keeps the window open with the reason; nothing counts as saved.
    switch (settings_.StoreOne(key, value)) {
        case store::Settings::SaveOneResult::kSaved:
            break;
        case store::Settings::SaveOneResult::kSwitchedOff:
            e.message = off_text;
            return e;
        default:
            e.message = kSaveFailedText;
            return e;
    }
    e.saved_key = key;
    e.saved_value = value;
    return e;
}

std::vector<SelectionEffect> CaptureSelection::LeftDown(desktop::ScreenPoint p) {
    std::vector<SelectionEffect> effects;
    bool any_button = false;
    auto hit = [&](Button b) { return buttons_visible_ && StrictlyInside(buttons_[b], p); };
    if (hit(Cancel)) {
        any_button = true;
        effects.push_back({true, {}, {}, {}});
    }
    if (hit(SavePrint)) {
        any_button = true;
        effects.push_back(Store(store::keys::sysPrintMoneyFocusPos,
                                store::keys::sysPrintMoneyProgram, store::keys::kNone,
                                kPrintOffText));
    }
    if (hit(SaveDistinguish)) {
        any_button = true;
        effects.push_back(Store(store::keys::sysCutPicThemeMoney, store::keys::sysCutPicThemeMoney,
                                store::keys::kFalse, kDistinguishOffText));
    }
    if (hit(Reduction)) {
        any_button = true;
        effects.push_back(Store(store::keys::sysReductionFoucus, store::keys::sysReductionFoucus,
                                store::keys::kFalse, kReductionOffText));
    }
    if (!any_button && StrictlyInside(caption_, p)) {
        state_ = SelectionState::MoveLabel;
        grab_offset_ = {p.x - caption_.left, p.y - caption_.top};
        buttons_visible_ = false;
        return effects;
    }
    state_ = SelectionState::MouseDown;
    anchor_ = p;
    caption_ = {p.x, p.y, p.x, p.y};
    buttons_visible_ = false;
    return effects;
}

void CaptureSelection::MouseMove(desktop::ScreenPoint p) {
    // Keep the pointer on the screen so a drag past the edge gives a rectangle that exists.
    p.x = std::clamp(p.x, screen_.left, std::max(screen_.left, screen_.right - 1));
    p.y = std::clamp(p.y, screen_.top, std::max(screen_.top, screen_.bottom - 1));
    if (state_ == SelectionState::MouseDown) {
        caption_ = Normalised(anchor_, p);
    } else if (state_ == SelectionState::MoveLabel) {
        int w = caption_.width(), h = caption_.height();
        int left = std::clamp(p.x - grab_offset_.x, screen_.left, screen_.right - w);
        int top = std::clamp(p.y - grab_offset_.y, screen_.top, screen_.bottom - h);
        caption_ = {left, top, left + w, top + h};
    }
}

void CaptureSelection::LeftUp(desktop::ScreenPoint p) {
    if (state_ == SelectionState::MouseUp) return;
    MouseMove(p);
    state_ = SelectionState::MouseUp;
    PlaceButtons();
    buttons_visible_ = true;
}

SelectionEffect CaptureSelection::Enter() {
    return {true, {}, {}, {}};
}
SelectionEffect CaptureSelection::RightDown() {
    return {true, {}, {}, {}};
}
SelectionEffect CaptureSelection::Escape() {
    return {true, {}, {}, {}};
}

void CaptureSelection::PlaceButtons() {
    constexpr int kGap = 6;
    int total = 0, height = 0;
    for (const auto& s : sizes_) {
        total += s.x + kGap;
        height = std::max(height, s.y);
    }
    total -= kGap;
    int y = caption_.bottom + kGap;                                                   // below
    if (y + height > screen_.bottom) y = caption_.top - kGap - height;                // above
    if (y < screen_.top) y = std::max(screen_.top, caption_.bottom - kGap - height);  // inside
    int x = std::clamp(caption_.right - total, screen_.left,
                       std::max(screen_.left, screen_.right - total));
    for (int b = 0; b < kButtonCount; ++b) {
        buttons_[b] = {x, y, x + sizes_[b].x, y + sizes_[b].y};
        x += sizes_[b].x + kGap;
    }
}

// ---- HwndPointPicker ----

const char* HwndPointPicker::ButtonName(Button b) {
    static const char* names[] = {"btn_save_catch", "btn_close_catch", "btn_cancel"};
    return names[b];
}

const char* HwndPointPicker::ButtonText(Button b) {
    static const char* texts[] = {"保存此位置", "关闭窗口取金额", "取消"};
    return texts[b];
}

HwndPointPicker::HwndPointPicker(store::Settings& settings, desktop::DesktopServices& desktop)
    : settings_(settings), desktop_(desktop) {}

bool HwndPointPicker::Tick() {
    desktop::ScreenPoint p = desktop_.CursorPos();
    desktop::ScreenRect marker{p.x - 1, p.y - 1, p.x + 1, p.y + 1};
    if (visible_ && p.x >= window_.left && p.x < window_.right && p.y >= window_.top &&
        p.y < window_.bottom) {
        // Over our own window: the framed window stays; the marker follows inside it, and
        // stays put while the pointer is on the button bar.
        if (!StrictlyInside(target_, p) || marker == marker_) return false;
        marker_ = marker;
        return true;
    }
    desktop::WindowId w = desktop_.WindowAt({p.x - 2, p.y - 2});
    if (w == 0 || w == self_) return false;
    desktop::ScreenRect r = desktop_.WindowRect(w);
    if (r.empty()) return false;
    bool changed = !visible_ || !(r == target_) || !(marker == marker_) || w != target_window_;
    target_window_ = w;
    target_ = r;
    marker_ = marker;
    visible_ = true;
    Layout();
    return changed;
}

void HwndPointPicker::Layout() {
    constexpr int kButtonWidth = 120, kGap = 4;
    const int bar_width = kButtonCount * (kButtonWidth + kGap) + kGap;
    desktop::ScreenRect screen = desktop_.ScreenSize();
    desktop::ScreenRect bar;
    bar.left =
        std::clamp(target_.left, screen.left, std::max(screen.left, screen.right - bar_width));
    bar.right = bar.left + bar_width;
    if (target_.bottom + kBarHeight <= screen.bottom || screen.empty()) {
        bar.top = target_.bottom;
    } else if (target_.top - kBarHeight >= screen.top) {
        bar.top = target_.top - kBarHeight;
    } else {
        bar.top = target_.bottom - kBarHeight;  // a window filling the screen: bar inside it
    }
    bar.bottom = bar.top + kBarHeight;
    window_ = {std::min(target_.left, bar.left), std::min(target_.top, bar.top),
               std::max(target_.right, bar.right), std::max(target_.bottom, bar.bottom)};
    int x = bar.left + kGap;
    for (auto& b : buttons_) {
        b = {x, bar.top + kGap, x + kButtonWidth, bar.top + kButtonRowHeight - kGap};
        x += kButtonWidth + kGap;
    }
    text_ = {bar.left + kGap, bar.top + kButtonRowHeight, bar.right - kGap, bar.bottom - 2};
}

std::string DescribePointText(const desktop::PointText& text, const std::string& amount) {
    std::string shown = text.text;
    // Cut after 40 characters (UTF-8 lead bytes), so a long text cannot push the amount away.
    size_t chars = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        if ((static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80 && ++chars > 40) {
            shown = shown.substr(0, i) + "…";
            break;
        }
    }
    std::string out;
    switch (text.source) {
        case desktop::PointText::Source::Control:
            out = "控件文字：" + shown;
            break;
        case desktop::PointText::Source::WindowTitle:
            out = "窗口标题：" + shown;
            break;
        default:
            out = "此处没有可读的文字";
            break;
    }
    out += amount.empty() ? " → 无金额" : " → 金额 " + amount;
    if (text.timed_out) out += "（程序未及时应答）";
    return out;
}

SelectionEffect HwndPointPicker::LeftDown(desktop::ScreenPoint p) {
    SelectionEffect e;
    if (!visible_) return e;
    auto store = [&](const std::string& value) {
        if (settings_.StoreOne(store::keys::sysGetMoneyFromHwnd, value) ==
            store::Settings::SaveOneResult::kSaved) {
            e.saved_key = store::keys::sysGetMoneyFromHwnd;
            e.saved_value = value;
        } else {
            e.message = kSaveFailedText;
        }
    };
    if (StrictlyInside(buttons_[SaveCatch], p)) store(desktop::FormatPoint(ChosenPoint()));
    if (StrictlyInside(buttons_[CloseCatch], p)) store(store::keys::kNone);
    if (StrictlyInside(buttons_[Cancel], p)) e.close = true;
    return e;
}

}  // namespace tendrix::capture::selection
