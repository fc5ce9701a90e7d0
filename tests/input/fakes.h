#pragma once
// Test doubles for the main window's side of the payment-code input.
#include <string>
#include <vector>

#include "input/payment_code_target.h"

using namespace tendrix::input;

namespace tendrix::test {

// Records the hand-off calls and the hook switch in one log, in order.
class FakeMainWindow : public PaymentCodeTarget, public HookSwitch {
  public:
    bool hidden = true;
    std::vector<std::string> log;

    void SetPayCode(const std::string& code) override { log.push_back("code " + code); }
    void ToggleShowHide() override {
        hidden = !hidden;
        log.push_back("toggle");
    }
    bool MainWindowHidden() const override { return hidden; }
    void PlayVoice(const std::string& file) override { log.push_back("voice " + file); }
    void SetPayWithoutWaiting() override { log.push_back("pay-now"); }
    void ReleaseOrShield(int flag) override { log.push_back("hook " + std::to_string(flag)); }
};

}  // namespace tendrix::test
