#include "checkout/output_sinks.h"

#include "capture/serial_port.h"
#include "context/app_config.h"
#include "printing/print_setup.h"
#include "voice/voice_player.h"

namespace tendrix::checkout {

namespace {

class PrinterReceiptSink final : public ReceiptSink {
  public:
    ~PrinterReceiptSink() override {
        // The service first: the writer writes what it still holds when it stops.
        service_.reset();
        writer_.reset();
    }
    void Configure(const context::AppConfig& config, common::CommandSink& notify) override {
        printing::ConfigurePrinting(printing::PrintConfigFromApp(config), &notify, writer_,
                                    service_);
    }
    void Print(const std::string& receipt_gbk) override {
        if (writer_) writer_->Post(receipt_gbk);
    }

  private:
    std::unique_ptr<printing::PrintLogWriter> writer_;
    std::unique_ptr<printing::CReadTxtSendPrint> service_;
};

class PlayerVoiceSink final : public VoiceSink {
  public:
    explicit PlayerVoiceSink(std::function<std::unique_ptr<voice::VoiceOutput>()> make_output)
        : make_output_(std::move(make_output)) {}
    void Switch(bool on, const std::string& voice_dir) override {
        voice::ApplyVoiceSwitch(player_, on ? "TRUE" : "FALSE", voice_dir,
                                make_output_ ? make_output_() : nullptr);
    }
    void Play(const std::vector<std::string>& names) override {
        if (player_) player_->QueueNames(names);
    }

  private:
    std::function<std::unique_ptr<voice::VoiceOutput>()> make_output_;
    std::unique_ptr<voice::VoicePlayer> player_;
};

class FacePayPortSink final : public FacePaySink {
  public:
    explicit FacePayPortSink(std::function<capture::SerialPort*()> port) : port_(std::move(port)) {}
    bool Write(const std::string& bytes) override {
        capture::SerialPort* port = port_ ? port_() : nullptr;
        return port && port->IsOpen() && port->Write(bytes);
    }

  private:
    std::function<capture::SerialPort*()> port_;
};

}  // namespace

std::unique_ptr<ReceiptSink> MakePrinterReceiptSink() {
    return std::make_unique<PrinterReceiptSink>();
}

std::unique_ptr<VoiceSink> MakePlayerVoiceSink(
    std::function<std::unique_ptr<voice::VoiceOutput>()> make_output) {
    return std::make_unique<PlayerVoiceSink>(std::move(make_output));
}

std::unique_ptr<FacePaySink> MakeFacePayPortSink(std::function<capture::SerialPort*()> port) {
    return std::make_unique<FacePayPortSink>(std::move(port));
}

}  // namespace tendrix::checkout
