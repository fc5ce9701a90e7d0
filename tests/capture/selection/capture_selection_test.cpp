// The selection windows' logic: states, hit tests, what is stored and when.
#include "capture/selection/capture_selection.h"

#include <gtest/gtest.h>

#include "capture/selection/selection_geometry.h"
#include "store/settings.h"
#include "store/settings_keys.h"
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

}  // namespace
}  // namespace tendrix::capture::selection
