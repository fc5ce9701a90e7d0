#pragma once
// The skin's colours, read from the centre pixel of its colour images. The composition root
// loads them once and hands them to the toolkit; the shared windows draw with them.
#include <cstdint>
#include <string>

namespace tendrix::ui {

struct SkinColours {
    // 0x00RRGGBB; 0 when the image could not be read.
    uint32_t background = 0;
    uint32_t hot = 0;
    uint32_t main = 0;
    uint32_t theme = 0;
    std::string main_image;
    std::string hot_image;
    std::string background_image;
    std::string account_input_image;
};

// Colour of the centre pixel (width / 2, height / 2) of an image as 0x00RRGGBB;
// 0 when the image cannot be loaded.
uint32_t CentrePixelColour(const std::string& image_path);

// Reads maincolor.png, mainhotcolor.png and background.png from the skin's image folder
// (skin_dir ends in '/'), records the four image paths and sets the theme colour to the
// main colour.
SkinColours LoadSkinColours(const std::string& skin_dir);

// The colours the message box and the permission window use (all 0 until set).
void SetSkinColours(const SkinColours& colours);
const SkinColours& CurrentSkinColours();

}  // namespace tendrix::ui
