// Customer-display data as the serial reader hands it on: a sysFilterMoneyMsg setting, then a
// byte stream cut into chunks of at most 500 bytes (the byte after the setting sets the chunk
// length). Each chunk gives its amount, shown as UTF-16, and its listening-test display form.
#include <string>

#include "capture/amount_filter.h"
#include "common/serial_chunk.h"
#include "common/text_codec.h"
#include "tests/fuzz/fuzz_target.h"

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

FUZZ_TARGET(display_stream) {
    tendrix::fuzz::Pieces pieces(data, size);
    const std::string_view setting = pieces.Next();
    std::string_view stream = pieces.Rest();
    if (stream.empty()) return 0;
    const size_t chunk_len =
        1 + static_cast<unsigned char>(stream[0]) * 2 % tendrix::common::SerialChunk::kMaxBytes;
    stream.remove_prefix(1);
    const auto pattern = tendrix::capture::BuildFilterPattern(setting);
    while (!stream.empty()) {
        const tendrix::common::SerialChunk chunk(stream.substr(0, chunk_len));
        stream.remove_prefix(chunk.size());
        const auto amount = tendrix::capture::ExtractDisplayAmount(chunk.view(), pattern);
        if (amount) {
            (void)tendrix::common::Utf8ToUtf16(*amount);
            if (!pattern) {
                // digits '.' two digits
                const size_t n = amount->size();
                FUZZ_CHECK(n >= 4 && (*amount)[n - 3] == '.');
                for (size_t i = 0; i < n; ++i) FUZZ_CHECK(i == n - 3 || IsDigit((*amount)[i]));
            }
        }
        for (char c : tendrix::capture::DisplayForm(chunk.view()))
            FUZZ_CHECK(IsDigit(c) || c == '.' || c == '\\' || (c >= 'a' && c <= 'z') ||
                       (c >= 'A' && c <= 'Z'));
    }
    return 0;
}
