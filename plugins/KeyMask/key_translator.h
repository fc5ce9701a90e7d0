#pragma once
// Turns a keyboard device's key events (Linux input_event: type, code, value) into the
// characters a US keyboard types: digits, letters (Shift and Caps Lock give upper case),
// punctuation, keypad digits, and Enter as a carriage return (13).
#include <cstdint>

namespace tendrix::plugins::keymask {

class KeyTranslator {
  public:
    // Returns the character typed by this event, or 0 when it types none.
    char Feed(uint16_t type, uint16_t code, int32_t value);
    void Reset() { left_shift_ = right_shift_ = caps_ = false; }

  private:
    bool left_shift_ = false;
    bool right_shift_ = false;
    bool caps_ = false;
};

}  // namespace tendrix::plugins::keymask
