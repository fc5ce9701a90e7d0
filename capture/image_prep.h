#pragma once
// Turning a screen copy into the black-and-white picture the recogniser reads:
// grey (BGR(A) to grey), enlarged when small (Lanczos), then threshold: grey above 145 -> 255,
// all others -> 0. Enlarging first keeps the strokes of small text: the anti-aliased edges
// are interpolated into a finer outline instead of being cut to whole screen pixels, so the
// threshold value itself stays 145.
#include <cstdint>
#include <string>
#include <vector>

#include "desktop/desktop_services.h"

namespace tendrix::capture {

inline constexpr double kThreshold = 145.0;
// Largest enlargement, and the most pixels an enlarged picture may have: a 200 x 40 rectangle
// is read 4 times larger, large rectangles less or not at all (the recognition time grows
// with the picture).
inline constexpr int kMaxUpscale = 4;
inline constexpr long long kUpscaleBudgetPixels = 1'200'000;
// Passed as `upscale`: choose the factor with UpscaleFactor().
inline constexpr int kAutoUpscale = 0;

// 8-bit grey pixels, top row first, one byte per pixel, stride = width.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    bool empty() const { return width <= 0 || height <= 0; }
};

// The enlargement for a width x height copy: the largest factor up to kMaxUpscale whose
// result stays within kUpscaleBudgetPixels, at least 1.
int UpscaleFactor(int width, int height);

// `channels` is 1 (grey), 3 (BGR) or 4 (BGRA); `pixels` holds width*height*channels bytes.
// The result is `upscale` times larger in both directions (kAutoUpscale: UpscaleFactor()).
// An inconsistent description gives an empty image.
GreyImage ThresholdPixels(const uint8_t* pixels, size_t size, int width, int height, int channels,
                          int upscale = kAutoUpscale);
GreyImage ThresholdScreenImage(const desktop::ScreenImage& image);

// Reads an image file (PNG, JPEG, BMP, ...) and thresholds it; empty when unreadable.
GreyImage ThresholdImageFile(const std::string& path);

// The steps of the above one by one, for the reader that tries more than one way.
// Grey copy at screen size; empty for an inconsistent description.
GreyImage ToGrey(const uint8_t* pixels, size_t size, int width, int height, int channels);
// Enlarges `grey` `upscale` times (Lanczos, 1 = as it is), then thresholds it at
// `threshold`; kOtsuThreshold picks the value that best splits the picture's two tones.
inline constexpr double kOtsuThreshold = -1.0;
GreyImage Binarise(const GreyImage& grey, int upscale, double threshold = kThreshold);
// The threshold for a grey screen copy: 145, unless the picture's ground tone (what most of
// its border shows) and its ink tone (the far end of its tones from the ground) do not lie
// clearly on the two sides of 145 (a quarter of their distance). Then 145 would cut the
// strokes to their cores or lose them (green LCD digits on black are grey 130-160), and
// the midpoint of the two tones is used.
double ChooseThreshold(const GreyImage& grey);
// Polarity: a binary picture whose ground (what most of its border shows) is dark is
// inverted, so ink is always dark on light. True when it was inverted.
bool MakeInkDark(GreyImage& binary);
// An image file as a screen copy (BGRA); empty when unreadable.
desktop::ScreenImage LoadImageFile(const std::string& path);

}  // namespace tendrix::capture
