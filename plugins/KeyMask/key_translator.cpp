#include "plugins/KeyMask/key_translator.h"

#include <linux/input-event-codes.h>

namespace tendrix::plugins::keymask {
namespace {

struct KeyChars {
    uint16_t code;
    char plain;
    char shifted;
};

constexpr KeyChars kKeys[] = {
    {KEY_1, '1', '!'},           {KEY_2, '2', '@'},          {KEY_3, '3', '#'},
    {KEY_4, '4', '$'},           {KEY_5, '5', '%'},          {KEY_6, '6', '^'},
    {KEY_7, '7', '&'},           {KEY_8, '8', '*'},          {KEY_9, '9', '('},
    {KEY_0, '0', ')'},           {KEY_MINUS, '-', '_'},      {KEY_EQUAL, '=', '+'},
    {KEY_LEFTBRACE, '[', '{'},   {KEY_RIGHTBRACE, ']', '}'}, {KEY_SEMICOLON, ';', ':'},
    {KEY_APOSTROPHE, '\'', '"'}, {KEY_GRAVE, '`', '~'},      {KEY_BACKSLASH, '\\', '|'},
    {KEY_COMMA, ',', '<'},       {KEY_DOT, '.', '>'},        {KEY_SLASH, '/', '?'},
    {KEY_SPACE, ' ', ' '},       {KEY_TAB, '\t', '\t'},      {KEY_ENTER, '\r', '\r'},
    {KEY_KPENTER, '\r', '\r'},   {KEY_KP0, '0', '0'},        {KEY_KP1, '1', '1'},
    {KEY_KP2, '2', '2'},         {KEY_KP3, '3', '3'},        {KEY_KP4, '4', '4'},
    {KEY_KP5, '5', '5'},         {KEY_KP6, '6', '6'},        {KEY_KP7, '7', '7'},
    {KEY_KP8, '8', '8'},         {KEY_KP9, '9', '9'},        {KEY_KPDOT, '.', '.'},
    {KEY_KPMINUS, '-', '-'},     {KEY_KPPLUS, '+', '+'},     {KEY_KPASTERISK, '*', '*'},
    {KEY_KPSLASH, '/', '/'},
};

// Letter keys in alphabetical order.
constexpr uint16_t kLetters[26] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                   KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                   KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};

}  // namespace

char KeyTranslator::Feed(uint16_t type, uint16_t code, int32_t value) {
    if (type != EV_KEY) return 0;
    const bool down = value != 0;  // 1 press, 2 auto-repeat, 0 release
    if (code == KEY_LEFTSHIFT) {
        left_shift_ = down;
        return 0;
    }
    if (code == KEY_RIGHTSHIFT) {
        right_shift_ = down;
        return 0;
    }
    if (code == KEY_CAPSLOCK) {
        if (value == 1) caps_ = !caps_;
        return 0;
    }
    if (!down) return 0;
    const bool shift = left_shift_ || right_shift_;
    for (int i = 0; i < 26; ++i) {
        if (kLetters[i] == code) return static_cast<char>((shift != caps_ ? 'A' : 'a') + i);
    }
    for (const KeyChars& k : kKeys) {
        if (k.code == code) return shift ? k.shifted : k.plain;
    }
    return 0;
}

}  // namespace tendrix::plugins::keymask
