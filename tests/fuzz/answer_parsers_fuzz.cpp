// Platform answers: the first byte picks the reader, the rest is the answer text.
#include <iterator>
#include <string>

#include "platform_api/answer_parsers.h"
#include "tests/fuzz/fuzz_target.h"

namespace {
using tendrix::PlatformAnswer;
template <auto Parse>
void Read(const PlatformAnswer& answer) {
    (void)Parse(answer);
}
void (*const kReaders[])(const PlatformAnswer&) = {
    Read<tendrix::ParseOrderAnswer>,        Read<tendrix::ParseOrderRecord>,
    Read<tendrix::ParsePreCreateAnswer>,    Read<tendrix::ParseLoginAnswer>,
    Read<tendrix::ParseMerchantInfoAnswer>, Read<tendrix::ParsePermissionAnswer>,
    Read<tendrix::ParseGenericAnswer>,      Read<tendrix::ParseOrderListAnswer>,
    Read<tendrix::ParseStatisticsAnswer>};
}  // namespace

FUZZ_TARGET(answer_parsers) {
    if (size == 0) return 0;
    PlatformAnswer answer;
    answer.value.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    kReaders[data[0] % std::size(kReaders)](answer);
    return 0;
}
