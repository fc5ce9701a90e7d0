#include "capture/image_prep.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace tendrix::capture {
namespace {

GreyImage FromMat(const cv::Mat& binary) {
    GreyImage out;
    out.width = binary.cols;
    out.height = binary.rows;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < binary.rows; ++y) {
        const uint8_t* row = binary.ptr<uint8_t>(y);
        std::copy(row, row + binary.cols,
                  out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
    }
    return out;
}

GreyImage Threshold(const cv::Mat& image) {
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
    cv::Mat binary;
    cv::threshold(grey, binary, kThreshold, 255.0, cv::THRESH_BINARY);
    return FromMat(binary);
}

}  // namespace

GreyImage ThresholdPixels(const uint8_t* pixels, size_t size, int width, int height, int channels) {
    if (!pixels || width <= 0 || height <= 0 || (channels != 1 && channels != 3 && channels != 4))
        return {};
    const size_t needed =
        static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels);
    if (size < needed) return {};
    const cv::Mat image(height, width, CV_8UC(channels), const_cast<uint8_t*>(pixels));
    return Threshold(image);
}

GreyImage ThresholdScreenImage(const ScreenImage& image) {
    return ThresholdPixels(image.bgra.data(), image.bgra.size(), image.width, image.height, 4);
}

GreyImage ThresholdImageFile(const std::string& path) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
    if (image.empty()) return {};
    return Threshold(image);
}

}  // namespace tendrix::capture
