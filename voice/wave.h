#pragma once
// One sound of the voice player and the outputs the player plays through.
//
// CWave keeps the contract of a media-device sound: Open(path) (closing first when open),
// Play() starts playing without waiting, LengthMs() gives the length in milliseconds, Close()
// stops and releases it; destroying a CWave closes it. A sound that failed to open plays
// nothing and has length 0.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tendrix::voice {

class CWave {
  public:
    virtual ~CWave() = default;
    virtual bool Open(const std::string& path) = 0;
    virtual bool Play() = 0;
    virtual int64_t LengthMs() = 0;
    virtual void Close() = 0;
    bool IsOpen() const { return open_; }
    bool IsPlaying() const { return playing_; }

  protected:
    bool open_ = false;
    bool playing_ = false;
};

// Length of an mp3 file in milliseconds by libmpg123 (a full scan, so variable bit rates are
// exact); -1 when the file cannot be opened or decoded.
int64_t Mp3LengthMs(const std::string& path);

// Where the player's sounds come from. Only the player's worker thread uses an output.
class VoiceOutput {
  public:
    virtual ~VoiceOutput() = default;
    virtual std::unique_ptr<CWave> NewWave() = 0;
    // How long the player really waits after starting a sound of `length_ms`.
    virtual int64_t WaitMs(int64_t length_ms) { return length_ms; }
};

// Real output: libmpg123 decodes, out123 plays (its default audio driver). When no audio
// device can be opened the sound is silent but its length is still waited.
std::unique_ptr<VoiceOutput> NewOut123Output();

// Null output for tests and machines without sound: lengths are real (libmpg123), nothing is
// played, nothing is waited; every step is written to a log that the test reads (the latest
// kMaxEvents at most).
class NullOutput : public VoiceOutput {
  public:
    struct Event {
        std::string what;  // "open", "open-failed", "play", "wait", "close"
        std::string path;
        int64_t ms = 0;  // length for "wait"
    };

    static constexpr size_t kMaxEvents = 1024;

    std::unique_ptr<CWave> NewWave() override;
    int64_t WaitMs(int64_t length_ms) override;

    // A copy of the events so far (safe from any thread).
    std::vector<Event> Events() const;
    void Record(Event e);

  private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

}  // namespace tendrix::voice
