// The credential cipher: decrypting arbitrary text (the stored value may be damaged), and
// encrypt -> decrypt giving back any text GBK can encode.
#include <string>

#include "accounts/credential_cipher.h"
#include "common/text_codec.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(credential) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)tendrix::accounts::DecryptCredential(text);
    (void)tendrix::accounts::DecryptCredential16(tendrix::common::Utf8ToUtf16(text));
    if (size <= 256 && tendrix::common::IsValidUtf8(text) && text.find('\0') == std::string::npos &&
        tendrix::common::GbkToUtf8(tendrix::common::Utf8ToGbk(text)) == text) {
        FUZZ_CHECK(tendrix::accounts::DecryptCredential(
                       tendrix::accounts::EncryptCredential(text)) == text);
    }
    return 0;
}
