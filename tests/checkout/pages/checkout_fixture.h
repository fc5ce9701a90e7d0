#pragma once
// Shared pieces of the checkout page tests: payment codes for the real sandbox and an
// application context that is logged in to its demo merchant.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/text_codec.h"
#include "context/app_config.h"
#include "store/settings_keys.h"
#include "tests/support/recording_sink.h"
#include "tests/support/sandbox_process.h"
#include "tests/support/temp_dir.h"

namespace tendrix::test {

using namespace tendrix::common;
using namespace tendrix::context;
using namespace tendrix::store;

// An 18-character payment code whose scripted behaviour is its last digit (see
// tendrix-sandbox --help). Characters 4 to 13 go into the merchant order number, so each
// call gives a new number even within one second. `prefix` "20" gives the deposit heading.
inline std::string Code(char last, const char* prefix = "28") {
    static unsigned counter = 0;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05u%05u", static_cast<unsigned>(getpid()) % 100000u,
                  ++counter % 100000u);
    return std::string(prefix) + "4" + digits + "1234" + last;
}
inline std::string PaidCode() {
    return Code('0');
}
inline std::string PendingThenPaidCode() {
    return Code('5');
}
inline std::string TimeoutCode() {
    return Code('6');
}
inline std::string RefusedCode() {
    return Code('7');
}
inline std::string DepositCode() {
    return Code('8', "20");
}
inline std::string LateAnswerCode() {
    return Code('9');
}

inline void LogInToSandbox(AppConfig& config, const SandboxProcess& sandbox,
                           const std::string& data_dir) {
    config.api_base = sandbox.base_url();
    config.merchant_id = "M100001";
    config.client_id = "C1001";
    config.secret = "sandbox-demo-secret";
    config.cashier_name = "demo";
    config.refund_permission = "扫码可退";
    config.data_dir = data_dir;
    config.company_name = "演示商户";
    config.settings.Set(keys::sysBillFirstMsg, "演示商户");
    config.settings.Set(keys::sysIsOpenPaySuccessClose, "5");
    config.settings.Set(keys::sysAutoPrintBill, "FALSE");
    config.settings.Set(
        keys::sysCancelRefundPayReason,
        "1：金额错误；\r\n2：价格争议；\r\n3：商品问题；\r\n4：退还押金；\r\n5：支付码过期；\r\n");
}

}  // namespace tendrix::test
