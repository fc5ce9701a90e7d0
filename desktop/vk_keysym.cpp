#include "desktop/vk_keysym.h"

#include <X11/keysym.h>

#include <array>
#include <utility>

namespace tendrix::desktop {
namespace {

// Virtual keys that are not letters, digits or function keys.
constexpr std::pair<int, uint32_t> kTable[] = {
    {0x08, XK_BackSpace},   {0x09, XK_Tab},          {0x0C, XK_Clear},
    {0x0D, XK_Return},      {0x10, XK_Shift_L},      {0x11, XK_Control_L},
    {0x12, XK_Alt_L},       {0x13, XK_Pause},        {0x14, XK_Caps_Lock},
    {0x1B, XK_Escape},      {0x20, XK_space},        {0x21, XK_Prior},
    {0x22, XK_Next},        {0x23, XK_End},          {0x24, XK_Home},
    {0x25, XK_Left},        {0x26, XK_Up},           {0x27, XK_Right},
    {0x28, XK_Down},        {0x2C, XK_Print},        {0x2D, XK_Insert},
    {0x2E, XK_Delete},      {0x2F, XK_Help},         {0x5B, XK_Super_L},
    {0x5C, XK_Super_R},     {0x5D, XK_Menu},         {0x6A, XK_KP_Multiply},
    {0x6B, XK_KP_Add},      {0x6C, XK_KP_Separator}, {0x6D, XK_KP_Subtract},
    {0x6E, XK_KP_Decimal},  {0x6F, XK_KP_Divide},    {0x90, XK_Num_Lock},
    {0x91, XK_Scroll_Lock}, {0xA0, XK_Shift_L},      {0xA1, XK_Shift_R},
    {0xA2, XK_Control_L},   {0xA3, XK_Control_R},    {0xA4, XK_Alt_L},
    {0xA5, XK_Alt_R},       {0xBA, XK_semicolon},    {0xBB, XK_equal},
    {0xBC, XK_comma},       {0xBD, XK_minus},        {0xBE, XK_period},
    {0xBF, XK_slash},       {0xC0, XK_grave},        {0xDB, XK_bracketleft},
    {0xDC, XK_backslash},   {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
};

}  // namespace

uint32_t VkToKeysym(int vk) {
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    // A letter key without Shift types the lower-case letter, as on Windows.
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);
    for (const auto& [code, sym] : kTable) {
        if (code == vk) return sym;
    }
    return 0;
}

int KeysymToVk(uint32_t keysym) {
    if (keysym >= XK_0 && keysym <= XK_9) return '0' + static_cast<int>(keysym - XK_0);
    if (keysym >= XK_a && keysym <= XK_z) return 'A' + static_cast<int>(keysym - XK_a);
    if (keysym >= XK_A && keysym <= XK_Z) return 'A' + static_cast<int>(keysym - XK_A);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return 0x60 + static_cast<int>(keysym - XK_KP_0);
    if (keysym >= XK_F1 && keysym <= XK_F24) return 0x70 + static_cast<int>(keysym - XK_F1);
    if (keysym == XK_KP_Enter) return 0x0D;
    for (const auto& [code, sym] : kTable) {
        if (sym == keysym) return code;
    }
    return 0;
}

uint32_t CharToKeysym(char32_t ch) {
    if (ch == '\r' || ch == '\n') return XK_Return;
    if (ch == '\t') return XK_Tab;
    if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0)) return 0;
    if (ch <= 0xFF) return static_cast<uint32_t>(ch);
    if (ch > 0x10FFFF) return 0;
    return 0x01000000u | static_cast<uint32_t>(ch);
}

}  // namespace tendrix::desktop
