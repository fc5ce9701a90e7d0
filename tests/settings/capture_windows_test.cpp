// The selection windows driven offscreen: the drawn rectangle and the buttons follow the
// logic, a save stores through the settings, Escape closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "capture/selection/capture_dlg.h"
#include "context/app_config.h"
#include "settings/launch_windows.h"
#include "settings/system_set_dlg.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"
#include "ui/skin.h"

using namespace tendrix::capture;
using namespace tendrix::capture::selection;
using namespace tendrix::context;
using namespace tendrix::settings;
using namespace tendrix::store;

namespace tendrix {
namespace {

class CaptureWindows : public ::testing::Test {
  protected:
    void SetUp() override { settings.Load(dir.path(), "Shop"); }
    QApplication& app = test::EnsureApp();
    test::TempDir dir;
    Settings settings;
    RecordingDesktop desk;
};

TEST_F(CaptureWindows, DrawSaveAndClose) {
    settings.Set(keys::sysCutPicThemeMoney, "TRUE");
    std::vector<QString> messages;

    CCaptureDlg dlg(settings, nullptr);
    ASSERT_TRUE(dlg.Build());
    dlg.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    dlg.show();
    const QPoint origin = dlg.mapToGlobal(QPoint(0, 0));
    auto* caption = dlg.FindControl<QLabel>("caption_title");
    auto* save = dlg.FindControl<QPushButton>("btn_save_distinguish");
    ASSERT_TRUE(caption && save);
    EXPECT_FALSE(save->isVisible());

    dlg.PressLeft(origin + QPoint(100, 100));
    dlg.MovePointer(origin + QPoint(300, 160));
    dlg.ReleaseLeft(origin + QPoint(300, 160));
    EXPECT_EQ(caption->geometry(), QRect(100, 100, 200, 60));
    ASSERT_TRUE(save->isVisible());
    EXPECT_GE(save->geometry().top(), 160);

    dlg.PressLeft(save->mapToGlobal(save->rect().center()));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(settings.Get(keys::sysCutPicThemeMoney),
              "top:" + std::to_string(origin.y() + 100) + ", left:" +
                  std::to_string(origin.x() + 100) + ", right:" + std::to_string(origin.x() + 300) +
                  ", bottom:" + std::to_string(origin.y() + 160));
    EXPECT_FALSE(save->isVisible());

    // Switched off: the message, nothing stored.
    settings.Set(keys::sysReductionFoucus, "FALSE");
    dlg.PressLeft(origin + QPoint(10, 10));
    dlg.ReleaseLeft(origin + QPoint(50, 50));
    auto* reduction = dlg.FindControl<QPushButton>("btn_reduction");
    dlg.PressLeft(reduction->mapToGlobal(reduction->rect().center()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("焦点还原未开启"));
    EXPECT_EQ(settings.Get(keys::sysReductionFoucus), "FALSE");

    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(CaptureWindows, PointerFollowingWindowFramesAndStores) {
    desk.AddWindow(42, {500, 300, 700, 340}, "");
    CCaptureDlgByHwnd dlg(settings, desk);
    ASSERT_TRUE(dlg.Build());
    ASSERT_TRUE(desk.IsRegistered("ESCCUTSCREEN"));
    dlg.show();
    // windowinit starts timer 76 at 50 ms on btn_save_catch and hides the window.
    auto* save = dlg.FindControl<QWidget>("btn_save_catch");
    EXPECT_EQ(dlg.Hub().TimerInterval(save, 76), 50);
    QApplication::processEvents();
    EXPECT_FALSE(dlg.isVisible());

    desk.SetCursor({600, 320});
    dlg.Tick();
    ASSERT_TRUE(dlg.isVisible());
    const auto& logic = dlg.Logic();
    EXPECT_EQ(dlg.geometry().topLeft(), QPoint(logic.window().left, logic.window().top));
    auto* frame = dlg.FindControl<QWidget>("frame_target");
    EXPECT_EQ(frame->geometry().size(), QSize(200, 40));
    EXPECT_TRUE(dlg.FindControl<QWidget>("lab_capture")->isVisible());

    auto r = logic.ButtonRect(selection::HwndPointPicker::SaveCatch);
    dlg.PressLeft(QPoint(r.centre().x, r.centre().y));
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "x:600, y:320");
    EXPECT_TRUE(dlg.isVisible());  // a save keeps the picker open
}

// The Escape hotkey ends the modal run even while the window is hidden (nothing framed yet).
TEST_F(CaptureWindows, EscapeHotkeyEndsThePointerFollowingWindow) {
    // No window under the pointer: the picker stays hidden.
    QTimer::singleShot(200, [&] { ASSERT_TRUE(desk.PressHotKey("ESCCUTSCREEN")); });
    EXPECT_TRUE(RunCaptureDlgByHwnd(settings, desk));
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "无");
}

// Tray actions open each window once at a time: a second request while it runs only raises
// it, and the window can be opened again after it closed.
TEST_F(CaptureWindows, EachWindowOnlyOnceAtATime) {
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
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == CCaptureDlg::kWindowName) w->hide();
    });
    EXPECT_TRUE(LaunchSettingsWindow("focus-capture", ctx));
    EXPECT_FALSE(second);
    EXPECT_EQ(windows_seen, 1);

    // Closed: it opens again; the settings window likewise.
    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == CCaptureDlg::kWindowName) w->hide();
    });
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
