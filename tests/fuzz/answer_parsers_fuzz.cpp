// Platform answers: the first byte picks the reader, the rest is the answer text.
#include <string>

#include "platform_api/answer_parsers.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(answer_parsers) {
    if (size == 0) return 0;
    std::string answer(reinterpret_cast<const char*>(data) + 1, size - 1);
    tendrix::TextList list;
    std::string period;
    switch (data[0] % 9) {
        case 0:
            tendrix::ParseOrderAnswer(answer, list);
            break;
        case 1:
            tendrix::ParseOrderRecord(answer, list);
            break;
        case 2:
            tendrix::ParsePreCreateAnswer(answer, list);
            break;
        case 3:
            tendrix::ParseLoginAnswer(answer, list);
            break;
        case 4:
            tendrix::ParseMerchantInfoAnswer(answer, list);
            break;
        case 5:
            tendrix::ParsePermissionAnswer(answer);
            break;
        case 6:
            tendrix::ParseGenericAnswer(answer, list);
            break;
        case 7:
            tendrix::ParseOrderListAnswer(answer, list);
            break;
        default:
            tendrix::ParseStatisticsAnswer(answer, list, period);
            break;
    }
    return 0;
}
