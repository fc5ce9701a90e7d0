#include "desktop/x11_desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "desktop/atspi_window_text.h"
#include "desktop/vk_keysym.h"

namespace tendrix::desktop {
namespace {

// Xlib reports protocol errors through one process-wide handler whose default ends the
// process. Ours records the error for the displays this file opened and passes others on.
std::mutex g_error_mutex;
std::map<Display*, int> g_last_error;  // display -> last error code (0 = none)
XErrorHandler g_previous_handler = nullptr;
std::once_flag g_handler_once;

int OnXError(Display* dpy, XErrorEvent* ev) {
    XErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_error_mutex);
        auto it = g_last_error.find(dpy);
        if (it != g_last_error.end()) {
            it->second = ev->error_code;
            return 0;
        }
        previous = g_previous_handler;
    }
    return previous ? previous(dpy, ev) : 0;
}

// Decodes UTF-8 into code points; malformed bytes are dropped.
std::u32string DecodeUtf8(const std::string& s) {
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (ok) out.push_back(cp);
        i += ok ? len : 1;
    }
    return out;
}

unsigned MaskShift(unsigned long mask) {
    unsigned shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

class X11Desktop final : public DesktopServices {
  public:
    explicit X11Desktop(Display* dpy) : dpy_(dpy), root_(DefaultRootWindow(dpy)) {
        {
            std::lock_guard<std::mutex> lock(g_error_mutex);
            g_last_error[dpy_] = 0;
        }
        numlock_mask_ = ModifierMaskFor(XK_Num_Lock);
        net_wm_name_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
        utf8_string_ = XInternAtom(dpy_, "UTF8_STRING", False);
        net_active_window_ = XInternAtom(dpy_, "_NET_ACTIVE_WINDOW", False);
        net_workarea_ = XInternAtom(dpy_, "_NET_WORKAREA", False);
        wm_state_ = XInternAtom(dpy_, "WM_STATE", False);
        net_wm_pid_ = XInternAtom(dpy_, "_NET_WM_PID", False);
    }

    ~X11Desktop() override {
        {
            std::lock_guard<std::mutex> lock(mu_);
            for (const auto& hk : hotkeys_) Ungrab(hk.keycode, hk.xmods);
            XSync(dpy_, False);
        }
        XCloseDisplay(dpy_);
        std::lock_guard<std::mutex> lock(g_error_mutex);
        g_last_error.erase(dpy_);
    }

    ScreenPoint CursorPos() override {
        std::lock_guard<std::mutex> lock(mu_);
        Window r = 0, c = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(dpy_, root_, &r, &c, &rx, &ry, &wx, &wy, &mask);
        return {rx, ry};
    }

    void MoveCursor(ScreenPoint p) override {
        std::lock_guard<std::mutex> lock(mu_);
        XTestFakeMotionEvent(dpy_, -1, p.x, p.y, CurrentTime);
        XFlush(dpy_);
    }

    void MouseDown(MouseButton b) override { Button(b, true); }
    void MouseUp(MouseButton b) override { Button(b, false); }

    void KeyDown(int vk) override { Key(vk, true); }
    void KeyUp(int vk) override { Key(vk, false); }

    void TypeText(const std::string& utf8) override {
        std::lock_guard<std::mutex> lock(mu_);
        const KeyCode shift = XKeysymToKeycode(dpy_, XK_Shift_L);
        for (char32_t ch : DecodeUtf8(utf8)) {
            const KeySym ks = CharToKeysym(ch);
            if (!ks) continue;
            const KeyCode kc = XKeysymToKeycode(dpy_, ks);
            if (!kc) continue;  // no key on this layout types it
            const bool need_shift = XkbKeycodeToKeysym(dpy_, kc, 0, 0) != ks &&
                                    XkbKeycodeToKeysym(dpy_, kc, 0, 1) == ks;
            if (need_shift && shift) XTestFakeKeyEvent(dpy_, shift, True, CurrentTime);
            XTestFakeKeyEvent(dpy_, kc, True, CurrentTime);
            XTestFakeKeyEvent(dpy_, kc, False, CurrentTime);
            if (need_shift && shift) XTestFakeKeyEvent(dpy_, shift, False, CurrentTime);
        }
        XFlush(dpy_);
    }

    WindowId WindowAt(ScreenPoint p) override {
        std::lock_guard<std::mutex> lock(mu_);
        Window child = 0;
        int x = 0, y = 0;
        if (!XTranslateCoordinates(dpy_, root_, root_, p.x, p.y, &x, &y, &child) || !child)
            return 0;
        // Under a window manager the root's child is a frame; the program's window is the
        // one in it that carries WM_STATE.
        const Window client = FindClient(child, 0);
        return client ? client : child;
    }

    std::string WindowText(WindowId w) override {
        if (!w) return {};
        std::lock_guard<std::mutex> lock(mu_);
        std::string text = Name(static_cast<Window>(w));
        if (text.empty()) {
            const Window client = FindClient(static_cast<Window>(w), 0);
            if (client && client != w) text = Name(client);
        }
        return text;
    }

    PointText TextIn(WindowId w, ScreenPoint p) override {
        AccessibleQuery query;
        query.point = p;
        if (w) {
            std::lock_guard<std::mutex> lock(mu_);
            query.pid = Pid(static_cast<Window>(w));
            query.window = RectOf(static_cast<Window>(w));
        }
        // Asked without holding the display: the answer may take up to the time-out.
        const AccessibleTextResult control = ReadAccessibleText(query);
        PointText out;
        out.timed_out = control.outcome == AccessibleTextResult::Outcome::TimedOut;
        if (control.outcome == AccessibleTextResult::Outcome::Found) {
            out.source = PointText::Source::Control;
            out.text = control.text;
            out.role = control.role;
            return out;
        }
        // No published text there: the window title is the fallback.
        out.text = WindowText(w);
        if (!out.text.empty()) out.source = PointText::Source::WindowTitle;
        return out;
    }

    ScreenRect WindowRect(WindowId w) override {
        if (!w) return {};
        std::lock_guard<std::mutex> lock(mu_);
        return RectOf(static_cast<Window>(w));
    }

    WindowId ForegroundWindow() override {
        std::lock_guard<std::mutex> lock(mu_);
        Window active = 0;
        if (ReadWindowProperty(root_, net_active_window_, &active) && active) return active;
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy_, &focus, &revert);
        if (focus == PointerRoot || focus == None) return 0;
        return focus;
    }

    void BringToForeground(WindowId id) override {
        if (!id) return;
        std::lock_guard<std::mutex> lock(mu_);
        const auto w = static_cast<Window>(id);
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = net_active_window_;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 2;  // source: a pager-like tool acting for the user
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
        XRaiseWindow(dpy_, w);
        XWindowAttributes attr{};
        if (XGetWindowAttributes(dpy_, w, &attr) && attr.map_state == IsViewable)
            XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
        SyncAndTakeError();
    }

    bool RegisterHotKey(const std::string& atom, unsigned modifiers, int vk,
                        std::function<void()> on_press) override {
        std::lock_guard<std::mutex> lock(mu_);
        RemoveHotKey(atom);
        const KeySym ks = VkToKeysym(vk);
        const KeyCode kc = ks ? XKeysymToKeycode(dpy_, ks) : 0;
        if (!kc) return false;
        unsigned xmods = 0;
        if (modifiers & 1) xmods |= Mod1Mask;
        if (modifiers & 2) xmods |= ControlMask;
        if (modifiers & 4) xmods |= ShiftMask;
        if (modifiers & 8) xmods |= Mod4Mask;
        for (const auto& hk : hotkeys_) {
            if (hk.keycode == kc && hk.xmods == xmods) return false;
        }
        SyncAndTakeError();
        for (unsigned extra : LockVariants())
            XGrabKey(dpy_, kc, xmods | extra, root_, False, GrabModeAsync, GrabModeAsync);
        if (SyncAndTakeError() != 0) {  // BadAccess: another client holds the key
            Ungrab(kc, xmods);
            SyncAndTakeError();
            return false;
        }
        hotkeys_.push_back({atom, kc, xmods, std::move(on_press)});
        return true;
    }

    void UnregisterHotKey(const std::string& atom) override {
        std::lock_guard<std::mutex> lock(mu_);
        RemoveHotKey(atom);
        SyncAndTakeError();
    }

    void ProcessEvents() override {
        std::vector<std::function<void()>> fired;
        {
            std::lock_guard<std::mutex> lock(mu_);
            while (XPending(dpy_) > 0) {
                XEvent ev;
                XNextEvent(dpy_, &ev);
                if (ev.type == MappingNotify) {
                    XRefreshKeyboardMapping(&ev.xmapping);
                    continue;
                }
                if (ev.type != KeyPress) continue;
                const unsigned state =
                    ev.xkey.state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
                for (const auto& hk : hotkeys_) {
                    if (hk.keycode == ev.xkey.keycode && hk.xmods == state)
                        fired.push_back(hk.on_press);
                }
            }
        }
        // Outside the lock: a hotkey action may use this desktop again.
        for (auto& f : fired) f();
    }

    ScreenRect ScreenSize() override {
        std::lock_guard<std::mutex> lock(mu_);
        return ScreenLocked();
    }

    ScreenRect WorkArea() override {
        std::lock_guard<std::mutex> lock(mu_);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        ScreenRect area = ScreenLocked();
        if (XGetWindowProperty(dpy_, root_, net_workarea_, 0, 4, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32 && count >= 4) {
            const auto* v = reinterpret_cast<const long*>(data);
            if (v[2] > 0 && v[3] > 0)
                area = {static_cast<int>(v[0]), static_cast<int>(v[1]),
                        static_cast<int>(v[0] + v[2]), static_cast<int>(v[1] + v[3])};
        }
        if (data) XFree(data);
        return area;
    }

    ScreenImage CaptureRect(const ScreenRect& r) override {
        std::lock_guard<std::mutex> lock(mu_);
        const ScreenRect screen = ScreenLocked();
        const ScreenRect c{std::max(r.left, screen.left), std::max(r.top, screen.top),
                           std::min(r.right, screen.right), std::min(r.bottom, screen.bottom)};
        if (c.empty()) return {};
        XImage* img = XGetImage(dpy_, root_, c.left, c.top, static_cast<unsigned>(c.width()),
                                static_cast<unsigned>(c.height()), AllPlanes, ZPixmap);
        SyncAndTakeError();
        if (!img) return {};
        ScreenImage out;
        out.width = c.width();
        out.height = c.height();
        out.bgra.resize(static_cast<size_t>(out.width) * out.height * 4);
        const bool direct = img->bits_per_pixel == 32 && img->byte_order == LSBFirst &&
                            img->red_mask == 0xFF0000 && img->green_mask == 0xFF00 &&
                            img->blue_mask == 0xFF;
        const unsigned rs = MaskShift(img->red_mask), gs = MaskShift(img->green_mask),
                       bs = MaskShift(img->blue_mask);
        const unsigned long rm = img->red_mask >> rs, gm = img->green_mask >> gs,
                            bm = img->blue_mask >> bs;
        for (int y = 0; y < out.height; ++y) {
            uint8_t* dst = out.bgra.data() + static_cast<size_t>(y) * out.width * 4;
            if (direct) {
                std::memcpy(dst, img->data + static_cast<size_t>(y) * img->bytes_per_line,
                            static_cast<size_t>(out.width) * 4);
                for (int x = 0; x < out.width; ++x) dst[x * 4 + 3] = 255;
                continue;
            }
            for (int x = 0; x < out.width; ++x) {
                const unsigned long px = XGetPixel(img, x, y);
                auto scale = [](unsigned long v, unsigned long max) {
                    return static_cast<uint8_t>(max ? v * 255 / max : 0);
                };
                dst[x * 4 + 0] = scale((px >> bs) & bm, bm);
                dst[x * 4 + 1] = scale((px >> gs) & gm, gm);
                dst[x * 4 + 2] = scale((px >> rs) & rm, rm);
                dst[x * 4 + 3] = 255;
            }
        }
        XDestroyImage(img);
        return out;
    }

  private:
    struct HotKey {
        std::string atom;
        KeyCode keycode;
        unsigned xmods;
        std::function<void()> on_press;
    };

    // Syncs with the server and returns (and clears) the last protocol error, 0 if none.
    int SyncAndTakeError() {
        XSync(dpy_, False);
        std::lock_guard<std::mutex> lock(g_error_mutex);
        const int code = g_last_error[dpy_];
        g_last_error[dpy_] = 0;
        return code;
    }

    unsigned ModifierMaskFor(KeySym sym) {
        const KeyCode kc = XKeysymToKeycode(dpy_, sym);
        XModifierKeymap* map = XGetModifierMapping(dpy_);
        unsigned mask = 0;
        if (map && kc) {
            for (int m = 0; m < 8; ++m) {
                for (int k = 0; k < map->max_keypermod; ++k) {
                    if (map->modifiermap[m * map->max_keypermod + k] == kc) mask = 1u << m;
                }
            }
        }
        if (map) XFreeModifiermap(map);
        return mask;
    }

    std::vector<unsigned> LockVariants() const {
        std::vector<unsigned> v{0, LockMask};
        if (numlock_mask_) {
            v.push_back(numlock_mask_);
            v.push_back(numlock_mask_ | LockMask);
        }
        return v;
    }

    void Ungrab(KeyCode kc, unsigned xmods) {
        for (unsigned extra : LockVariants()) XUngrabKey(dpy_, kc, xmods | extra, root_);
    }

    void RemoveHotKey(const std::string& atom) {
        for (auto it = hotkeys_.begin(); it != hotkeys_.end();) {
            if (it->atom == atom) {
                Ungrab(it->keycode, it->xmods);
                it = hotkeys_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Button(MouseButton b, bool down) {
        std::lock_guard<std::mutex> lock(mu_);
        XTestFakeButtonEvent(dpy_, b == MouseButton::Left ? 1 : 3, down, CurrentTime);
        XFlush(dpy_);
    }

    bool NumLockOn() {
        XkbStateRec st{};
        if (XkbGetState(dpy_, XkbUseCoreKbd, &st) != Success) return true;
        return numlock_mask_ == 0 || (st.locked_mods & numlock_mask_) != 0;
    }

    void Key(int vk, bool down) {
        std::lock_guard<std::mutex> lock(mu_);
        const KeySym ks = VkToKeysym(vk);
        const KeyCode kc = ks ? XKeysymToKeycode(dpy_, ks) : 0;
        if (!kc) return;
        // Keypad digits and the point share keys with the cursor block; the keypad virtual
        // keys mean the digits, so Num Lock is locked on for the press and restored after.
        const bool keypad_digit = (ks >= XK_KP_0 && ks <= XK_KP_9) || ks == XK_KP_Decimal;
        const bool lock_numlock = down && keypad_digit && !NumLockOn();
        if (lock_numlock) XkbLockModifiers(dpy_, XkbUseCoreKbd, numlock_mask_, numlock_mask_);
        XTestFakeKeyEvent(dpy_, kc, down, CurrentTime);
        if (lock_numlock) XkbLockModifiers(dpy_, XkbUseCoreKbd, numlock_mask_, 0);
        XFlush(dpy_);
    }

    ScreenRect ScreenLocked() {
        const int s = DefaultScreen(dpy_);
        return {0, 0, DisplayWidth(dpy_, s), DisplayHeight(dpy_, s)};
    }

    bool ReadWindowProperty(Window w, Atom prop, Window* out) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(dpy_, w, prop, 0, 1, False, XA_WINDOW, &type, &format, &count,
                                     &after, &data) == Success &&
                  data && format == 32 && count == 1;
        if (ok) *out = static_cast<Window>(*reinterpret_cast<const long*>(data));
        if (data) XFree(data);
        SyncAndTakeError();
        return ok;
    }

    // The owner's process id (_NET_WM_PID) of a window or the client window in its frame.
    uint32_t Pid(Window w) {
        for (Window candidate : {w, FindClient(w, 0)}) {
            if (!candidate) continue;
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            uint32_t pid = 0;
            if (XGetWindowProperty(dpy_, candidate, net_wm_pid_, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &count, &after, &data) == Success &&
                data && format == 32 && count == 1)
                pid = static_cast<uint32_t>(*reinterpret_cast<const long*>(data));
            if (data) XFree(data);
            SyncAndTakeError();
            if (pid) return pid;
        }
        return 0;
    }

    bool HasProperty(Window w, Atom prop) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool ok = XGetWindowProperty(dpy_, w, prop, 0, 0, False, AnyPropertyType, &type,
                                           &format, &count, &after, &data) == Success &&
                        type != None;
        if (data) XFree(data);
        return ok;
    }

    Window FindClient(Window w, int depth) {
        if (HasProperty(w, wm_state_)) return w;
        if (depth > 4) return 0;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy_, w, &root, &parent, &children, &n)) return 0;
        Window found = 0;
        for (unsigned i = n; i-- > 0 && !found;) found = FindClient(children[i], depth + 1);
        if (children) XFree(children);
        return found;
    }

    std::string Name(Window w) {
        std::string text;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy_, w, net_wm_name_, 0, 4096, False, utf8_string_, &type, &format,
                               &count, &after, &data) == Success &&
            data && type == utf8_string_ && format == 8) {
            text.assign(reinterpret_cast<const char*>(data), count);
        }
        if (data) XFree(data);
        if (text.empty()) {
            XTextProperty prop{};
            if (XGetWMName(dpy_, w, &prop) && prop.value && prop.nitems) {
                char** list = nullptr;
                int n = 0;
                if (Xutf8TextPropertyToTextList(dpy_, &prop, &list, &n) >= Success && list &&
                    n > 0 && list[0]) {
                    text = list[0];
                } else {
                    text.assign(reinterpret_cast<const char*>(prop.value), prop.nitems);
                }
                if (list) XFreeStringList(list);
            }
            if (prop.value) XFree(prop.value);
        }
        SyncAndTakeError();
        return text;
    }

    ScreenRect RectOf(Window w) {
        XWindowAttributes attr{};
        if (!XGetWindowAttributes(dpy_, w, &attr)) {
            SyncAndTakeError();
            return {};
        }
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(dpy_, w, root_, 0, 0, &x, &y, &child);
        SyncAndTakeError();
        return {x, y, x + attr.width, y + attr.height};
    }

    Display* dpy_;
    Window root_;
    std::mutex mu_;
    std::vector<HotKey> hotkeys_;
    unsigned numlock_mask_ = 0;
    Atom net_wm_name_ = 0, utf8_string_ = 0, net_active_window_ = 0, net_workarea_ = 0,
         wm_state_ = 0, net_wm_pid_ = 0;
};

}  // namespace

std::unique_ptr<DesktopServices> CreateX11DesktopOn(const std::string& display_name) {
    std::call_once(g_handler_once, [] {
        XInitThreads();
        std::lock_guard<std::mutex> lock(g_error_mutex);
        g_previous_handler = XSetErrorHandler(OnXError);
    });
    Display* dpy = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
    if (!dpy) return nullptr;
    int ev = 0, err = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &ev, &err, &major, &minor)) {
        XCloseDisplay(dpy);
        return nullptr;
    }
    return std::make_unique<X11Desktop>(dpy);
}

std::unique_ptr<DesktopServices> CreateX11Desktop() {
    const char* name = std::getenv("DISPLAY");
    return CreateX11DesktopOn(name ? name : "");
}

}  // namespace tendrix::desktop
