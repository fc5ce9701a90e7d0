#pragma once
// Turning a screen copy into the black-and-white picture the recogniser reads:
// grey (BGR(A) to grey), then threshold: grey above 145 -> 255, all others -> 0.
#include <cstdint>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix::capture {

inline constexpr double kThreshold = 145.0;

// 8-bit grey pixels, top row first, one byte per pixel, stride = width.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    bool empty() const { return width <= 0 || height <= 0; }
};

// `channels` is 1 (grey), 3 (BGR) or 4 (BGRA); `pixels` holds width*height*channels bytes.
// An inconsistent description gives an empty image.
GreyImage ThresholdPixels(const uint8_t* pixels, size_t size, int width, int height, int channels);
GreyImage ThresholdScreenImage(const ScreenImage& image);

// Reads an image file (PNG, JPEG, BMP, ...) and thresholds it; empty when unreadable.
GreyImage ThresholdImageFile(const std::string& path);

}  // namespace tendrix::capture
