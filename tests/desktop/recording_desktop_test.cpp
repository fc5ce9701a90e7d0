#include "desktop/recording_desktop.h"

#include <gtest/gtest.h>

namespace tendrix {
namespace {

TEST(RecordingDesktop, RecordsActionsAndAnswersFromTheScript) {
    RecordingDesktop d;
    d.AddWindow(1, {0, 0, 100, 100}, "back");
    d.AddWindow(2, {50, 50, 80, 80}, "front");
    EXPECT_EQ(d.WindowAt({60, 60}), 2u);
    EXPECT_EQ(d.WindowAt({10, 10}), 1u);
    EXPECT_EQ(d.WindowAt({100, 100}), 0u);
    EXPECT_EQ(d.WindowText(2), "front");
    d.MoveCursor({3, 4});
    d.Click();
    d.KeyPress(vk::kReturn);
    d.TypeText("ab");
    d.BringToForeground(1);
    EXPECT_EQ(d.Log(), (std::vector<std::string>{"move 3,4", "down L", "up L", "key+ 13", "key- 13",
                                                 "type ab", "foreground 1"}));
    EXPECT_EQ(d.CursorPos(), (ScreenPoint{3, 4}));
    EXPECT_EQ(d.ForegroundWindow(), 1u);
}

TEST(RecordingDesktop, HotKeysTakenReplacedAndDelivered) {
    RecordingDesktop d;
    d.TakeHotKey(0, vk::kF12);
    EXPECT_FALSE(d.RegisterHotKey("a", 0, vk::kF12, [] {}));
    int a = 0;
    ASSERT_TRUE(d.RegisterHotKey("a", 1, 'Q', [&] { ++a; }));
    EXPECT_FALSE(d.RegisterHotKey("b", 1, 'Q', [] {}));
    EXPECT_TRUE(d.PressHotKey("a"));
    EXPECT_EQ(a, 0);  // delivered only by ProcessEvents
    d.ProcessEvents();
    EXPECT_EQ(a, 1);
    d.UnregisterHotKey("a");
    EXPECT_FALSE(d.PressHotKey("a"));
}

}  // namespace
}  // namespace tendrix
