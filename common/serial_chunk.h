#pragma once
// One piece of serial data or one log-file line on its way to the main window.
// Owns its bytes (at most kMaxBytes); always readable as a zero-terminated string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tendrix::common {

class SerialChunk {
  public:
    static constexpr size_t kMaxBytes = 500;

    SerialChunk() = default;
    // Keeps the first kMaxBytes bytes of `bytes`.
    explicit SerialChunk(std::string_view bytes)
        : bytes_(bytes.substr(0, std::min(bytes.size(), kMaxBytes))) {}

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    bool empty() const { return bytes_.empty(); }
    const char* c_str() const { return bytes_.c_str(); }
    const char* data() const { return bytes_.data(); }
    std::string_view view() const { return bytes_; }
    // Whether the source text was longer than one chunk holds.
    static bool Fits(size_t n) { return n <= kMaxBytes; }

  private:
    std::string bytes_;
};

}  // namespace tendrix::common
