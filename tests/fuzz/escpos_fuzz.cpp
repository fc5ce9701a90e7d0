// Receipt blocks (GBK bytes from the print log) through the ESC/POS encoder. The first byte
// sets the code mode, the copies and the blank lines; the second the title length.
#include <string>

#include "printing/escpos.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(escpos) {
    if (size < 2) return 0;
    using namespace tendrix::printing;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    for (const std::string& line : SplitReceiptLines(rest)) {
        FUZZ_CHECK(!line.empty() && line.size() <= kMaxLineBytes);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    }
    const std::string order = FindOrderNumber(rest);
    FUZZ_CHECK(order.find('\r') == std::string::npos);
    (void)Code128Data(order);

    ReceiptOptions options;
    options.code_mode = data[0] & 3;
    options.copies = (data[0] >> 2) & 3;
    options.blank_lines = (data[0] >> 4) & 7;
    options.sayings[0] = "\xd0\xbb\xd0\xbb";  // 谢谢
    options.sayings[1] = "\xbf\xcd\xbb\xa7";  // 客户
    options.title = std::string(rest.substr(0, std::min<size_t>(data[1] % 40, rest.size())));
    MemoryPort port;
    PrintReceipt(port, std::string(rest),
                 "https://invoice.example/?merchantId=1&transCode=", options);
    return 0;
}
