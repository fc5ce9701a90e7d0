// The selection windows: their logic (states, hit tests, what is stored and when), then the
// windows themselves. The pointer picker shows what the point capture would read at the pointer
// while the pointer moves (asked away from the window thread), frames the window under it and
// stays open after a save; the rectangle window draws the caption where the pointer went,
// previews what recognition reads in it, stores it and closes on Escape.
#include "capture/selection/capture_selection.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "capture/selection/capture_dlg.h"
#include "capture/selection/selection_geometry.h"
#include "store/settings.h"
#include "store/settings_keys.h"
#include "tests/capture/amount_pictures.h"
#include "tests/capture/capture_test_support.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

using namespace tendrix::desktop;
using namespace tendrix::store;

namespace tendrix::capture::selection {
namespace {

class SelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.Load(dir.path(), "Shop");
        settings.Set(keys::sysCutPicThemeMoney, "TRUE");
        settings.Set(keys::sysReductionFoucus, "TRUE");
        settings.Set(keys::sysPrintMoneyProgram, "第一步快捷键之前");
    }
    // Draws a rectangle from a to b and releases.
    void Draw(CaptureSelection& s, ScreenPoint a, ScreenPoint b) {
        s.LeftDown(a);
        s.MouseMove(b);
        s.LeftUp(b);
    }

    test::TempDir dir;
    Settings settings;
    ScreenRect screen{0, 0, 1366, 768};
};

TEST(SelectionGeometry, BorderCountsAsOutside) {
    ScreenRect r{10, 10, 20, 20};
    EXPECT_TRUE(StrictlyInside(r, {11, 11}));
    EXPECT_FALSE(StrictlyInside(r, {10, 15}));
    EXPECT_FALSE(StrictlyInside(r, {15, 20}));
    EXPECT_FALSE(StrictlyInside(r, {20, 20}));
    EXPECT_FALSE(StrictlyInside(ScreenRect{}, {0, 0}));
}

TEST_F(SelectionTest, DrawingMovingAndReleasing) {
    CaptureSelection s(settings, screen);
    EXPECT_EQ(s.state(), SelectionState::MouseUp);
    EXPECT_FALSE(s.buttons_visible());

    // Drawn from bottom-right to top-left: the rectangle is normalised.
    s.LeftDown({400, 300});
    EXPECT_STREQ(StateName(s.state()), "mouse_down");
    s.MouseMove({100, 200});
    EXPECT_EQ(s.caption(), (ScreenRect{100, 200, 400, 300}));
    s.LeftUp({100, 200});
    EXPECT_STREQ(StateName(s.state()), "mouse_up");
    ASSERT_TRUE(s.buttons_visible());
    // Buttons sit next to the rectangle, on the screen and clear of the rectangle.
    for (int b = 0; b < CaptureSelection::kButtonCount; ++b) {
        auto r = s.ButtonRect(static_cast<CaptureSelection::Button>(b));
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 1366);
        EXPECT_GE(r.top, 300);
    }

    // Pressing inside the rectangle moves it, keeping the grab offset.
    s.LeftDown({150, 250});
    EXPECT_STREQ(StateName(s.state()), "move_label");
    EXPECT_FALSE(s.buttons_visible());
    s.MouseMove({160, 270});
    EXPECT_EQ(s.caption(), (ScreenRect{110, 220, 410, 320}));
    // Dragged past the screen edge: the rectangle stays on the screen, same size.
    s.MouseMove({5000, 5000});
    EXPECT_EQ(s.caption(), (ScreenRect{1066, 668, 1366, 768}));
    s.LeftUp({5000, 5000});
    // No room below or at the right: buttons go above and stay on the screen.
    auto cancel = s.ButtonRect(CaptureSelection::Cancel);
    EXPECT_LE(cancel.bottom, 668);
    EXPECT_LE(cancel.right, 1366);

    // Pressing on the rectangle's border is outside it: a new rectangle starts.
    s.LeftDown({1066, 700});
    EXPECT_STREQ(StateName(s.state()), "mouse_down");
    EXPECT_EQ(s.caption(), (ScreenRect{1066, 700, 1066, 700}));
}

TEST_F(SelectionTest, SaveButtonsStoreTheRectangleAndANewOneStarts) {
    CaptureSelection s(settings, screen);
    Draw(s, {100, 100}, {300, 140});
    auto effects = s.LeftDown(s.ButtonRect(CaptureSelection::SaveDistinguish).centre());
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(effects[0].saved_key, keys::sysCutPicThemeMoney);
    EXPECT_EQ(effects[0].saved_value, "top:100, left:100, right:300, bottom:140");
    EXPECT_FALSE(s.buttons_visible());
    EXPECT_EQ(s.state(), SelectionState::MouseDown);

    Draw(s, {10, 10}, {50, 30});
    s.LeftDown(s.ButtonRect(CaptureSelection::SavePrint).centre());
    Draw(s, {60, 60}, {80, 90});
    s.LeftDown(s.ButtonRect(CaptureSelection::Reduction).centre());

    // All three survive a restart.
    Settings again;
    again.Load(dir.path(), "Shop");
    EXPECT_EQ(again.Get(keys::sysCutPicThemeMoney), "top:100, left:100, right:300, bottom:140");
    EXPECT_EQ(again.Get(keys::sysPrintMoneyFocusPos), "top:10, left:10, right:50, bottom:30");
    EXPECT_EQ(again.Get(keys::sysReductionFoucus), "top:60, left:60, right:80, bottom:90");
}

