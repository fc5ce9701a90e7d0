#include "voice/wave.h"

#include <mpg123.h>
#include <out123.h>

#include <atomic>
#include <thread>

namespace tendrix::voice {
namespace {

// libmpg123 before 1.27 needed a global init; calling it is harmless on newer versions.
void EnsureMpg123() {
    static const bool done = [] {
        mpg123_init();
        return true;
    }();
    (void)done;
}

struct Mp3Handle {
    mpg123_handle* h = nullptr;
    ~Mp3Handle() {
        if (h) {
            mpg123_close(h);
            mpg123_delete(h);
        }
    }
    bool Open(const std::string& path) {
        EnsureMpg123();
        int err = MPG123_OK;
        h = mpg123_new(nullptr, &err);
        if (!h) return false;
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        return mpg123_open(h, path.c_str()) == MPG123_OK;
    }
};

// Plays through out123 on a thread of its own, so that Play() returns at once.
class Out123Wave : public CWave {
  public:
    ~Out123Wave() override { Close(); }

    bool Open(const std::string& path) override {
        Close();
        length_ms_ = Mp3LengthMs(path);
        if (length_ms_ < 0) return false;
        path_ = path;
        open_ = true;
        return true;
    }

    bool Play() override {
        if (!open_ || playing_) return false;
        stop_ = false;
        playing_ = true;
        player_ = std::thread([path = path_, this] { Decode(path); });
        return true;
    }

    int64_t LengthMs() override { return open_ ? length_ms_ : 0; }

    void Close() override {
        stop_ = true;
        if (player_.joinable()) player_.join();
        playing_ = false;
        open_ = false;
    }

  private:
    void Decode(const std::string& path) {
        Mp3Handle mp3;
        if (!mp3.Open(path)) return;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(mp3.h, &rate, &channels, &encoding) != MPG123_OK) return;
        out123_handle* ao = out123_new();
        if (!ao) return;
        if (out123_open(ao, nullptr, nullptr) == OUT123_OK &&
            out123_start(ao, rate, channels, encoding) == OUT123_OK) {
            unsigned char buf[8192];
            size_t got = 0;
            while (!stop_.load()) {
                int rc = mpg123_read(mp3.h, buf, sizeof buf, &got);
                if (got > 0) out123_play(ao, buf, got);
                if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break;
            }
            if (stop_.load())
                out123_drop(ao);
            else
                out123_drain(ao);
            out123_stop(ao);
        }
        out123_del(ao);
    }

    std::string path_;
    int64_t length_ms_ = 0;
    std::atomic<bool> stop_{false};
    std::thread player_;
};

class Out123Output : public VoiceOutput {
  public:
    std::unique_ptr<CWave> NewWave() override { return std::make_unique<Out123Wave>(); }
};

class NullWave : public CWave {
  public:
    explicit NullWave(NullOutput& log) : log_(log) {}
    ~NullWave() override { Close(); }

    bool Open(const std::string& path) override {
        Close();
        path_ = path;
        length_ms_ = Mp3LengthMs(path);
        open_ = length_ms_ >= 0;
        log_.Record({open_ ? "open" : "open-failed", path, 0});
        return open_;
    }
    bool Play() override {
        if (!open_) return false;
        playing_ = true;
        log_.Record({"play", path_, length_ms_});
        return true;
    }
    int64_t LengthMs() override { return open_ ? length_ms_ : 0; }
    void Close() override {
        if (open_) log_.Record({"close", path_, 0});
        open_ = playing_ = false;
    }

  private:
    NullOutput& log_;
    std::string path_;
    int64_t length_ms_ = 0;
};

}  // namespace

int64_t Mp3LengthMs(const std::string& path) {
    Mp3Handle mp3;
    if (!mp3.Open(path)) return -1;
    if (mpg123_scan(mp3.h) != MPG123_OK) return -1;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mp3.h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0) return -1;
    off_t samples = mpg123_length(mp3.h);
    if (samples < 0) return -1;
    return static_cast<int64_t>(samples) * 1000 / rate;
}

std::unique_ptr<VoiceOutput> NewOut123Output() {
    return std::make_unique<Out123Output>();
}

std::unique_ptr<CWave> NullOutput::NewWave() {
    return std::make_unique<NullWave>(*this);
}

int64_t NullOutput::WaitMs(int64_t length_ms) {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = events_.empty() ? std::string() : events_.back().path;
    }
    Record({"wait", path, length_ms});
    return 0;
}

void NullOutput::Record(Event e) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Only the latest events are kept: a program running without sound for days must not grow.
    if (events_.size() >= kMaxEvents)
        events_.erase(events_.begin(), events_.begin() + kMaxEvents / 2);
    events_.push_back(std::move(e));
}

std::vector<NullOutput::Event> NullOutput::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

}  // namespace tendrix::voice
