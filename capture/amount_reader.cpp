#include "capture/amount_reader.h"

#include <algorithm>

#include "capture/amount_filter.h"
#include "capture/image_prep.h"
#include "capture/segment_reader.h"

namespace tendrix::capture {
namespace {

bool HasInk(const GreyImage& binary) {
    return std::any_of(binary.pixels.begin(), binary.pixels.end(),
                       [](uint8_t v) { return v < 128; });
}

AmountReading ReadBinary(GreyImage binary, const OcrPlugin* plugin) {
    AmountReading r;
    r.inverted = MakeInkDark(binary);
    if (!HasInk(binary)) return r;
    const SegmentReading segments = ReadSegments(binary);
    const std::string segment_amount = FilterRecognisedAmount(segments.text);
    if (segments.clean && !segments.mark_before && !segment_amount.empty()) {
        r.amount = segment_amount;
        r.path = AmountReading::Path::Segments;
        return r;
    }
    if (plugin && plugin->status() == OcrPlugin::Status::Ready) {
        r.amount = FilterRecognisedAmount(
            plugin->Recognise(binary.pixels.data(), binary.width, binary.height));
        // With a mark right before clean segment digits, the library's reading wins only
        // when it is the same amount with more digits in front (a text font whose first
        // digits the segment places did not describe).
        const bool extends = r.amount.size() > segment_amount.size() &&
                             r.amount.compare(r.amount.size() - segment_amount.size(),
                                              segment_amount.size(), segment_amount) == 0;
        if (segments.clean && !segment_amount.empty() && !extends) {
            r.amount = segment_amount;
            r.path = AmountReading::Path::Segments;
            return r;
        }
        if (!r.amount.empty()) {
            r.path = AmountReading::Path::Text;
            return r;
        }
    }
    r.amount = FilterRecognisedAmount(segments.text);
    if (!r.amount.empty()) r.path = AmountReading::Path::Segments;
    return r;
}

}  // namespace

AmountReading ReadAmountPicture(const desktop::ScreenImage& image, const OcrPlugin* plugin) {
    const GreyImage grey =
        ToGrey(image.bgra.data(), image.bgra.size(), image.width, image.height, 4);
    if (grey.empty()) return {};
    // Enlarge small text only: enough for its ink to stand about 48 pixels high.
    int upscale = UpscaleFactor(grey.width, grey.height);
    {
        GreyImage small = Binarise(grey, 1, ChooseThreshold(grey));
        MakeInkDark(small);
        int top = -1, bottom = -1;
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x)
                if (small.pixels[static_cast<size_t>(y) * small.width + x] < 128) {
                    if (top < 0) top = y;
                    bottom = y;
                    break;
                }
        if (top >= 0) upscale = std::clamp((48 + (bottom - top)) / (bottom - top + 1), 1, upscale);
    }
    AmountReading r = ReadBinary(Binarise(grey, upscale, ChooseThreshold(grey)), plugin);
    if (!r.amount.empty()) return r;
    r = ReadBinary(Binarise(grey, upscale, kOtsuThreshold), plugin);
    r.otsu = true;
    return r;
}

}  // namespace tendrix::capture
