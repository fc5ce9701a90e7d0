#include "desktop/x11_desktop.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <atomic>

#include "desktop/vk_keysym.h"
#include "tests/desktop/x_test_window.h"
#include "tests/desktop/xvfb_server.h"

using namespace tendrix::desktop;

namespace tendrix {
namespace {

using test::XTestWindow;
using test::XvfbServer;

TEST(VkKeysym, TableIsOneToOneAndCharactersMap) {
    // The keys the checkout types are all sent through this table (exercised on a real
    // server below); here: no two codes share a keysym and unmapped codes stay unmapped.
    EXPECT_EQ(VkToKeysym(0), 0u);
    EXPECT_EQ(VkToKeysym(0xFF), 0u);
    // Every mapped code maps back to itself, except the left/right modifier aliases.
    for (int code = 1; code < 256; ++code) {
        const uint32_t ks = VkToKeysym(code);
        if (!ks || (code >= 0xA0 && code <= 0xA5)) continue;
        EXPECT_EQ(KeysymToVk(ks), code) << code;
    }
    EXPECT_EQ(CharToKeysym(U'\x01'), 0u);
    EXPECT_EQ(CharToKeysym(U'￥'), 0x0100FFE5u);
}

class X11DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!xvfb_.ok()) GTEST_SKIP() << xvfb_.error();
        desktop_ = CreateX11DesktopOn(xvfb_.display());
        ASSERT_NE(desktop_, nullptr);
    }
    XvfbServer xvfb_;
    std::unique_ptr<DesktopServices> desktop_;
};

// Modifier combinations and keypad digits (whatever the Num Lock state) arrive as the
// after-payment amount step sends them: X11InputTest.
TEST_F(X11DesktopTest, WindowReceivesExactlyTheKeysAndClicksSent) {
    XTestWindow win(xvfb_.display(), 100, 100, 300, 200);
    ASSERT_TRUE(win.ok());
    desktop_->MoveCursor({250, 200});
    EXPECT_EQ(desktop_->CursorPos(), (ScreenPoint{250, 200}));
    desktop_->Click();
    desktop_->Click(MouseButton::Right);
    desktop_->KeyPress('4');
    desktop_->KeyPress('B');  // letter key without Shift types lower case
    desktop_->KeyPress(vk::kReturn);
    desktop_->TypeText("Zy9-\r");
    desktop_->TypeText("\xff\xfe");  // malformed UTF-8 types nothing
    auto records = win.Collect(20);
    std::erase(records, std::string("key Shift_L"));
    EXPECT_EQ(records, (std::vector<std::string>{"press 1", "release 1", "press 3", "release 3",
                                                 "key 4", "key b", "key Return", "key Z", "key y",
                                                 "key 9", "key minus", "key Return"}));
    EXPECT_EQ(win.typed(), "4b\rZy9-\r");
}

TEST_F(X11DesktopTest, GrabbedHotKeyFiresAndTakenKeyFails) {
    int fired_f12 = 0, fired_alt_q = 0;
    ASSERT_TRUE(
        desktop_->RegisterHotKey("hotkeyhideshowTendrix", 0, vk::kF12, [&] { ++fired_f12; }));
    ASSERT_TRUE(desktop_->RegisterHotKey("hotkeyRebootTendrix", 1, 'Q', [&] { ++fired_alt_q; }));
    // The same combination under another atom is refused, as the key is already ours.
    EXPECT_FALSE(desktop_->RegisterHotKey("other", 0, vk::kF12, [] {}));

    // Another client holds F11: registration must fail and report it.
    XTestWindow other(xvfb_.display(), 0, 0, 10, 10);
    ASSERT_TRUE(other.ok());
    Display* od = other.display();
    XGrabKey(od, XKeysymToKeycode(od, XK_F11), 0, DefaultRootWindow(od), False, GrabModeAsync,
             GrabModeAsync);
    XSync(od, False);
    EXPECT_FALSE(desktop_->RegisterHotKey("hotkeyHookOpenOff", 0, vk::kF1 + 10, [] {}));

    // Handles events until `counter` reached `want` (or 2 s passed); returns the counter.
    auto pump = [&](const int& counter, int want) {
        for (int i = 0; i < 200 && counter < want; ++i) {
            desktop_->ProcessEvents();
            if (counter < want) usleep(10000);
        }
        return counter;
    };
    auto alt_q = [&] {
        desktop_->KeyDown(vk::kMenu);
        desktop_->KeyPress('Q');
        desktop_->KeyUp(vk::kMenu);
    };
    desktop_->KeyPress(vk::kF12);
    EXPECT_EQ(pump(fired_f12, 1), 1);
    alt_q();
    EXPECT_EQ(pump(fired_alt_q, 1), 1);
    // Q without Alt is not the hotkey; F12 after unregistering reaches nobody of ours.
    desktop_->UnregisterHotKey("hotkeyhideshowTendrix");
    desktop_->KeyPress('Q');
    desktop_->KeyPress(vk::kF12);
    alt_q();
    EXPECT_EQ(pump(fired_alt_q, 2), 2);
    EXPECT_EQ(fired_f12, 1);
    // Re-registering under the same atom replaces the earlier registration.
    int fired_new = 0;
    ASSERT_TRUE(desktop_->RegisterHotKey("hotkeyRebootTendrix", 0, vk::kF12, [&] { ++fired_new; }));
    alt_q();
    desktop_->KeyPress(vk::kF12);
    EXPECT_EQ(pump(fired_new, 1), 1);
    EXPECT_EQ(fired_alt_q, 2);
}

