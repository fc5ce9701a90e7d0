#pragma once
// Money and date texts: yuan <-> fen digits without any numeric approximation, capital
// numerals for receipts, and the platform's millisecond times as local time.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace tendrix::platform_api {

// Fen digits ("%ld" of an unsigned amount) to yuan: 5 -> "0.05", 1234 -> "12.34".
// Non-digits give "", and a zero amount gives "" (callers show "0.00" where wanted).
std::string FenToYuanText(std::string_view fen);
// Yuan text to fen digits: "12" -> "1200", "12.5" -> "1250", "0.05" -> "5".
// An empty result means the amount was refused; "" gives "00".
std::string YuanToFenText(std::string_view yuan);
// Replaces an amount text by its capital-numeral form (壹拾贰圆伍角); leaves it unchanged
// when the amount is refused.
void UpperCaseAmount(std::string& amount);
std::string UpperCaseAmountOf(std::string_view amount);

// Milliseconds since 1970 (UTC) as local "%d-%02d-%02d %02d:%02d:%02d".
std::string PlatformTimeText(uint64_t millis);
// Local time as 14 digits "%d%02d%02d%02d%02d%02d".
std::string LocalTimeDigits(std::time_t when);
// 14 digits YYYYMMDDhhmmss as "YYYY-MM-DD hh:mm:ss"; other texts are returned unchanged.
std::string DigitsToDateTimeText(std::string_view digits);

// Merchant order number of a barcode payment: 14 time digits followed by at most 10
// characters of the payment code from its fourth on.
std::string MakeOutOrderId(std::time_t when, std::string_view pay_code);
// Merchant order number of a QR-code order: MD5 hex of time digits + three random numbers
// + client id + cashier name.
std::string MakePreCreateOutOrderId(std::time_t when, std::string_view client_id,
                                    std::string_view cashier_name);

}  // namespace tendrix::platform_api
