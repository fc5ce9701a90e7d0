// The rectangle window on a real X display with a window manager: it takes the keyboard
// focus when it opens, so Enter typed by the keyboard reaches it (and closes it).
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <thread>

#include "capture/selection/capture_dlg.h"
#include "desktop/x11_desktop.h"
#include "store/settings.h"
#include "tests/desktop/accessible_session.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::capture::selection;
using namespace tendrix::desktop;
using namespace tendrix::store;

namespace tendrix {
namespace {

TEST(RectangleWindowOnDisplay, EnterReachesTheWindow) {
    if (access("/usr/bin/openbox", X_OK) != 0) GTEST_SKIP() << "openbox is not installed";
    test::XvfbServer xvfb;
    if (!xvfb.ok()) GTEST_SKIP() << xvfb.error();
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const pid_t wm = test::Spawn({"/usr/bin/openbox"}, {}, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the manager takes over
    auto desktop = CreateX11DesktopOn(xvfb.display());
    ASSERT_NE(desktop, nullptr);
    test::EnsureApp();
    {
        test::TempDir dir;
        Settings settings;
        settings.Load(dir.path(), "Shop");
        CCaptureDlg dlg(settings, desktop.get());
        ASSERT_TRUE(dlg.Build());
        dlg.show();
        EXPECT_TRUE(test::SpinUntil([&] { return dlg.isActiveWindow(); }, 5000));
        desktop->KeyPress(vk::kReturn);
        EXPECT_TRUE(test::SpinUntil([&] { return !dlg.isVisible(); }, 5000));
    }
    kill(wm, SIGTERM);
    waitpid(wm, nullptr, 0);
}

}  // namespace
}  // namespace tendrix
