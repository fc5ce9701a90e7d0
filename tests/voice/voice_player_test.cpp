#include "voice/voice_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace tendrix::voice {
namespace {

std::string VoiceDir() {
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    return std::string(src ? src : ".") + "/Voice/";
}

// Waits (bounded) until the output has logged `count` events.
std::vector<NullOutput::Event> WaitForEvents(const NullOutput& out, size_t count) {
    for (int i = 0; i < 1000; ++i) {
        auto ev = out.Events();
        if (ev.size() >= count) return ev;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out.Events();
}

TEST(VoicePrompts, EveryPromptFileIsADecodableMp3) {
    std::vector<std::string> names = {
        "landsuccess",       "scanbarsuccess", "paysuccess",  "qrpaysuccess", "refundsuccess",
        "partrefundsuccess", "frozensuccess",  "thawsuccess", "checksuccess", "."};
    for (char c = '0'; c <= '9'; ++c) names.push_back(std::string(1, c));
    for (const auto& n : names) {
        int64_t ms = Mp3LengthMs(VoiceDir() + n + ".mp3");
        EXPECT_GT(ms, 100) << n;
        EXPECT_LT(ms, 5000) << n;
    }
}

TEST(VoicePrompts, LengthOfWhatIsNotAnMp3IsNegative) {
    test::TempDir dir;
    std::string bad = dir / "bad.mp3";
    std::ofstream(bad) << "not an mp3 at all";
    EXPECT_LT(Mp3LengthMs(bad), 0);
    EXPECT_LT(Mp3LengthMs(dir / "missing.mp3"), 0);
}

TEST(VoicePlayer, TwoNamesPlayInListOrderEachAfterTheOthersLength) {
    auto out = std::make_unique<NullOutput>();
    NullOutput& log = *out;
    VoicePlayer player(std::move(out));
    ASSERT_TRUE(player.Start(VoiceDir()));
    std::string list("landsuccess.mp3\0paysuccess.mp3\0\0", 32);
    player.Queue(list);
    auto ev = WaitForEvents(log, 8);
    ASSERT_EQ(ev.size(), 8u);
    const std::string a = VoiceDir() + "landsuccess.mp3", b = VoiceDir() + "paysuccess.mp3";
    std::vector<std::pair<std::string, std::string>> seq;
    for (auto& e : ev) seq.emplace_back(e.what, e.path);
    std::vector<std::pair<std::string, std::string>> want = {{"open", a},  {"open", b}, {"play", a},
                                                             {"wait", a},  {"play", b}, {"wait", b},
                                                             {"close", a}, {"close", b}};
    EXPECT_EQ(seq, want);
    EXPECT_EQ(ev[3].ms, Mp3LengthMs(a));
    EXPECT_EQ(ev[5].ms, Mp3LengthMs(b));
}

TEST(VoicePlayer, MoreThanFiftyNamesPlayInBatchesOfFifty) {
    auto out = std::make_unique<NullOutput>();
    NullOutput& log = *out;
    VoicePlayer player(std::move(out));
    std::vector<std::string> names;
    for (int i = 0; i < 120; ++i) names.push_back(std::to_string(i % 10) + ".mp3");
    ASSERT_TRUE(player.Start(VoiceDir()));
    player.QueueNames(names);  // one list: queued under one lock hold
    // Each sound: open, play, wait, close.
    auto ev = WaitForEvents(log, 120 * 4);
    ASSERT_EQ(ev.size(), 480u);
    size_t pos = 0, played = 0;
    for (size_t batch : {50u, 50u, 20u}) {
        for (size_t i = 0; i < batch; ++i) EXPECT_EQ(ev[pos++].what, "open");
        for (size_t i = 0; i < batch; ++i) {
            EXPECT_EQ(ev[pos].what, "play");
            EXPECT_EQ(ev[pos].path, VoiceDir() + names[played++]);
            EXPECT_EQ(ev[pos + 1].what, "wait");
            pos += 2;
        }
        for (size_t i = 0; i < batch; ++i) EXPECT_EQ(ev[pos++].what, "close");
    }
}

TEST(VoicePlayer, MissingFileIsSkippedAndTheRestOfTheBatchPlays) {
    auto out = std::make_unique<NullOutput>();
    NullOutput& log = *out;
    VoicePlayer player(std::move(out));
    ASSERT_TRUE(player.Start(VoiceDir()));
    player.QueueNames({"1.mp3", "nosuch.mp3", "2.mp3"});
    auto ev = WaitForEvents(log, 9);  // 2 open + 1 failed + 2x(play, wait) + 2 close
    std::vector<std::string> plays;
    for (auto& e : ev) {
        if (e.what == "play") plays.push_back(e.path);
    }
    EXPECT_EQ(plays, (std::vector<std::string>{VoiceDir() + "1.mp3", VoiceDir() + "2.mp3"}));
    EXPECT_EQ(ev[1].what, "open-failed");
}

TEST(VoicePlayer, NameListEndsAtTheEmptyNameAndNothingIsQueuedWhenStopped) {
    auto out = std::make_unique<NullOutput>();
    NullOutput& log = *out;
    VoicePlayer player(std::move(out));
    player.Queue(std::string("1.mp3\0", 6));  // not running: dropped
    EXPECT_EQ(player.Pending(), 0u);
    ASSERT_TRUE(player.Start(VoiceDir().substr(0, VoiceDir().size() - 1)));  // no trailing '/'
    player.Queue(
        std::string("3.mp3\0\0"
                    "4.mp3\0\0",
                    14));
    player.Queue("5.mp3");  // last name without its zero byte
    auto ev = WaitForEvents(log, 8);
    std::vector<std::string> plays;
    for (auto& e : ev) {
        if (e.what == "play") plays.push_back(e.path);
    }
    EXPECT_EQ(plays, (std::vector<std::string>{VoiceDir() + "3.mp3", VoiceDir() + "5.mp3"}));
    player.Stop();
    EXPECT_FALSE(player.Running());
    player.Queue(std::string("1.mp3\0", 6));
    EXPECT_EQ(player.Pending(), 0u);
}

TEST(VoicePlayer, SwitchOffStopsThePlayerAndHandOffOnlyClearsTheBuffer) {
    std::unique_ptr<VoicePlayer> player;
    ApplyVoiceSwitch(player, "TRUE", VoiceDir(), std::make_unique<NullOutput>());
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->Running());
    ApplyVoiceSwitch(player, "FALSE", VoiceDir());
    EXPECT_FALSE(player);

    std::string buffer = VoicePlayer::MakeNameList({"landsuccess.mp3"});
    HandOffVoice(player.get(), buffer);  // voice prompts off: dropped
    EXPECT_TRUE(buffer.empty());
}

TEST(VoicePlayer, StopCutsShortALongWaitWithTheRealOutput) {
    // The real out123 output waits each file's length; Stop must not wait for the rest of the
    // queue (here about a minute of prompts). Whether a sound device exists does not matter.
    VoicePlayer player;
    ASSERT_TRUE(player.Start(VoiceDir()));
    std::vector<std::string> names(40, "partrefundsuccess.mp3");
    player.QueueNames(names);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    player.Stop();
    EXPECT_FALSE(player.Running());
    EXPECT_EQ(player.Pending(), 0u);
}

}  // namespace
}  // namespace tendrix::voice
