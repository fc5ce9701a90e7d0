#pragma once
// Output sinks of the main window that record what reaches them: receipts, voice prompt names
// and face-pay bytes. For a main window driven offscreen without printer, sound or device.
#include <string>
#include <vector>

#include "checkout/output_sinks.h"

namespace tendrix::test {

class RecordingReceipts : public checkout::ReceiptSink {
  public:
    void Configure(const context::AppConfig&, common::CommandSink&) override {}
    void Print(const std::string& receipt_gbk) override { printed.push_back(receipt_gbk); }

    std::vector<std::string> printed;  // GBK, in order
};

class RecordingVoice : public checkout::VoiceSink {
  public:
    void Switch(bool on, const std::string&) override { this->on = on; }
    void Play(const std::vector<std::string>& names) override {
        played.insert(played.end(), names.begin(), names.end());
    }

    std::vector<std::string> played;
    bool on = false;
};

class RecordingFacePay : public checkout::FacePaySink {
  public:
    bool Write(const std::string& bytes) override {
        written += bytes;
        return true;
    }

    std::string written;
};

// All three, handed to a main window's options.
struct RecordingOutputs {
    template <typename Options>
    void Inject(Options& options) {
        options.receipts = &receipts;
        options.voice = &voice;
        options.face_pay = &face_pay;
    }
    RecordingReceipts receipts;
    RecordingVoice voice;
    RecordingFacePay face_pay;
};

}  // namespace tendrix::test
