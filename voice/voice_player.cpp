#include "voice/voice_player.h"

#include <chrono>

namespace tendrix::voice {

VoicePlayer::VoicePlayer(std::unique_ptr<VoiceOutput> output) : output_(std::move(output)) {
    if (!output_) output_ = NewOut123Output();
}

VoicePlayer::~VoicePlayer() {
    Stop();
}

bool VoicePlayer::Start(const std::string& voice_dir) {
    if (running_.load() || worker_.joinable()) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dir_ = voice_dir;
        if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
    }
    running_ = true;
    worker_ = std::thread([this] { Run(); });
    return true;
}

void VoicePlayer::Queue(const std::string& name_list) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_.load()) return;
    size_t pos = 0;
    while (pos < name_list.size()) {
        size_t end = name_list.find('\0', pos);
        if (end == std::string::npos) end = name_list.size();
        if (end == pos) break;  // the empty name ends the list
        queue_.push_back(dir_ + name_list.substr(pos, end - pos));
        pos = end + 1;
    }
}

void VoicePlayer::QueueNames(const std::vector<std::string>& names) {
    Queue(MakeNameList(names));
}

std::string VoicePlayer::MakeNameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) {
        if (n.empty()) break;  // an empty name would end the list here anyway
        list += n;
        list += '\0';
    }
    list += '\0';
    return list;
}

size_t VoicePlayer::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void VoicePlayer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dir_.clear();
        queue_.clear();
        running_ = false;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void VoicePlayer::WaitInterruptible(int64_t ms) {
    if (ms <= 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_.load(); });
}

void VoicePlayer::Run() {
    while (running_.load()) {
        WaitInterruptible(kPollMs);
        std::vector<std::unique_ptr<CWave>> batch;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!running_.load() || queue_.empty()) continue;
            while (!queue_.empty() && batch.size() < kBatchSize) {
                auto wave = output_->NewWave();
                wave->Open(queue_.front());  // a sound that fails to open is skipped below
                queue_.pop_front();
                batch.push_back(std::move(wave));
            }
        }
        for (auto& wave : batch) {
            if (!running_.load()) break;
            // A sound that failed to open plays nothing and is not waited for.
            if (!wave->IsOpen() || !wave->Play()) continue;
            int64_t length = wave->LengthMs();
            WaitInterruptible(output_->WaitMs(length < 0 ? 0 : length));
        }
        for (auto& wave : batch) wave->Close();
    }
}

void HandOffVoice(VoicePlayer* player, std::string& message_buffer) {
    if (player != nullptr && player->Running()) player->Queue(message_buffer);
    message_buffer.clear();
}

void ApplyVoiceSwitch(std::unique_ptr<VoicePlayer>& player, const std::string& setting_value,
                      const std::string& voice_dir, std::unique_ptr<VoiceOutput> output) {
    if (player) {
        player->Stop();
        player.reset();
    }
    if (setting_value == "TRUE") {
        player = std::make_unique<VoicePlayer>(std::move(output));
        player->Start(voice_dir);
    }
}

}  // namespace tendrix::voice
