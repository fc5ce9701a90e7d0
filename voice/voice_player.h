#pragma once
// The voice player: one worker thread plays queued prompt files one after another, waiting for
// each file's length before the next. Every 50 ms the worker looks at the queue; it takes up to
// 50 paths at a time, opens them all, then plays them in order, then closes them all. The lock
// guards only the queue: it is never held while a sound plays.
//
// Pages do not call the player: they put names into AppConfig's message buffer and the main
// window hands that buffer over (HandOffVoice below).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "voice/wave.h"

namespace tendrix::voice {

class VoicePlayer {
  public:
    static constexpr size_t kBatchSize = 50;
    static constexpr int kPollMs = 50;

    // output: where sounds go; null uses the out123 output.
    explicit VoicePlayer(std::unique_ptr<VoiceOutput> output = nullptr);
    ~VoicePlayer();  // stops
    VoicePlayer(const VoicePlayer&) = delete;
    VoicePlayer& operator=(const VoicePlayer&) = delete;

    // Stores the voice directory (a '/' is added when missing), sets the running flag and starts
    // the worker. False when already running.
    bool Start(const std::string& voice_dir);
    // Appends voice directory + name for every name of a name list: names each ended by a zero
    // byte, the list ended by an empty name (or by the end of the text). Ignored when stopped.
    void Queue(const std::string& name_list);
    void QueueNames(const std::vector<std::string>& names);
    // Empties the directory and the queue, clears the running flag, ends the worker. A sound
    // being waited for is cut short.
    void Stop();

    bool Running() const { return running_.load(); }
    size_t Pending() const;

    // Builds a name list from names (each ended by a zero byte, then the empty name).
    static std::string MakeNameList(const std::vector<std::string>& names);

  private:
    void Run();
    void WaitInterruptible(int64_t ms);

    std::unique_ptr<VoiceOutput> output_;
    mutable std::mutex mutex_;  // guards dir_ and queue_
    std::condition_variable wake_;
    std::string dir_;
    std::deque<std::string> queue_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

// The main window's hand-off of AppConfig's message buffer (command 9): queued when a player
// exists, dropped otherwise; the buffer is cleared either way.
void HandOffVoice(VoicePlayer* player, std::string& message_buffer);

// Applies the setting sysIsOpenVoicePrompt: "TRUE" replaces `player` by a new running one,
// anything else stops and destroys an existing player.
void ApplyVoiceSwitch(std::unique_ptr<VoicePlayer>& player, const std::string& setting_value,
                      const std::string& voice_dir, std::unique_ptr<VoiceOutput> output = nullptr);

}  // namespace tendrix::voice
