#pragma once
// Platform request items: collection, ordinal sort, join and MD5 signature.
//
// Items are complete "name=value" texts with nothing escaped, held as UTF-8. The sort
// compares UTF-16 code units as unsigned numbers; the text to sign and the body leave the
// program as GBK bytes (the ANSI code page), converted at that edge.
#include <string>
#include <string_view>
#include <vector>

namespace tendrix::platform_api {

// The fixed key of the login request ("/plugOrder/showLogin" only).
inline constexpr std::string_view kLoginKey = "TORVELIAN";
// The fixed items every request carries after the operation's own.
inline constexpr std::string_view kInputCharsetItem = "inputCharset=UTF-8";
inline constexpr std::string_view kSignTypeItem = "signType=MD5";
inline constexpr std::string_view kSignatureItemName = "signature";

using ParamList = std::vector<std::string>;

// Stable ascending sort by whole item text, UTF-16 code units compared unsigned.
void SortParamList(ParamList& items);
// Items joined with "&" between neighbours.
std::string JoinParams(const ParamList& items);
// Joins the (already sorted) list, signs the joined text followed directly by the key, and
// returns the body: joined text + "&signature=" + 32 lower-case hex digits.
std::string SignParams(ParamList items, std::string key);
// Appends the two fixed items, sorts and signs: what every operation does.
std::string BuildSignedBody(ParamList items, const std::string& key);

// Replaces text by the MD5 of its GBK bytes as 32 lower-case hex digits.
void Md5Hex(std::string& text);
// The same, returning the digest.
std::string Md5HexOf(std::string_view text);

// True when every byte is below 0x80 (the text is the same in UTF-8 and GBK).
bool IsAscii(std::string_view text);

// UTF-8 bytes of the text as lower-case hex pairs ("ab" -> "6162", U+5F20 -> "e5bca0").
std::string HexUtf8(std::string_view text);

// Largest UTF-8 byte count (terminating zero excluded) that the refund and close
// descriptions may have; longer ones stop the request before anything is sent.
inline constexpr size_t kHexUtf8MaxBytes = 199;

}  // namespace tendrix::platform_api
