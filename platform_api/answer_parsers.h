#pragma once
// Readers of the platform's JSON answers. Each takes the answer text (UTF-8, in/out) and
// fills a list it empties first; on failure the answer holds the platform's "message" or a
// fixed text, on success it is left empty unless stated otherwise. None throws.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tendrix {

inline constexpr std::string_view kIllegalFormatText = "非法的返回格式！";
inline constexpr std::string_view kNoServerInfoText = "服务器未返回任何信息！";
inline constexpr std::string_view kLastPageText = "可能已经是最后一页，或者该时间段没有交易！";
inline constexpr std::string_view kPaymentLinkLabel = "支付链接：";

// Pay types whose orders are deposit freezes (31 and 109).
inline constexpr std::string_view kAlipayDepositName = "支付宝预付款";
inline constexpr std::string_view kWechatDepositName = "微信预付款";

using TextList = std::vector<std::string>;

// What an order answer says about its order. Every reader of answers parses through the one
// routine behind this; none throws, whatever the text (deep nesting, huge numbers, NUL).
enum class AnswerKind {
    kUnreadable,   // not a JSON object, or no "result": the order's fate is unknown
    kOrder,        // "result" true: the answer carries the order
    kRefusal,      // "result" or "success" false for another reason ("系统繁忙", ...)
    kNoSuchOrder,  // a refusal that says the platform has no such order
};
AnswerKind ClassifyOrderAnswer(const std::string& answer);

// Decimal digits as an unsigned 64-bit number; false for anything else, or on overflow.
bool ParseUnsigned(std::string_view text, uint64_t& value);

// A platform text without control bytes (below 0x20 except CR, LF and TAB, and 0x7F): on a
// receipt an ESC or GS would be a printer command. Every text member of an answer is read
// through it.
std::string StripControlBytes(std::string_view text);

// Create, query, refund and close answers: labelled lines, each ending in "\r\n", for the
// result page and receipts. Deposit orders read "本次解冻金额" instead of "本次退款金额".
void ParseOrderAnswer(std::string& answer, TextList& lines);
// Query answer as ten values for the inquiry list: order number, amount, actual amount,
// refund amount (empty), pay type, state, time, buyer, payment code, remark.
void ParseOrderRecord(std::string& answer, TextList& values);
// Pre-create answer as label / value / "\r\n" items; the item after kPaymentLinkLabel is
// the payment link to draw as a QR code.
void ParsePreCreateAnswer(std::string& answer, TextList& items);

// Login answer: merchant id, secret, then every client id.
void ParseLoginAnswer(std::string& answer, TextList& list);
// "/plugOrder/return" answer: up to four of merchant name, shop name, cashier name, version.
void ParseMerchantInfoAnswer(std::string& answer, TextList& list);
// "/plugOrder/addJtion" answer: the answer becomes the result sentence.
void ParsePermissionAnswer(std::string& answer);
// Generic reader (shop manager): without "result", each top-level member gives three
// entries: name, value text, "".
void ParseGenericAnswer(std::string& answer, TextList& list);

// Order list rows: ten fields, each followed by "\n".
void ParseOrderListAnswer(std::string& answer, TextList& rows);
// Statistics rows: takings, count, pay type name, each followed by "\n"; period is
// "YYYY-MM-DD hh:mm:ss----YYYY-MM-DD hh:mm:ss".
void ParseStatisticsAnswer(std::string& answer, TextList& rows, std::string& period);

}  // namespace tendrix