TEST_F(SelectionTest, ButtonOverTheRectangleWinsAndHiddenButtonsDoNothing) {
    CaptureSelection s(settings, screen);
    // Hidden buttons: a press where btn_cancel would be only starts a rectangle.
    Draw(s, {100, 100}, {700, 400});
    auto cancel = s.ButtonRect(CaptureSelection::Cancel);
    s.LeftDown({1, 1});  // hides the buttons
    auto none = s.LeftDown(cancel.centre());
    EXPECT_TRUE(none.empty());

    // A rectangle that fills the screen puts the buttons inside it.
    Draw(s, {0, 0}, {1365, 767});
    auto distinguish = s.ButtonRect(CaptureSelection::SaveDistinguish);
    ASSERT_TRUE(StrictlyInside(s.caption(), distinguish.centre()));
    auto effects = s.LeftDown(distinguish.centre());
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_EQ(effects[0].saved_key, keys::sysCutPicThemeMoney);
    EXPECT_EQ(s.state(), SelectionState::MouseDown);  // not move_label

    // Cancel closes; Enter activates cancel; right button and Escape close.
    Draw(s, {0, 0}, {1365, 767});
    effects = s.LeftDown(s.ButtonRect(CaptureSelection::Cancel).centre());
    ASSERT_EQ(effects.size(), 1u);
    EXPECT_TRUE(effects[0].close);
    EXPECT_TRUE(s.Enter().close);
    EXPECT_TRUE(s.RightDown().close);
    EXPECT_TRUE(s.Escape().close);
}

TEST_F(SelectionTest, PointerFollowingFrameStoresScreenCoordinatesAndStaysOnTheScreen) {
    RecordingDesktop desk;
    HwndPointPicker edge(settings, desk);
    desk.SetCursor({2, 2});
    EXPECT_FALSE(edge.Tick());  // nothing under the pointer: nothing shown
    EXPECT_FALSE(edge.visible());
    EXPECT_TRUE(edge.LeftDown({0, 0}).saved_key.empty());
    // A window filling the screen: the bar goes inside it, still on the screen.
    desk.AddWindow(1, {0, 0, 1366, 768}, "");
    ASSERT_TRUE(edge.Tick());  // the window is looked up 2 px up-left of the pointer: (0, 0)
    auto cancel = edge.ButtonRect(HwndPointPicker::Cancel);
    EXPECT_LE(cancel.bottom, 768);
    EXPECT_GE(cancel.top, 0);
    EXPECT_EQ(edge.ChosenPoint(), (ScreenPoint{2, 2}));

    desk.AddWindow(7, {200, 150, 500, 250}, "");  // above the first
    HwndPointPicker picker(settings, desk);
    desk.SetCursor({320, 190});
    ASSERT_TRUE(picker.Tick());
    EXPECT_EQ(picker.target(), (ScreenRect{200, 150, 500, 250}));
    EXPECT_EQ(picker.marker(), (ScreenRect{319, 189, 321, 191}));
    // Pointer moves inside the framed window: the marker follows, the frame stays.
    desk.SetCursor({330, 200});
    EXPECT_TRUE(picker.Tick());
    EXPECT_EQ(picker.target(), (ScreenRect{200, 150, 500, 250}));
    // On the button bar the marker stays where it was.
    auto save = picker.ButtonRect(HwndPointPicker::SaveCatch);
    EXPECT_GE(save.top, 250);
    desk.SetCursor(save.centre());
    EXPECT_FALSE(picker.Tick());
    auto e = picker.LeftDown(save.centre());
    EXPECT_EQ(e.saved_key, keys::sysGetMoneyFromHwnd);
    // The framed window is not at the origin: the point is still the screen position.
    EXPECT_EQ(e.saved_value, "x:330, y:200");

    e = picker.LeftDown(picker.ButtonRect(HwndPointPicker::CloseCatch).centre());
    EXPECT_EQ(e.saved_value, "无");
    Settings again;
    again.Load(dir.path(), "Shop");
    EXPECT_EQ(again.Get(keys::sysGetMoneyFromHwnd), "无");

    EXPECT_TRUE(picker.LeftDown(picker.ButtonRect(HwndPointPicker::Cancel).centre()).close);
    EXPECT_TRUE(picker.RightDown().close);

    // Our own window under the pointer is never framed.
    HwndPointPicker other(settings, desk);
    other.SetSelfWindow(1);
    desk.SetCursor({50, 50});
    EXPECT_FALSE(other.Tick());
    EXPECT_FALSE(other.visible());
}

// The windows on the same settings, offscreen, over a scripted desktop.
class SelectionWindows : public SelectionTest {
  protected:
    QApplication& app = test::EnsureApp();
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
    EXPECT_TRUE(messages[1].contains("焦点还原未开启"));  // the text the cashier reads
    EXPECT_EQ(settings.Get(keys::sysCutPicThemeMoney), "FALSE");
    EXPECT_EQ(settings.Get(keys::sysReductionFoucus), "FALSE");
    EXPECT_EQ(settings.Get(keys::sysPrintMoneyFocusPos), "");
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &esc);
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
}  // namespace tendrix::capture::selection
