#pragma once
// Cipher of the stored credentials (the merchant API key `merchantAPI` and each remembered
// cashier password): AES-128 on each 16-byte block by itself, the two fixed keys alternating by
// block (even blocks "wopnufadrelkimsa", odd blocks "hvmrto+q-c4`k81z"), written as lowercase
// hex with the two digits of every byte swapped (0xA5 -> "5a").
//
// The plain text is cut into slices of 16 UTF-16 units; each slice goes to GBK (the ANSI code
// page) in a zero-filled 16-byte block. The zero padding is the only terminator.
//
// A slice whose GBK form needs more than 16 bytes (Chinese text takes two bytes a character)
// would not fit its block. Rather than cutting the text off, such a slice is split at character
// boundaries into as many blocks as it needs; every block still decrypts on its own, so
// Decrypt(Encrypt(s)) == s for every text GBK can encode. Slices that fit are unchanged.
//
// There is no integrity check: a damaged text decrypts to arbitrary characters.
#include <string>

namespace tendrix::accounts {

// UTF-8 in, UTF-8 out (the program's own text form).
std::string EncryptCredential(const std::string& plain);
std::string DecryptCredential(const std::string& cipher_text);

// The same over UTF-16 texts, where the slicing rules are counted.
std::u16string EncryptCredential16(const std::u16string& plain);
std::u16string DecryptCredential16(const std::u16string& cipher_text);

}  // namespace tendrix::accounts
