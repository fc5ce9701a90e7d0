// The pointer picker as a window: it shows what the point capture would read at the pointer
// while the pointer moves (asked away from the window thread), and stays open after a save.
#include <gtest/gtest.h>

#include <QLabel>

#include "capture/selection/capture_dlg.h"
#include "desktop/recording_desktop.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace tendrix {
namespace {

TEST(PointerPicker, ShowsTheTextAtThePointerAndStaysOpenAfterASave) {
    test::EnsureApp();
    test::TempDir dir;
    Settings settings;
    settings.Load(dir.path(), "Shop");
    RecordingDesktop desk;
    desk.AddWindow(11, {100, 100, 500, 300}, "收银 V2.3 店号 0017");
    desk.AddWindow(12, {600, 100, 900, 300}, "¥ 36.50");
    CCaptureDlgByHwnd dlg(settings, desk);
    ASSERT_TRUE(dlg.Build());
    dlg.show();
    QApplication::processEvents();  // windowinit: hidden until a window is framed
    auto* label = dlg.FindControl<QLabel>("lab_text");
    ASSERT_NE(label, nullptr);

    auto shown_after_ticks = [&](ScreenPoint at, const QString& expected) {
        desk.SetCursor(at);
        return test::SpinUntil([&] {
            dlg.Tick();
            return dlg.ShownText() == expected;
        });
    };
    // Digits in a title with other words are no amount; a title that is only an amount is.
    EXPECT_TRUE(shown_after_ticks({300, 200}, "窗口标题：收银 V2.3 店号 0017 → 无金额"))
        << dlg.ShownText().toStdString();
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(shown_after_ticks({700, 200}, "窗口标题：¥ 36.50 → 金额 36.50"))
        << dlg.ShownText().toStdString();

    const auto save = dlg.Logic().ButtonRect(selection::HwndPointPicker::SaveCatch).centre();
    dlg.PressLeft({save.x, save.y});
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "x:700, y:200");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(label->text().contains("已保存：x:700, y:200"));

    const auto cancel = dlg.Logic().ButtonRect(selection::HwndPointPicker::Cancel).centre();
    dlg.PressLeft({cancel.x, cancel.y});
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
}  // namespace tendrix
