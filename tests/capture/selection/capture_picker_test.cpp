// The selection windows as windows: the pointer picker shows what the point capture would read
// at the pointer while the pointer moves (asked away from the window thread), frames the window
// under it and stays open after a save; the rectangle window draws the caption where the pointer
// went, previews what recognition reads in it, stores it and closes on Escape.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
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

class SelectionWindows : public ::testing::Test {
  protected:
    void SetUp() override { settings.Load(dir.path(), "Shop"); }
    QApplication& app = test::EnsureApp();
    test::TempDir dir;
    Settings settings;
    RecordingDesktop desk;
};

TEST_F(SelectionWindows, PointerPickerFramesShowsTheTextAtThePointerAndStaysOpenAfterASave) {
    desk.AddWindow(11, {100, 100, 500, 300}, "收银 V2.3 店号 0017");
    desk.AddWindow(12, {600, 100, 900, 300}, "¥ 36.50");
    CCaptureDlgByHwnd dlg(settings, desk);
    ASSERT_TRUE(dlg.Build());
    ASSERT_TRUE(desk.IsRegistered("ESCCUTSCREEN"));
    dlg.show();
    // windowinit starts timer 76 at 50 ms on btn_save_catch and hides the window until a
    // window is framed.
    EXPECT_EQ(dlg.Hub().TimerInterval(dlg.FindControl<QWidget>("btn_save_catch"), 76), 50);
    QApplication::processEvents();
    EXPECT_FALSE(dlg.isVisible());
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
    const auto& logic = dlg.Logic();
    EXPECT_EQ(dlg.geometry().topLeft(), QPoint(logic.window().left, logic.window().top));
    EXPECT_EQ(dlg.FindControl<QWidget>("frame_target")->geometry().size(), QSize(300, 200));
    EXPECT_TRUE(dlg.FindControl<QWidget>("lab_capture")->isVisible());

    const auto save = logic.ButtonRect(selection::HwndPointPicker::SaveCatch).centre();
    dlg.PressLeft({save.x, save.y});
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "x:700, y:200");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(label->text().contains("已保存：x:700, y:200"));

    const auto cancel = logic.ButtonRect(selection::HwndPointPicker::Cancel).centre();
    dlg.PressLeft({cancel.x, cancel.y});
    EXPECT_FALSE(dlg.isVisible());
}

// The Escape hotkey ends the modal run even while the window is hidden (nothing framed yet).
TEST_F(SelectionWindows, EscapeHotkeyEndsThePointerPicker) {
    QTimer::singleShot(200, [&] { ASSERT_TRUE(desk.PressHotKey("ESCCUTSCREEN")); });
    EXPECT_TRUE(RunCaptureDlgByHwnd(settings, desk));
    EXPECT_EQ(settings.Get(keys::sysGetMoneyFromHwnd), "无");
}

// dataset.db cannot be written (a directory stands in its place): both windows show the
// failure and stay open, and nothing is taken as saved.
TEST_F(SelectionWindows, AFailedSaveKeepsTheWindowOpenWithTheReason) {
    settings.Set(keys::sysCutPicThemeMoney, "TRUE");
    std::filesystem::remove(dir / "dataset.db");
    std::filesystem::create_directory(dir / "dataset.db");
    std::vector<QString> messages;

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
// The caption is drawn where the pointer went, the save buttons below it; a save stores the
// rectangle and hides them; each switched-off feature says so and stores nothing; Escape
// closes.
TEST_F(SelectionWindows, RectangleWindowPreviewsStoresAndClosesOnEscape) {
    settings.Set(keys::sysCutPicThemeMoney, "TRUE");
    test::PictureStyle style;
    style.family = "DejaVu Sans Mono";
    style.pixel_size = 24;
    style.ink = Qt::white;
    style.paper = QColor(0, 0, 90);
    const ScreenImage picture = test::RenderAmountPicture("¥ 2,468.10", style);
    desk.SetScreenImage(test::ScreenWith(picture, 400, 300, 1366, 768));

    CCaptureDlg dlg(settings, &desk, nullptr, test::BinDir());
    ASSERT_TRUE(dlg.Build());
    dlg.show();
    ASSERT_EQ(dlg.mapToGlobal(QPoint(0, 0)), QPoint(0, 0));  // window coordinates = screen
    auto* save = dlg.FindControl<QPushButton>("btn_save_distinguish");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isVisible());
    const int right = 400 + picture.width;
    const int bottom = 300 + picture.height;
    dlg.PressLeft({400, 300});
    dlg.MovePointer({400 + picture.width / 2, bottom});
    dlg.MovePointer({right, bottom});
    dlg.ReleaseLeft({right, bottom});
    EXPECT_TRUE(test::SpinUntil([&] { return dlg.Preview() == "识别预览：2468.10"; }, 20000))
        << dlg.Preview().toStdString();
    EXPECT_EQ(dlg.FindControl<QLabel>("lab_help")->text(), dlg.Preview());
    EXPECT_EQ(dlg.FindControl<QLabel>("caption_title")->geometry(),
              QRect(400, 300, picture.width, picture.height));
    ASSERT_TRUE(save->isVisible());
    EXPECT_GE(save->geometry().top(), bottom);

    dlg.PressLeft(save->mapToGlobal(save->rect().center()));
    EXPECT_EQ(
        settings.Get(keys::sysCutPicThemeMoney),
        "top:300, left:400, right:" + std::to_string(right) + ", bottom:" + std::to_string(bottom));
    EXPECT_FALSE(save->isVisible());

    // Switched off: each button's message through the window's handler, nothing stored.
    std::vector<QString> messages;
    dlg.SetMessageHandler([&](const QString& m) { messages.push_back(m); });
    settings.Set(keys::sysCutPicThemeMoney, "FALSE");
    settings.Set(keys::sysReductionFoucus, "FALSE");
    settings.Set(keys::sysPrintMoneyProgram, "无");
    for (const char* name : {"btn_save_distinguish", "btn_reduction", "btn_save_print"}) {
        dlg.PressLeft({10, 10});
        dlg.ReleaseLeft({50, 50});
        auto* button = dlg.FindControl<QPushButton>(name);
        dlg.PressLeft(button->mapToGlobal(button->rect().center()));
    }
    EXPECT_EQ(messages, (std::vector<QString>{CaptureSelection::kDistinguishOffText,
                                              CaptureSelection::kReductionOffText,
                                              CaptureSelection::kPrintOffText}));
    EXPECT_TRUE(messages[1].contains("焦点还原未开启"));
    EXPECT_EQ(settings.Get(keys::sysCutPicThemeMoney), "FALSE");
    EXPECT_EQ(settings.Get(keys::sysReductionFoucus), "FALSE");
    EXPECT_EQ(settings.Get(keys::sysPrintMoneyFocusPos), "");
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
}  // namespace tendrix
