#pragma once
// Readers of the platform's JSON answers. Each takes what an operation gave back and returns
// a PlatformResult with the same failure when the exchange failed (kNetwork, kRefusedInput),
// otherwise what the answer says: its values, or the kind of failure and the text the cashier
// is shown (the platform's "message" or a fixed text). None throws, whatever the text (deep
// nesting, huge numbers, NUL, wrong member types, megabyte answers).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform_api/platform_answer.h"

namespace tendrix::platform_api {

inline constexpr std::string_view kPaymentLinkLabel = "支付链接：";

// Pay types whose orders are deposit freezes (31 and 109).
inline constexpr std::string_view kAlipayDepositName = "支付宝预付款";
inline constexpr std::string_view kWechatDepositName = "微信预付款";

using TextList = std::vector<std::string>;

// Decimal digits as an unsigned 64-bit number; false for anything else, or on overflow.
bool ParseUnsigned(std::string_view text, uint64_t& value);

// A platform text without control bytes (below 0x20 except CR, LF and TAB, and 0x7F): on a
// receipt an ESC or GS would be a printer command. Every text member of an answer is read
// through it.
std::string StripControlBytes(std::string_view text);

// Create, query, refund and close answers: labelled lines, each ending in "\r\n", for the
// result page and receipts. Deposit orders read "本次解冻金额" instead of "本次退款金额".
// The error says what became of the order: kNone (the answer carries it), kRefused or
// kNoSuchOrder ("result" or "success" false), kUnreadable or kEmpty (its fate is unknown).
PlatformResult<TextList> ParseOrderAnswer(const PlatformAnswer& answer);
// Query answer as ten values for the inquiry list: order number, amount, actual amount,
// refund amount (empty), pay type, state, time, buyer, payment code, remark.
PlatformResult<TextList> ParseOrderRecord(const PlatformAnswer& answer);
// Pre-create answer as label / value / "\r\n" items; the item after kPaymentLinkLabel is
// the payment link to draw as a QR code.
PlatformResult<TextList> ParsePreCreateAnswer(const PlatformAnswer& answer);

// Login answer: merchant id, secret, then every client id.
PlatformResult<TextList> ParseLoginAnswer(const PlatformAnswer& answer);
// "/plugOrder/return" answer: up to four of merchant name, shop name, cashier name, version.
// An answer with "result" is a refusal (its message may be empty); one that cannot be read
// fails with an empty message.
PlatformResult<TextList> ParseMerchantInfoAnswer(const PlatformAnswer& answer);
// "/plugOrder/addJtion" answer: the result sentence. A refusal without "message", or an
// answer that cannot be read, fails with an empty message.
PlatformResult<std::string> ParsePermissionAnswer(const PlatformAnswer& answer);
// Generic reader (shop manager): without "result", each top-level member gives three
// entries: name, value text, "".
PlatformResult<TextList> ParseGenericAnswer(const PlatformAnswer& answer);

// Order list rows: ten fields, each followed by "\n". No rows: kNothingFound.
PlatformResult<TextList> ParseOrderListAnswer(const PlatformAnswer& answer);
struct StatisticsAnswer {
    TextList rows;       // takings, count, pay type name, each followed by "\n"
    std::string period;  // "YYYY-MM-DD hh:mm:ss----YYYY-MM-DD hh:mm:ss"
};
PlatformResult<StatisticsAnswer> ParseStatisticsAnswer(const PlatformAnswer& answer);

}  // namespace tendrix::platform_api
