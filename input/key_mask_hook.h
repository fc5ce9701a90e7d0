#pragma once
// Loads libKeyMask.so at run time and drives it: the keyboard hook that takes the barcode
// scanner's keystrokes away from the desktop and delivers them as command 5.
#include <string>

#include "common/checkout_command.h"
#include "input/payment_code_target.h"
#include "input/scan_classifier.h"

namespace tendrix::input {

class KeyMaskHook final : public HookSwitch {
  public:
    static constexpr const char* kLibraryName = "libKeyMask.so";

    // `library_path`: full path of libKeyMask.so (the program directory's copy).
    // `main_window`: where characters are delivered (command 5 with the character).
    KeyMaskHook(std::string library_path, common::CommandSink* main_window);
    ~KeyMaskHook() override;
    KeyMaskHook(const KeyMaskHook&) = delete;
    KeyMaskHook& operator=(const KeyMaskHook&) = delete;

    // The evdev device from `sysScannerInputDevice` ("" = find by name); used at the next load.
    void SetDevice(const std::string& device) { device_ = device; }
    const std::string& device() const { return device_; }

    // Loads the library, resolves the entries and calls StartKeyMask(main window, 1224, 5).
    // False when the library or an entry is missing (scanning by hook is then unavailable).
    bool Load();
    // StopKeyMask() and unloads.
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }

    void ReleaseOrShield(int flag) override;
    int release_flag() const { return flag_; }

    // Hook management of the 30 ms tick (only while the main window is hidden or one of the
    // system's message boxes is open): loads and shields when scanner capture is on in a
    // keyboard mode, unloads otherwise. A library that failed to load is not retried until
    // RetryLoad() (called when the settings are applied).
    void Manage(bool capture_on, CaptureWay way);
    void RetryLoad() { load_failed_ = false; }

    // The sysHookOpenOff hotkey (the caller empties the scan buffer first): loads and starts
    // the hook if needed, otherwise flips the release flag; then applies the flag.
    void ToggleFromHotKey();

  private:
    std::string library_path_;
    common::CommandSink* main_window_;
    std::string device_;
    void* handle_ = nullptr;
    bool load_failed_ = false;
    int flag_ = 0;
    void* start_ = nullptr;
    void* release_ = nullptr;
    void* stop_ = nullptr;
};

}  // namespace tendrix::input
