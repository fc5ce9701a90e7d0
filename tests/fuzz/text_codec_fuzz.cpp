// The GBK / UTF-8 / UTF-16 conversions over arbitrary bytes: every output is well-formed and
// well-formed UTF-8 survives the trip through UTF-16 unchanged.
#include <string>

#include "common/text_codec.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(text_codec) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(tendrix::common::IsValidUtf8(tendrix::common::GbkToUtf8(bytes)));
    const std::u16string wide = tendrix::common::Utf8ToUtf16(bytes);
    const std::string back = tendrix::common::Utf16ToUtf8(wide);
    FUZZ_CHECK(tendrix::common::IsValidUtf8(back));
    if (tendrix::common::IsValidUtf8(bytes)) FUZZ_CHECK(back == bytes);
    const std::string gbk = tendrix::common::Utf8ToGbk(bytes);
    FUZZ_CHECK(tendrix::common::IsValidUtf8(tendrix::common::GbkToUtf8(gbk)));
    // UTF-16 units straight from the bytes (odd, unpaired surrogates included).
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    FUZZ_CHECK(tendrix::common::IsValidUtf8(tendrix::common::Utf16ToUtf8(units)));
    return 0;
}
