#include "input/payment_input.h"

namespace tendrix::input {

PaymentInput::PaymentInput(desktop::DesktopServices& desktop, common::CommandSink& main_window,
                           PaymentCodeTarget& target, std::string keymask_library)
    : desktop_(desktop),
      hook_(std::move(keymask_library), &main_window),
      classifier_(desktop, hook_, target) {}

PaymentInput::~PaymentInput() {
    for (const GlobalHotKey& hk : kGlobalHotKeys) desktop_.UnregisterHotKey(hk.atom);
}

std::vector<std::string> PaymentInput::ApplySettings(const store::Settings& settings,
                                                     std::function<void()> show_hide,
                                                     std::function<void()> reboot) {
    capture_on_ = settings.IsTrue("sysIsBarcodeCapture");
    const CaptureWay way = ParseCaptureWay(settings.Get("sysCaptureWay"));
    classifier_.Configure(way, settings.Get("sysWaitPay") != "FALSE");
    // A new scanner device takes effect when the hook is loaded again (next hidden tick).
    if (settings.Get("sysScannerInputDevice") != hook_.device()) {
        hook_.Unload();
        hook_.SetDevice(settings.Get("sysScannerInputDevice"));
    }
    hook_.RetryLoad();
    key_table_.Load(settings);
    camera_hotkey_ = ParseHotKeyValue(settings.Get("OpenCloseCameraHotKey"));
    runner_.SetTemplate(BuildAfterPaymentTemplate(settings));
    HotKeyActions actions{std::move(show_hide), std::move(reboot), [this] { HookOpenOff(); }};
    return RegisterGlobalHotKeys(desktop_, settings, actions);
}

void PaymentInput::OnScannerChar(const std::string& payload) {
    if (!payload.empty()) classifier_.OnHookChar(static_cast<unsigned char>(payload[0]));
}

void PaymentInput::OnScannerData(const std::string& payload) {
    classifier_.OnSerialData(payload);
}

void PaymentInput::OnAfterPayment(const std::string& amount) {
    if (!runner_.templ().steps.empty()) runner_.Start(amount);
}

void PaymentInput::Tick(bool hidden_or_box_open) {
    desktop_.ProcessEvents();
    if (hidden_or_box_open) hook_.Manage(capture_on_, classifier_.way());
    classifier_.Tick();
}

bool PaymentInput::StepTimerTick(bool main_hidden, bool popup_visible) {
    return runner_.Tick(desktop_, main_hidden, popup_visible);
}

void PaymentInput::HookOpenOff() {
    classifier_.Clear();
    hook_.ToggleFromHotKey();
}

}  // namespace tendrix::input
