#pragma once
// Text conversions between the program's UTF-8 strings, UTF-16 (where rules count
// UTF-16 units) and GBK (the ANSI code page of receipts, the print log and signed text).
//
// None of these throws or crashes on bad input:
//  - invalid UTF-8 input yields U+FFFD for each bad byte (decoding) or '?' (to GBK);
//  - unpaired UTF-16 surrogates become U+FFFD;
//  - characters GBK cannot encode become '?';
//  - invalid GBK bytes become U+FFFD.
#include <string>
#include <string_view>

namespace tendrix::common {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace tendrix::common
