#pragma once
// Where the main window's outputs of a sale go: receipts, voice prompts and the face-pay
// device's bytes. CMainDlg builds the real ones below unless its Options name others (tests
// hand in recording ones).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/checkout_command.h"

namespace tendrix::voice {
class VoiceOutput;
}  // namespace tendrix::voice

namespace tendrix::capture {
class SerialPort;
}  // namespace tendrix::capture

namespace tendrix::context {
class AppConfig;
}  // namespace tendrix::context

namespace tendrix::checkout {

// Receipts: command 7 and payment success (command 1).
class ReceiptSink {
  public:
    virtual ~ReceiptSink() = default;
    // The settings were applied with the devices on (start-up, "OpenAllSet"): the printer
    // set-up is taken up again. The print service's messages go to `notify`.
    virtual void Configure(const context::AppConfig& config, common::CommandSink& notify) = 0;
    // One receipt, GBK text as the pages send it.
    virtual void Print(const std::string& receipt_gbk) = 0;
};

// Voice prompts (prompt file names such as "paysuccess.mp3").
class VoiceSink {
  public:
    virtual ~VoiceSink() = default;
    // sysIsOpenVoicePrompt applied: on (re)starts the prompts from `voice_dir`, off stops
    // them. The main window hands names over only while on.
    virtual void Switch(bool on, const std::string& voice_dir) = 0;
    virtual void Play(const std::vector<std::string>& names) = 0;
};

// The face-pay device's port (show and hide commands of the amount).
class FacePaySink {
  public:
    virtual ~FacePaySink() = default;
    // False when the port is not open.
    virtual bool Write(const std::string& bytes) = 0;
};

// The real ones: the print log writer and the print service thread; the voice player
// (through out123, or an output from `make_output` for each player started); the face-pay
// serial port owned by the capture sources (`port` returns it, null while none is open).
std::unique_ptr<ReceiptSink> MakePrinterReceiptSink();
std::unique_ptr<VoiceSink> MakePlayerVoiceSink(
    std::function<std::unique_ptr<voice::VoiceOutput>()> make_output = {});
std::unique_ptr<FacePaySink> MakeFacePayPortSink(std::function<capture::SerialPort*()> port);

}  // namespace tendrix::checkout
