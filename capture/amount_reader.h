#pragma once
// Reading the amount shown in a screen copy: grey, threshold 145, recognition library,
// amount filter; with the picture's polarity made dark-on-light first and a seven-segment
// reader for LCD-style digits. This is the one call for a picture: the capture worker uses
// it for every capture, the command line for image files, a window for a live preview.
#include <string>

#include "capture/ocr_plugin.h"
#include "desktop/desktop_services.h"

namespace tendrix::capture {

struct AmountReading {
    enum class Path {
        None,      // nothing read
        Text,      // the recognition library
        Segments,  // the seven-segment reader
    };
    std::string amount;  // the filtered amount text ("1234.50"), empty when none
    Path path = Path::None;
    bool inverted = false;  // the thresholded ground was dark
    bool otsu = false;      // read after the 145 threshold gave nothing (tones on one side)
};

// `plugin` may be null or not ready: then only the seven-segment reader runs.
// Order: grey, enlarged as far as the text needs, threshold (145, or the midpoint of the two
// tones when 145 lies too close to one of them: ChooseThreshold); polarity; a picture whose
// amount is cleanly made of segment strokes goes to the segment reader, any other to the
// library; when that yields no amount the other reader is asked. When both yield nothing the
// same is tried once more with an Otsu threshold.
AmountReading ReadAmountPicture(const desktop::ScreenImage& image, const OcrPlugin* plugin);

}  // namespace tendrix::capture
