#include "capture/image_prep.h"

#include <algorithm>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace tendrix::capture {
namespace {

GreyImage FromMat(const cv::Mat& mat) {
    GreyImage out;
    out.width = mat.cols;
    out.height = mat.rows;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < mat.rows; ++y) {
        const uint8_t* row = mat.ptr<uint8_t>(y);
        std::copy(row, row + mat.cols, out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
    }
    return out;
}

cv::Mat ViewOf(const GreyImage& grey) {
    return cv::Mat(grey.height, grey.width, CV_8UC1, const_cast<uint8_t*>(grey.pixels.data()));
}

GreyImage GreyOf(const cv::Mat& image) {
    cv::Mat grey;
    switch (image.channels()) {
        case 1:
            grey = image;
            break;
        case 3:
            cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
            break;
        case 4:
            cv::cvtColor(image, grey, cv::COLOR_BGRA2GRAY);
            break;
        default:
            return {};
    }
    return FromMat(grey);
}

}  // namespace

int UpscaleFactor(int width, int height) {
    if (width <= 0 || height <= 0) return 1;
    const long long pixels = static_cast<long long>(width) * height;
    for (int f = kMaxUpscale; f > 1; --f)
        if (pixels * f * f <= kUpscaleBudgetPixels) return f;
    return 1;
}

GreyImage ToGrey(const uint8_t* pixels, size_t size, int width, int height, int channels) {
    if (!pixels || width <= 0 || height <= 0 || (channels != 1 && channels != 3 && channels != 4))
        return {};
    const size_t needed =
        static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels);
    if (size < needed) return {};
    return GreyOf(cv::Mat(height, width, CV_8UC(channels), const_cast<uint8_t*>(pixels)));
}

GreyImage Binarise(const GreyImage& grey, int upscale, double threshold) {
    if (grey.empty()) return {};
    cv::Mat image = ViewOf(grey);
    if (upscale == kAutoUpscale) upscale = UpscaleFactor(grey.width, grey.height);
    upscale = std::clamp(upscale, 1, kMaxUpscale);
    if (upscale > 1) {
        // Lanczos keeps stroke widths and the gaps between small glyphs better than cubic
        // interpolation (measured on the generated amount set: 100 % against 99.8 %).
        cv::Mat large;
        cv::resize(image, large, cv::Size(grey.width * upscale, grey.height * upscale), 0, 0,
                   cv::INTER_LANCZOS4);
        image = large;
    }
    cv::Mat binary;
    if (threshold == kOtsuThreshold)
        cv::threshold(image, binary, 0.0, 255.0, cv::THRESH_BINARY | cv::THRESH_OTSU);
    else
        cv::threshold(image, binary, threshold, 255.0, cv::THRESH_BINARY);
    return FromMat(binary);
}

double ChooseThreshold(const GreyImage& grey) {
    if (grey.empty()) return kThreshold;
    const int w = grey.width, h = grey.height;
    std::vector<uint8_t> border;
    for (int x = 0; x < w; ++x) {
        border.push_back(grey.pixels[static_cast<size_t>(x)]);
        border.push_back(grey.pixels[static_cast<size_t>(h - 1) * w + x]);
    }
    for (int y = 1; y + 1 < h; ++y) {
        border.push_back(grey.pixels[static_cast<size_t>(y) * w]);
        border.push_back(grey.pixels[static_cast<size_t>(y) * w + w - 1]);
    }
    std::nth_element(border.begin(), border.begin() + static_cast<ptrdiff_t>(border.size() / 2),
                     border.end());
    const int ground = border[border.size() / 2];
    // Ink: the tone 1 % of the pixels reach beyond, on the side away from the ground.
    long long histogram[256] = {};
    for (const uint8_t v : grey.pixels) ++histogram[v];
    const long long tail = std::max<long long>(1, static_cast<long long>(grey.pixels.size()) / 100);
    int ink = ground;
    long long seen = 0;
    if (ground > kThreshold) {
        for (int v = 0; v < 256 && seen < tail; ++v) seen += histogram[ink = v];
    } else {
        for (int v = 255; v >= 0 && seen < tail; --v) seen += histogram[ink = v];
    }
    const int spread = std::abs(ground - ink);
    if (spread < 40) return kThreshold;  // no text to speak of
    const double margin = spread / 4.0;
    const double lo = std::min(ground, ink), hi = std::max(ground, ink);
    if (kThreshold - lo >= margin && hi - kThreshold >= margin) return kThreshold;
    return (lo + hi) / 2.0;
}

bool MakeInkDark(GreyImage& binary) {
    if (binary.empty()) return false;
    const int w = binary.width, h = binary.height;
    auto dark = [&](int x, int y) { return binary.pixels[static_cast<size_t>(y) * w + x] < 128; };
    long long dark_count = 0, total = 0;
    for (int x = 0; x < w; ++x) {
        dark_count += dark(x, 0) + dark(x, h - 1);
        total += 2;
    }
    for (int y = 1; y + 1 < h; ++y) {
        dark_count += dark(0, y) + dark(w - 1, y);
        total += 2;
    }
    if (dark_count * 2 <= total) return false;
    for (auto& v : binary.pixels) v = static_cast<uint8_t>(255 - v);
    return true;
}

GreyImage ThresholdPixels(const uint8_t* pixels, size_t size, int width, int height, int channels,
                          int upscale) {
    return Binarise(ToGrey(pixels, size, width, height, channels), upscale);
}

GreyImage ThresholdScreenImage(const desktop::ScreenImage& image) {
    return ThresholdPixels(image.bgra.data(), image.bgra.size(), image.width, image.height, 4);
}

GreyImage ThresholdImageFile(const std::string& path) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
    if (image.empty()) return {};
    return Binarise(GreyOf(image), kAutoUpscale);
}

desktop::ScreenImage LoadImageFile(const std::string& path) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
    if (image.empty()) return {};
    cv::Mat bgra;
    cv::cvtColor(image, bgra, cv::COLOR_BGR2BGRA);
    desktop::ScreenImage out;
    out.width = bgra.cols;
    out.height = bgra.rows;
    out.bgra.resize(static_cast<size_t>(out.width) * out.height * 4);
    for (int y = 0; y < bgra.rows; ++y)
        std::copy(bgra.ptr<uint8_t>(y), bgra.ptr<uint8_t>(y) + bgra.cols * 4,
                  out.bgra.begin() + static_cast<ptrdiff_t>(y) * out.width * 4);
    return out;
}

}  // namespace tendrix::capture
