#include "input/key_mask_hook.h"

#include <dlfcn.h>

#include "common/diag_log.h"
#include "input/key_mask_api.h"

namespace tendrix::input {

KeyMaskHook::KeyMaskHook(std::string library_path, common::CommandSink* main_window)
    : library_path_(std::move(library_path)), main_window_(main_window) {}

KeyMaskHook::~KeyMaskHook() {
    Unload();
}

bool KeyMaskHook::Load() {
    if (handle_) return true;
    void* h = dlopen(library_path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* why = dlerror();
        common::diag::Write("input",
                            std::string("KeyMask not loaded: ") + (why ? why : library_path_));
        return false;
    }
    start_ = dlsym(h, "StartKeyMask");
    release_ = dlsym(h, "ReleaseOrShield");
    stop_ = dlsym(h, "StopKeyMask");
    if (!start_ || !release_ || !stop_) {
        common::diag::Write("input", "KeyMask entries missing in " + library_path_);
        dlclose(h);
        start_ = release_ = stop_ = nullptr;
        return false;
    }
    if (auto set_device = reinterpret_cast<KeyMaskSetDeviceFn>(dlsym(h, "KeyMaskSetDevice")))
        set_device(device_.c_str());
    handle_ = h;
    reinterpret_cast<StartKeyMaskFn>(start_)(
        static_cast<void*>(main_window_), common::kCommandMessage,
        static_cast<int>(common::CheckoutCommand::ScannerChar));
    return true;
}

void KeyMaskHook::Unload() {
    if (!handle_) return;
    reinterpret_cast<StopKeyMaskFn>(stop_)();
    dlclose(handle_);
    handle_ = nullptr;
    start_ = release_ = stop_ = nullptr;
}

void KeyMaskHook::ReleaseOrShield(int flag) {
    flag_ = flag;
    if (handle_) reinterpret_cast<ReleaseOrShieldFn>(release_)(flag);
}

void KeyMaskHook::Manage(bool capture_on, CaptureWay way) {
    const bool keyboard = way == CaptureWay::Keyboard || way == CaptureWay::KeyboardEnhanced;
    if (capture_on && keyboard) {
        if (handle_ || load_failed_) return;
        if (!Load()) {
            load_failed_ = true;
            return;
        }
        ReleaseOrShield(0);
    } else if (handle_) {
        Unload();
    }
}

void KeyMaskHook::ToggleFromHotKey() {
    if (!handle_) {
        if (!Load()) return;
        flag_ = 0;
    } else {
        flag_ = flag_ == 0 ? 1 : 0;
    }
    ReleaseOrShield(flag_);
}

}  // namespace tendrix::input
