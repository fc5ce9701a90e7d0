// Platform answers: the first byte picks the reader, the rest is the answer text.
#include <string>

#include "platform_api/answer_parsers.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(answer_parsers) {
    if (size == 0) return 0;
    tendrix::platform_api::PlatformAnswer answer;
    answer.value.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 9) {
        case 0:
            tendrix::platform_api::ParseOrderAnswer(answer);
            break;
        case 1:
            tendrix::platform_api::ParseOrderRecord(answer);
            break;
        case 2:
            tendrix::platform_api::ParsePreCreateAnswer(answer);
            break;
        case 3:
            tendrix::platform_api::ParseLoginAnswer(answer);
            break;
        case 4:
            tendrix::platform_api::ParseMerchantInfoAnswer(answer);
            break;
        case 5:
            tendrix::platform_api::ParsePermissionAnswer(answer);
            break;
        case 6:
            tendrix::platform_api::ParseGenericAnswer(answer);
            break;
        case 7:
            tendrix::platform_api::ParseOrderListAnswer(answer);
            break;
        default:
            tendrix::platform_api::ParseStatisticsAnswer(answer);
            break;
    }
    return 0;
}
