#pragma once
// MD5 message digest (RFC 1321), our own routine: reset, update with bytes, final to 16 bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tendrix::platform_api {

class Md5 {
  public:
    using Digest = std::array<uint8_t, 16>;

    Md5() { Reset(); }
    void Reset();
    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // Pads and returns the digest. Calling it again returns the same digest; Update after
    // Final is ignored until Reset.
    Digest Final();

    // Digest of a byte string as 32 lower-case hex digits.
    static std::string HexOf(std::string_view bytes);

  private:
    void Transform(const uint8_t block[64]);

    uint32_t state_[4];
    uint64_t bit_count_;
    uint8_t buffer_[64];
    bool finished_;
    Digest digest_;
};

// 16 digest bytes as 32 lower-case hex digits, most significant nibble first.
std::string DigestToHex(const Md5::Digest& digest);

}  // namespace tendrix::platform_api
