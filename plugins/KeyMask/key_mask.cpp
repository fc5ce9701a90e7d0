// libKeyMask.so: captures the barcode scanner's keystrokes and delivers them to the main
// window as command 5 (see key_mask_api.h for the entries).
#include <memory>
#include <mutex>
#include <string>

#include "common/checkout_command.h"
#include "input/key_mask_api.h"
#include "plugins/KeyMask/scanner_reader.h"

namespace {

std::mutex g_mu;  // entries
std::unique_ptr<tendrix::plugins::keymask::ScannerReader> g_reader;
std::string g_device;

std::mutex g_target_mu;  // delivery target, read by the reader thread
tendrix::common::CommandSink* g_sink = nullptr;
int g_command = 5;

void DeliverChar(char ch) {
    std::lock_guard<std::mutex> lock(g_target_mu);
    if (g_sink)
        g_sink->PostCommand(static_cast<tendrix::common::CheckoutCommand>(g_command),
                            std::string(1, ch));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void KeyMaskSetDevice(const char* path) {
    std::lock_guard<std::mutex> lock(g_mu);
    g_device = path ? path : "";
}

extern "C" __attribute__((visibility("default"))) int StartKeyMask(void* window, unsigned message,
                                                                   int command) {
    (void)message;
    if (!window) return 0;
    std::lock_guard<std::mutex> lock(g_mu);
    {
        std::lock_guard<std::mutex> target(g_target_mu);
        g_sink = static_cast<tendrix::common::CommandSink*>(window);
        g_command = command;
    }
    if (!g_reader) {
        g_reader =
            std::make_unique<tendrix::plugins::keymask::ScannerReader>(g_device, DeliverChar);
        g_reader->SetShield(true);
        g_reader->Start();
    }
    return 1;
}

extern "C" __attribute__((visibility("default"))) int ReleaseOrShield(int flag) {
    std::lock_guard<std::mutex> lock(g_mu);
    if (!g_reader) return 0;
    g_reader->SetShield(flag == 0);
    return 1;
}

extern "C" __attribute__((visibility("default"))) int StopKeyMask() {
    std::unique_ptr<tendrix::plugins::keymask::ScannerReader> reader;
    {
        std::lock_guard<std::mutex> lock(g_mu);
        reader = std::move(g_reader);
    }
    if (reader) reader->Stop();
    std::lock_guard<std::mutex> target(g_target_mu);
    g_sink = nullptr;
    return 1;
}
