// Recognised/window text and sysFilterMoneyMsg settings.
#include <string>

#include "capture/amount_filter.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(amount_filter) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string amount = tendrix::capture::FilterRecognisedAmount(text);
    size_t points = 0;
    for (char c : amount) {
        FUZZ_CHECK((c >= '0' && c <= '9') || c == '.');
        points += c == '.';
    }
    FUZZ_CHECK(points <= 1);
    if (const auto pattern = tendrix::capture::BuildFilterPattern(text))
        FUZZ_CHECK(pattern->size() <= tendrix::capture::kMaxPatternBytes);
    return 0;
}
