// Keystroke streams and serial scanner data through the scan classifier. The first byte picks
// the capture way and the payment switch; then 0xFF is a timer tick, 0xFE ends a serial chunk,
// any other byte is a key (keyboard modes) or a data byte (serial mode).
#include <string>

#include "input/scan_classifier.h"
#include "tests/fuzz/fuzz_target.h"
#include "tests/support/recording_desktop.h"

namespace {
class Window : public tendrix::input::PaymentCodeTarget, public tendrix::input::HookSwitch {
  public:
    bool hidden = true;
    size_t codes = 0;
    void SetPayCode(const std::string&) override { ++codes; }
    void ToggleShowHide() override { hidden = !hidden; }
    bool MainWindowHidden() const override { return hidden; }
    void PlayVoice(const std::string&) override {}
    void SetPayWithoutWaiting() override {}
    void ReleaseOrShield(int) override {}
};
}  // namespace

FUZZ_TARGET(scan_classifier) {
    if (size == 0) return 0;
    tendrix::RecordingDesktop desktop;
    Window window;
    tendrix::input::ScanClassifier classifier(desktop, window, window);
    // Off, Keyboard, KeyboardEnhanced, Serial.
    classifier.Configure(static_cast<tendrix::input::CaptureWay>(data[0] & 3), (data[0] & 4) != 0);
    window.hidden = (data[0] & 8) != 0;
    std::string chunk;
    for (size_t i = 1; i < size; ++i) {
        const uint8_t b = data[i];
        if (b == 0xFF) {
            classifier.Tick();
        } else if (b == 0xFE) {
            classifier.OnSerialData(chunk);
            chunk.clear();
        } else if (classifier.way() == tendrix::input::CaptureWay::Serial) {
            chunk.push_back(static_cast<char>(b));
        } else {
            classifier.OnHookChar(b);
        }
    }
    if (!chunk.empty()) classifier.OnSerialData(chunk);
    classifier.Tick();
    classifier.Tick();
    // Two ticks settle the keyboard mode: whatever was typed is handed off or replayed.
    if (classifier.way() == tendrix::input::CaptureWay::Keyboard)
        FUZZ_CHECK(classifier.buffer().empty());
    return 0;
}
