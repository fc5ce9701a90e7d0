// Tray actions open each window once at a time: a second request while it runs only raises
// it, and the window can be opened again after it closed.
#include "settings/launch_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "capture/selection/capture_dlg.h"
#include "context/app_config.h"
#include "settings/system_set_dlg.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::capture;
using namespace tendrix::capture::selection;
using namespace tendrix::context;
using namespace tendrix::settings;
using namespace tendrix::store;

namespace tendrix {
namespace {

void HideAll(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name) w->hide();
}

TEST(LaunchWindows, EachWindowOnlyOnceAtATime) {
    test::EnsureApp();
    test::TempDir dir;
    AppConfig config;
    config.data_dir = dir.path();
    config.LoadSettings();
    SettingsContext ctx;
    ctx.config = &config;
    ctx.message = [](const QString&) {};

    bool second = true;
    int windows_seen = 0;
    QTimer::singleShot(50, [&] {
        second = RunCaptureDlg(config.settings);  // returns at once
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == CCaptureDlg::kWindowName) ++windows_seen;
        HideAll(CCaptureDlg::kWindowName);
    });
    EXPECT_TRUE(LaunchSettingsWindow("focus-capture", ctx));
    EXPECT_FALSE(second);
    EXPECT_EQ(windows_seen, 1);

    // Closed: it opens again; the settings window likewise.
    QTimer::singleShot(50, [] { HideAll(CCaptureDlg::kWindowName); });
    EXPECT_TRUE(RunCaptureDlg(config.settings));
    bool settings_second = true;
    QTimer::singleShot(50, [&] {
        settings_second = RunSystemSetDlg(ctx);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "SystemSetDlg") w->close();
    });
    EXPECT_TRUE(LaunchSettingsWindow("settings", ctx));
    EXPECT_FALSE(settings_second);
    EXPECT_FALSE(LaunchSettingsWindow("about", ctx));
}

}  // namespace
}  // namespace tendrix
