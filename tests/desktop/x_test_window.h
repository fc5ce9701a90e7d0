#pragma once
// A plain Xlib top-level window on its own connection that records the key presses and
// button events it receives, for checking what synthetic input really arrives.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <string>
#include <vector>

// Xlib names event types with macros that clash with DesktopServices::KeyPress.
namespace tendrix::test {
inline constexpr int kXKeyPressEvent = KeyPress;
}
#undef KeyPress
#undef KeyRelease

namespace tendrix::test {

class XTestWindow {
  public:
    XTestWindow(const std::string& display, int x, int y, int w, int h,
                const std::string& utf8_title = "", unsigned long background = 0xFFFFFF) {
        dpy_ = XOpenDisplay(display.c_str());
        if (!dpy_) return;
        XSetWindowAttributes attr{};
        attr.background_pixel = background;
        attr.override_redirect = False;
        attr.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                          StructureNotifyMask | ExposureMask;
        win_ = XCreateWindow(dpy_, DefaultRootWindow(dpy_), x, y, static_cast<unsigned>(w),
                             static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &attr);
        if (!utf8_title.empty()) {
            const Atom net_name = XInternAtom(dpy_, "_NET_WM_NAME", False);
            const Atom utf8 = XInternAtom(dpy_, "UTF8_STRING", False);
            XChangeProperty(dpy_, win_, net_name, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8_title.data()),
                            static_cast<int>(utf8_title.size()));
        }
        XMapRaised(dpy_, win_);
        XSync(dpy_, False);
        // Wait for the map so focus and pointer positions refer to a viewable window.
        for (;;) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
            if (ev.type == MapNotify) break;
        }
        XSetInputFocus(dpy_, win_, RevertToParent, CurrentTime);
        XSync(dpy_, False);
    }
    ~XTestWindow() {
        if (dpy_) {
            XDestroyWindow(dpy_, win_);
            XCloseDisplay(dpy_);
        }
    }
    XTestWindow(const XTestWindow&) = delete;
    XTestWindow& operator=(const XTestWindow&) = delete;

    bool ok() const { return dpy_ != nullptr; }
    Window id() const { return win_; }
    Display* display() const { return dpy_; }

    // Reads events until `count` records arrived or nothing came for `idle_ms`.
    // Records: "key <keysym name>" per key press, "press <button>", "release <button>".
    std::vector<std::string> Collect(size_t count, int idle_ms = 3000) {
        while (records_.size() < count) {
            if (!XPending(dpy_)) {
                pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
                if (poll(&p, 1, idle_ms) <= 0) break;
            }
            while (XPending(dpy_)) Handle();
        }
        return records_;
    }
    // The characters the key presses typed, modifiers producing none.
    const std::string& typed() const { return typed_; }

  private:
    void Handle() {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        if (ev.type == kXKeyPressEvent) {
            char buf[16] = {};
            KeySym ks = 0;
            const int n = XLookupString(&ev.xkey, buf, sizeof buf, &ks, nullptr);
            const char* name = XKeysymToString(ks);
            records_.push_back(std::string("key ") + (name ? name : "?"));
            typed_.append(buf, static_cast<size_t>(n > 0 ? n : 0));
        } else if (ev.type == ButtonPress || ev.type == ButtonRelease) {
            records_.push_back(std::string(ev.type == ButtonPress ? "press " : "release ") +
                               std::to_string(ev.xbutton.button));
        }
    }

    Display* dpy_ = nullptr;
    Window win_ = 0;
    std::vector<std::string> records_;
    std::string typed_;
};

}  // namespace tendrix::test
