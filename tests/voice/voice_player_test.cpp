#include "voice/voice_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace tendrix::voice {
namespace {

std::string VoiceDir() {
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    return std::string(src ? src : ".") + "/Voice/";
}

TEST(VoicePrompts, EveryPromptIsADecodableMp3AndOtherFilesHaveNoLength) {
    std::vector<std::string> names = {
        "landsuccess",       "scanbarsuccess", "paysuccess",  "qrpaysuccess", "refundsuccess",
        "partrefundsuccess", "frozensuccess",  "thawsuccess", "checksuccess", "."};
    for (char c = '0'; c <= '9'; ++c) names.push_back(std::string(1, c));
    for (const auto& n : names) {
        int64_t ms = Mp3LengthMs(VoiceDir() + n + ".mp3");
        EXPECT_GT(ms, 100) << n;
        EXPECT_LT(ms, 5000) << n;
    }
    test::TempDir dir;
    std::ofstream(dir / "bad.mp3") << "not an mp3 at all";
    EXPECT_LT(Mp3LengthMs(dir / "bad.mp3"), 0);
    EXPECT_LT(Mp3LengthMs(dir / "missing.mp3"), 0);
}

// A player on the recording output.
class VoicePlayerTest : public ::testing::Test {
  protected:
    // Waits (bounded) until the output has logged `count` events.
    std::vector<NullOutput::Event> Events(size_t count) {
        for (int i = 0; i < 1000 && out_.Events().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return out_.Events();
    }
    // The files played among the first `count` events.
    std::vector<std::string> Plays(size_t count) {
        std::vector<std::string> plays;
        for (auto& e : Events(count))
            if (e.what == "play") plays.push_back(e.path);
        return plays;
    }
    NullOutput& out_ = *new NullOutput;
    VoicePlayer player_{std::unique_ptr<NullOutput>(&out_)};
};

TEST_F(VoicePlayerTest, NamesPlayInBatchesOfFiftyEachWaitingItsLength) {
    std::vector<std::string> names;
    for (int i = 0; i < 120; ++i) names.push_back(std::to_string(i % 10) + ".mp3");
    ASSERT_TRUE(player_.Start(VoiceDir()));
    player_.QueueNames(names);  // one list: queued under one lock hold
    // Each batch opens all its sounds, plays and waits each in order, then closes them all.
    auto ev = Events(120 * 4);
    ASSERT_EQ(ev.size(), 480u);
    size_t pos = 0, played = 0;
    for (size_t batch : {50u, 50u, 20u}) {
        for (size_t i = 0; i < batch; ++i) EXPECT_EQ(ev[pos++].what, "open");
        for (size_t i = 0; i < batch; ++i) {
            const std::string path = VoiceDir() + names[played++];
            EXPECT_EQ(ev[pos].what, "play");
            EXPECT_EQ(ev[pos].path, path);
            EXPECT_EQ(ev[pos + 1].what, "wait");
            EXPECT_EQ(ev[pos + 1].ms, Mp3LengthMs(path));
            pos += 2;
        }
        for (size_t i = 0; i < batch; ++i) EXPECT_EQ(ev[pos++].what, "close");
    }
}

TEST_F(VoicePlayerTest, NameListEndsAtTheEmptyNameMissingFilesAreSkippedNothingQueuedStopped) {
    player_.Queue(std::string("1.mp3\0", 6));  // not running: dropped
    EXPECT_EQ(player_.Pending(), 0u);
    ASSERT_TRUE(player_.Start(VoiceDir().substr(0, VoiceDir().size() - 1)));  // no trailing '/'
    player_.Queue(
        std::string("3.mp3\0\0"
                    "4.mp3\0\0",
                    14));
    player_.Queue("5.mp3");  // last name without its zero byte
    EXPECT_EQ(Plays(8), (std::vector<std::string>{VoiceDir() + "3.mp3", VoiceDir() + "5.mp3"}));
    // A missing file is skipped; the rest of its batch plays. 2 open + 1 failed + 2x(play,
    // wait) + 2 close.
    player_.QueueNames({"1.mp3", "nosuch.mp3", "2.mp3"});
    EXPECT_EQ(Plays(17), (std::vector<std::string>{VoiceDir() + "3.mp3", VoiceDir() + "5.mp3",
                                                   VoiceDir() + "1.mp3", VoiceDir() + "2.mp3"}));
    EXPECT_EQ(out_.Events()[9].what, "open-failed");
    player_.Stop();
    EXPECT_FALSE(player_.Running());
    player_.Queue(std::string("1.mp3\0", 6));
    EXPECT_EQ(player_.Pending(), 0u);
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
    player.QueueNames(std::vector<std::string>(40, "partrefundsuccess.mp3"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    player.Stop();
    EXPECT_FALSE(player.Running());
    EXPECT_EQ(player.Pending(), 0u);
}

}  // namespace
}  // namespace tendrix::voice
