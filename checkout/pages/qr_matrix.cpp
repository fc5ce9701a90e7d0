#include "checkout/pages/qr_matrix.h"

#include <qrencode.h>

namespace tendrix::checkout {

QrMatrix EncodeQr(const std::string& text) {
    QrMatrix m;
    if (text.empty()) return m;
    QRcode* code =
        QRcode_encodeData(static_cast<int>(text.size()),
                          reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_H);
    if (!code) return m;
    m.width = code->width;
    m.dark.resize(static_cast<size_t>(code->width) * code->width);
    for (size_t i = 0; i < m.dark.size(); ++i) m.dark[i] = code->data[i] & 1;
    QRcode_free(code);
    return m;
}

}  // namespace tendrix::checkout
