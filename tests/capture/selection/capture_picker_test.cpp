// The selection windows as windows: the pointer picker shows what the point capture would read
// at the pointer while the pointer moves (asked away from the window thread) and stays open
// after a save; the rectangle window previews what recognition reads in the drawn rectangle.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>

#include "capture/selection/capture_dlg.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/capture/amount_pictures.h"
#include "tests/capture/capture_test_support.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::capture;
using namespace tendrix::capture::selection;
using namespace tendrix::desktop;
using namespace tendrix::store;

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

// dataset.db cannot be written (a directory stands in its place): both windows show the
// failure and stay open, and nothing is taken as saved.
TEST(SelectionWindows, AFailedSaveKeepsTheWindowOpenWithTheReason) {
    test::EnsureApp();
    test::TempDir dir;
    std::filesystem::create_directory(dir / "dataset.db");
    Settings settings;
    settings.Load(dir.path(), "Shop");
    settings.Set(keys::sysCutPicThemeMoney, "TRUE");
    std::vector<QString> messages;

    RecordingDesktop desk;
    desk.AddWindow(11, {100, 100, 500, 300}, "¥ 36.50");
    CCaptureDlgByHwnd picker(settings, desk);
    ASSERT_TRUE(picker.Build());
    picker.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    picker.show();
    QApplication::processEvents();
    desk.SetCursor({300, 200});
    picker.Tick();
    ASSERT_TRUE(picker.isVisible());
    const auto save = picker.Logic().ButtonRect(selection::HwndPointPicker::SaveCatch).centre();
    picker.PressLeft({save.x, save.y});
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "无");

    CCaptureDlg rect(settings, nullptr);
    ASSERT_TRUE(rect.Build());
    rect.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    rect.show();
    rect.PressLeft({100, 100});
    rect.MovePointer({300, 160});
    rect.ReleaseLeft({300, 160});
    const auto distinguish =
        rect.Logic().ButtonRect(selection::CaptureSelection::SaveDistinguish).centre();
    rect.PressLeft({distinguish.x, distinguish.y});
    EXPECT_TRUE(rect.isVisible());
    EXPECT_EQ(settings.Get(keys::sysCutPicThemeMoney), "TRUE");
    EXPECT_EQ(messages, (std::vector<QString>(2, selection::CaptureSelection::kSaveFailedText)));
}

// The screen holds an amount on a dark ground; drawing a rectangle around it previews the
// amount the recognition reads there, read from the screen as it was before the window opened.
TEST(RectangleWindow, PreviewsWhatRecognitionReadsWhileDrawing) {
    test::EnsureApp();
    test::TempDir dir;
    Settings settings;
    settings.Load(dir.path(), "Shop");
    test::PictureStyle style;
    style.family = "DejaVu Sans Mono";
    style.pixel_size = 24;
    style.ink = Qt::white;
    style.paper = QColor(0, 0, 90);
    const ScreenImage picture = test::RenderAmountPicture("¥ 2,468.10", style);
    RecordingDesktop desk;
    desk.SetScreenImage(test::ScreenWith(picture, 400, 300, 1366, 768));

    CCaptureDlg dlg(settings, &desk, nullptr, test::BinDir());
    ASSERT_TRUE(dlg.Build());
    dlg.show();
    ASSERT_EQ(dlg.mapToGlobal(QPoint(0, 0)), QPoint(0, 0));  // window coordinates = screen
    dlg.PressLeft({400, 300});
    dlg.MovePointer({400 + picture.width / 2, 300 + picture.height});
    dlg.MovePointer({400 + picture.width, 300 + picture.height});
    dlg.ReleaseLeft({400 + picture.width, 300 + picture.height});
    EXPECT_TRUE(test::SpinUntil([&] { return dlg.Preview() == "识别预览：2468.10"; }, 20000))
        << dlg.Preview().toStdString();
    EXPECT_EQ(dlg.FindControl<QLabel>("lab_help")->text(), dlg.Preview());
}

}  // namespace
}  // namespace tendrix
