#pragma once
// Reads seven-segment (LCD) digits by geometry: the thresholded picture is cut into digit
// cells by its ink columns, each cell is probed where the seven segments lie, and small
// square blobs on the baseline between cells are decimal points. Labels before the amount
// (separated by a wider gap or not decodable) are left out.
#include <string>

#include "capture/image_prep.h"

namespace tendrix::capture {

struct SegmentReading {
    // Digits and points of the amount, e.g. "1234.50"; empty when no digit cell was found.
    std::string text;
    // Every cell of the amount decoded cleanly: each segment clearly lit or clearly dark and
    // nothing between the segments. True means the amount is made of segment strokes.
    bool clean = false;
    // A mark that is not a digit stands right before the amount, as close as its digits are
    // to each other: a currency sign, or a glyph of a text font that the segment places do
    // not describe (then the amount may have more digits than were read).
    bool mark_before = false;
};

// `binary` holds dark ink (0) on a light ground (255).
SegmentReading ReadSegments(const GreyImage& binary);

}  // namespace tendrix::capture