TEST_F(X11DesktopTest, WindowUnderPointTextAndRectAlsoInsideAWindowManagersFrame) {
    XTestWindow back(xvfb_.display(), 50, 60, 400, 300, "收银台 POS");
    XTestWindow front(xvfb_.display(), 200, 200, 100, 50, "应收 36.00");
    ASSERT_TRUE(back.ok() && front.ok());
    const WindowId w = desktop_->WindowAt({60, 70});
    EXPECT_EQ(w, back.id());
    EXPECT_EQ(desktop_->WindowText(w), "收银台 POS");
    EXPECT_EQ(desktop_->WindowRect(w), (ScreenRect{50, 60, 450, 360}));
    EXPECT_EQ(desktop_->WindowAt({210, 210}), front.id());
    EXPECT_EQ(desktop_->WindowText(front.id()), "应收 36.00");
    EXPECT_EQ(desktop_->WindowAt({1000, 700}), 0u);
    // A window id that does not exist gives empty answers instead of ending the process.
    EXPECT_EQ(desktop_->WindowText(0x7fffff0), "");
    EXPECT_TRUE(desktop_->WindowRect(0x7fffff0).empty());
    desktop_->BringToForeground(back.id());
    EXPECT_EQ(desktop_->ForegroundWindow(), back.id());
    desktop_->BringToForeground(0x7fffff0);  // harmless
    EXPECT_EQ(desktop_->ScreenSize(), (ScreenRect{0, 0, 1366, 768}));
    EXPECT_EQ(desktop_->WorkArea(), (ScreenRect{0, 0, 1366, 768}));

    // Under a window manager, which reparents each program window into a frame: the program's
    // window is the one with WM_STATE, and the manager names the active one on the root.
    XTestWindow frame(xvfb_.display(), 300, 300, 200, 120);
    ASSERT_TRUE(frame.ok());
    Display* d = frame.display();
    const Window client = XCreateSimpleWindow(d, frame.id(), 0, 20, 200, 100, 0, 0, 0xFFFFFF);
    const Atom wm_state = XInternAtom(d, "WM_STATE", False);
    const long state[2] = {1, 0};
    XChangeProperty(d, client, wm_state, wm_state, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
    XStoreName(d, client, "POS 36.00");  // plain WM_NAME only
    XMapWindow(d, client);
    const Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(d, DefaultRootWindow(d), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&client), 1);
    XSync(d, False);
    EXPECT_EQ(desktop_->WindowAt({310, 310}), client);
    EXPECT_EQ(desktop_->WindowText(client), "POS 36.00");
    EXPECT_EQ(desktop_->WindowText(frame.id()), "POS 36.00");  // nameless frame: its client
    EXPECT_EQ(desktop_->WindowRect(client), (ScreenRect{300, 320, 500, 420}));
    EXPECT_EQ(desktop_->ForegroundWindow(), client);
}

TEST_F(X11DesktopTest, CaptureCopiesPixelsAndClipsToScreen) {
    XTestWindow red(xvfb_.display(), 10, 20, 30, 40, "", 0xFF0000);
    XTestWindow blue(xvfb_.display(), 1356, 758, 10, 10, "", 0x0000FF);
    ASSERT_TRUE(red.ok() && blue.ok());
    // Let the server paint the backgrounds before copying.
    XSync(red.display(), False);
    XSync(blue.display(), False);
    const ScreenImage img = desktop_->CaptureRect({5, 15, 45, 65});
    ASSERT_EQ(img.width, 40);
    ASSERT_EQ(img.height, 50);
    auto px = [&](const ScreenImage& im, int x, int y) {
        const uint8_t* p = &im.bgra[(static_cast<size_t>(y) * im.width + x) * 4];
        return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    };
    EXPECT_EQ(px(img, 5, 5), 0xFFFF0000u);    // (10,20): red, alpha opaque
    EXPECT_EQ(px(img, 34, 44), 0xFFFF0000u);  // (39,59): last red pixel
    EXPECT_NE(px(img, 4, 4), 0xFFFF0000u);    // (9,19): outside
    const ScreenImage edge = desktop_->CaptureRect({1360, 760, 1400, 800});
    ASSERT_EQ(edge.width, 6);
    ASSERT_EQ(edge.height, 8);
    EXPECT_EQ(px(edge, 5, 7), 0xFF0000FFu);
    EXPECT_TRUE(desktop_->CaptureRect({2000, 2000, 2100, 2100}).empty());
    EXPECT_TRUE(desktop_->CaptureRect({10, 10, 5, 5}).empty());
}

TEST(X11DesktopNoDisplay, UnreachableDisplayGivesNull) {
    EXPECT_EQ(CreateX11DesktopOn(":4999"), nullptr);
}

}  // namespace
}  // namespace tendrix
