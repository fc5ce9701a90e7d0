// Platform answers: the first byte picks the reader, the rest is the answer text.
#include <string>

#include "platform_api/answer_parsers.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(answer_parsers) {
    if (size == 0) return 0;
    tendrix::PlatformAnswer answer;
    answer.value.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 9) {
        case 0:
            tendrix::ParseOrderAnswer(answer);
            break;
        case 1:
            tendrix::ParseOrderRecord(answer);
            break;
        case 2:
            tendrix::ParsePreCreateAnswer(answer);
            break;
        case 3:
            tendrix::ParseLoginAnswer(answer);
            break;
        case 4:
            tendrix::ParseMerchantInfoAnswer(answer);
            break;
        case 5:
            tendrix::ParsePermissionAnswer(answer);
            break;
        case 6:
            tendrix::ParseGenericAnswer(answer);
            break;
        case 7:
            tendrix::ParseOrderListAnswer(answer);
            break;
        default:
            tendrix::ParseStatisticsAnswer(answer);
            break;
    }
    return 0;
}
