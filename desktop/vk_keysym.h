#pragma once
// The one table between Windows virtual-key codes (what settings and the checkout use) and
// X11 keysyms. Kept free of Xlib headers: keysyms are plain unsigned numbers here.
#include <cstdint>

namespace tendrix::desktop {

// X keysym for a virtual-key code; 0 when the code has no key on X11.
uint32_t VkToKeysym(int vk);
// Virtual-key code for an X keysym (letters of either case give the letter's code);
// 0 when there is none.
int KeysymToVk(uint32_t keysym);
// Keysym that types one Unicode character (Latin-1 maps 1:1, the rest as 0x01000000 + cp);
// Enter for '\r' and '\n', Tab for '\t'; 0 for other control characters.
uint32_t CharToKeysym(char32_t ch);

}  // namespace tendrix::desktop
