#pragma once
// The outcome of every platform operation and of every reading of its answer: what went
// wrong (if anything), the value, and the text the cashier is shown for a failure. Nothing is
// thrown; callers look at `error` and show `message`.
#include <string>
#include <string_view>

namespace tendrix::platform_api {

// Texts the cashier sees for failures of the platform and of its answers.
inline constexpr std::string_view kNetworkFailureText =
    "当前网络故障, 无法查询和交易，请检查网络！";
inline constexpr std::string_view kIllegalFormatText = "非法的返回格式！";
inline constexpr std::string_view kNoServerInfoText = "服务器未返回任何信息！";
inline constexpr std::string_view kLastPageText = "可能已经是最后一页，或者该时间段没有交易！";

enum class PlatformError {
    kNone,
    // The exchange failed (refused, proxy failure, dropped connection, time-out): whether the
    // platform acted on the request is unknown, and nothing says it refused.
    kNetwork,
    // The platform answered with an empty body.
    kEmpty,
    // Nothing was sent: an input the request must not carry (a payment code with other
    // characters than letters and digits, a description beyond the hex limit).
    kRefusedInput,
    // An answer that does not say what became of the request (not JSON, no "result").
    kUnreadable,
    // "result" (or "success") false: the platform's reason is the message.
    kRefused,
    // A refusal saying the platform has no such order ("订单不存在" and its variants): the
    // only answer that proves an order was never made.
    kNoSuchOrder,
    // A list or statistics answer without rows (a page past the last, a period without sales,
    // or a refusal: the platform does not tell them apart).
    kNothingFound,
};

template <typename T>
struct PlatformResult {
    PlatformError error = PlatformError::kNone;
    T value{};            // what the operation or reader gives; meaningful when ok()
    std::string message;  // the cashier's text for the failure; "" on success
    std::string detail;   // why an exchange failed underneath (libcurl's words), for support

    bool ok() const { return error == PlatformError::kNone; }
};

// What an exchange gives back: value is the answer text (UTF-8) as received.
using PlatformAnswer = PlatformResult<std::string>;

}  // namespace tendrix::platform_api
