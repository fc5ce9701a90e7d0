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
// Order: 145 threshold; polarity; a picture whose amount is cleanly made of segment strokes
// goes to the segment reader, any other to the library; when that yields no amount the other
// reader is asked. When both yield nothing (a picture whose text and ground both fall on one
// side of 145) the same is tried once more with a threshold chosen from the picture.
AmountReading ReadAmountPicture(const ScreenImage& image, const OcrPlugin* plugin);

}  // namespace tendrix::capture
