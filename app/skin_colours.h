#pragma once
#include <cstdint>
#include <string>

namespace tendrix {

class AppConfig;

// Colour of the centre pixel (width / 2, height / 2) of an image as 0x00RRGGBB;
// 0 when the image cannot be loaded.
uint32_t CentrePixelColour(const std::string& image_path);

// Reads maincolor.png, mainhotcolor.png and background.png from the skin's image folder,
// records the four image paths and sets the theme colour to the main colour.
void LoadSkinColours(AppConfig& config);

}  // namespace tendrix
