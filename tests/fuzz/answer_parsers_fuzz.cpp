// Platform answers: the first byte picks the reader, the rest is the answer text.
#include <iterator>
#include <string>

#include "platform_api/answer_parsers.h"
#include "tests/fuzz/fuzz_target.h"

namespace {
using namespace tendrix::platform_api;
template <auto Parse>
void Read(const PlatformAnswer& answer) {
    (void)Parse(answer);
}
void (*const kReaders[])(const PlatformAnswer&) = {
    Read<ParseOrderAnswer>,   Read<ParseOrderRecord>,        Read<ParsePreCreateAnswer>,
    Read<ParseLoginAnswer>,   Read<ParseMerchantInfoAnswer>, Read<ParsePermissionAnswer>,
    Read<ParseGenericAnswer>, Read<ParseOrderListAnswer>,    Read<ParseStatisticsAnswer>};
}  // namespace

FUZZ_TARGET(answer_parsers) {
    if (size == 0) return 0;
    PlatformAnswer answer;
    answer.value.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    kReaders[data[0] % std::size(kReaders)](answer);
    return 0;
}
