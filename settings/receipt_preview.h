#pragma once
// Draws an ESC/POS byte stream as a receipt printer would print it: text lines (GBK) with
// alignment and character size, bit images (ESC *), barcodes (GS k) and feeds. Used by the
// printer page to preview the bytes the receipt engine produces.
#include <QImage>
#include <string_view>

namespace tendrix::settings {

// paper_mm: 58 (384 dots) or 80 (576 dots); other widths are scaled at 8 dots per mm.
QImage RenderEscPos(std::string_view bytes, int paper_mm);

}  // namespace tendrix::settings
