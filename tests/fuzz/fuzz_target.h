#pragma once
// One fuzz target: FUZZ_TARGET(name) { ... return 0; } over (data, size).
//
// Built with TENDRIX_LIBFUZZER (the clang fuzz tree, scripts/fuzz.sh) the body is the
// libFuzzer entry point of its own program. Otherwise (the ordinary test build) it registers
// the body under its name, and the corpus replay test runs every stored input through it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace tendrix::fuzz {

using TargetFn = int (*)(const uint8_t* data, size_t size);
// The targets registered in the ordinary test build, by name.
inline std::map<std::string, TargetFn>& Targets() {
    static std::map<std::string, TargetFn> targets;
    return targets;
}
inline bool Register(const char* name, TargetFn fn) {
    return Targets().emplace(name, fn).second;
}

// Fails the run (a crash libFuzzer records) when an invariant does not hold.
#define FUZZ_CHECK(cond)                                               \
    do {                                                               \
        if (!(cond)) ::tendrix::fuzz::Fail(#cond, __FILE__, __LINE__); \
    } while (0)
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

// Splits fuzz input into pieces at a separator byte (the corpus files use it to hold several
// fields, for example a pattern and a chunk).
class Pieces {
  public:
    Pieces(const uint8_t* data, size_t size, char separator = '\x01')
        : rest_(reinterpret_cast<const char*>(data), size), sep_(separator) {}
    std::string_view Next() {
        const size_t at = rest_.find(sep_);
        const std::string_view piece = rest_.substr(0, at);
        rest_ = at == std::string_view::npos ? std::string_view() : rest_.substr(at + 1);
        return piece;
    }
    std::string_view Rest() const { return rest_; }
    bool Empty() const { return rest_.empty(); }

  private:
    std::string_view rest_;
    char sep_;
};

}  // namespace tendrix::fuzz

#ifdef TENDRIX_LIBFUZZER
#define FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#else
#define FUZZ_TARGET(name)                                           \
    static int FuzzTarget_##name(const uint8_t* data, size_t size); \
    [[maybe_unused]] static const bool fuzz_registered_##name =     \
        ::tendrix::fuzz::Register(#name, &FuzzTarget_##name);       \
    static int FuzzTarget_##name(const uint8_t* data, size_t size)
#endif
