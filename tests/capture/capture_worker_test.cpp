// The capture worker and its scheduling: point and rectangle mode over a scripted desktop,
// set-up failures and the 30 ms tick rule. On a real display: the accessibility tests (point)
// and the screen sale end to end (rectangle).
#include "capture/capture_worker.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "capture/capture_sources.h"
#include "capture/ocr_plugin.h"
#include "common/text_codec.h"
#include "store/settings_keys.h"
#include "tests/capture/amount_pictures.h"
#include "tests/capture/capture_test_support.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/temp_dir.h"

using namespace tendrix;
using namespace tendrix::common;
using namespace tendrix::desktop;
using namespace tendrix::store;
using namespace tendrix::capture;
using tendrix::test::BinDir;
using tendrix::test::RecordingSink;

TEST(CaptureWorkerTest, PointModeReadsTheWindowUnderThePointAndNoModeIgnoresTriggers) {
    RecordingDesktop desktop;
    // A title is read only when it is an amount and nothing else.
    desktop.AddWindow(7, ScreenRect{0, 0, 300, 40}, "¥ 1,288.50 元");
    RecordingSink sink;
    CaptureWorker worker(sink, &desktop, "/nonexistent/");
    ASSERT_TRUE(worker.Start("x:0, y:0"));  // a point on the screen's corner
    ASSERT_TRUE(worker.WaitReady());
    worker.Trigger();
    // No window under the point: the empty text is posted.
    ASSERT_TRUE(worker.Start("x:900, y:900"));
    worker.Trigger();
    EXPECT_EQ(sink.WaitFor(CheckoutCommand::FloatAmount, 2),
              (std::vector<std::string>{"1288.50", ""}));

    // Neither rectangle nor point: triggers and unknown messages are ignored.
    ASSERT_TRUE(worker.Start("TRUE"));
    ASSERT_TRUE(worker.WaitReady());
    worker.PostThreadMessage(1024);
    worker.Trigger();
    worker.Stop();  // the quit after the trigger: the trigger has been handled by now
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(sink.Payloads(CheckoutCommand::FloatAmount).size(), 2u);
}

// A rectangle of the screen read through recognition: the rectangle window's preview (the same
// capture step) and e2e_screen_sale; here one off the screen or upside down gives the empty
// text, not a crash.
TEST(CaptureWorkerTest, RectangleUpsideDownOrOffTheScreenGivesTheEmptyText) {
    RecordingDesktop desktop;
    desktop.SetScreenImage(test::ScreenWith(ScreenImage{}, 0, 0, 640, 240));
    RecordingSink sink;
    CaptureWorker worker(sink, &desktop, BinDir());
    ASSERT_TRUE(worker.Start("top:100, left:400, right:300, bottom:50"));
    ASSERT_TRUE(worker.WaitReady());
    worker.Trigger();
    ASSERT_TRUE(worker.Start("top:200, left:600, right:900, bottom:400"));
    worker.Trigger();
    EXPECT_EQ(sink.WaitFor(CheckoutCommand::FloatAmount, 2), (std::vector<std::string>{"", ""}));
}

TEST(CaptureWorkerTest, SetUpFailuresEndTheWorker) {
    RecordingDesktop desktop;
    RecordingSink sink;
    {
        // Library missing: the worker ends silently.
        CaptureWorker worker(sink, &desktop, "/nonexistent/");
        ASSERT_TRUE(worker.Start("top:0, left:0, right:200, bottom:40"));
        EXPECT_FALSE(worker.WaitReady());
        EXPECT_FALSE(worker.Running());
        worker.Trigger();  // ignored, never queued behind a dead worker
        EXPECT_TRUE(sink.Payloads(CheckoutCommand::ShowMessage).empty());
    }
    // Missing recognition data: the message, then the worker ends. A fresh copy of the
    // library in a child process (its engine is initialised once per load).
    tendrix::test::TempDir empty, libdir;
    std::filesystem::copy_file(BinDir() + OcrPlugin::kLibraryName,
                               libdir / OcrPlugin::kLibraryName);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TESSDATA_PREFIX", empty.path().c_str(), 1);
        RecordingSink child_sink;
        CaptureWorker worker(child_sink, &desktop, libdir.path());
        worker.Start("top:0, left:0, right:200, bottom:40");
        const bool ready = worker.WaitReady();
        const auto messages = child_sink.Payloads(CheckoutCommand::ShowMessage);
        const bool ok = !ready && messages.size() == 1 &&
                        GbkToUtf8(messages[0]) == OcrPlugin::kMissingEnvironmentText;
        worker.Stop();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CaptureSchedule, WhichWorkerAndHowOften) {
    RecordingDesktop desktop;
    desktop.AddWindow(1, ScreenRect{0, 0, 100, 100}, "5.00");
    RecordingSink sink;
    Settings settings;
    settings.Set(keys::sysCutPicThemeMoney, "FALSE");
    settings.Set(keys::sysGetMoneyFromHwnd, "无");
    CaptureSources sources(settings, PortMap(), sink, &desktop, BinDir());
    sources.StartCaptureWorker();
    EXPECT_EQ(sources.Worker(), nullptr);
    EXPECT_FALSE(sources.OnTimerTick());

    settings.Set(keys::sysCutPicThemeMoney, "TRUE");  // on, but no rectangle chosen yet
    settings.Set(keys::sysGetMoneyFromHwnd, "x:10, y:10");
    sources.StartCaptureWorker();
    ASSERT_TRUE(sources.Worker());
    EXPECT_EQ(sources.Worker()->mode(), CaptureConfig::Mode::Point);
    // The ticks of 100 on which the worker is triggered.
    const auto triggered = [&] {
        std::vector<int> ticks;
        for (int tick = 1; tick <= 100; ++tick)
            if (sources.OnTimerTick()) ticks.push_back(tick);
        return ticks;
    };
    sources.Worker()->WaitReady();
    EXPECT_EQ(triggered(), (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(sink.WaitFor(CheckoutCommand::FloatAmount, 4).size(), 4u);

    // A rectangle wins over the point and is read every 50 ticks.
    settings.Set(keys::sysCutPicThemeMoney, "top:0, left:0, right:100, bottom:40");
    sources.StartCaptureWorker();
    ASSERT_TRUE(sources.Worker());
    EXPECT_EQ(sources.Worker()->mode(), CaptureConfig::Mode::Rectangle);
    ASSERT_TRUE(sources.Worker()->WaitReady());
    EXPECT_EQ(triggered(), (std::vector<int>{50, 100}));
    sources.StopCaptureWorker();
    EXPECT_FALSE(sources.OnTimerTick());
}
