#include <cstdio>
#include <map>
#include <string>

#include "tests/fuzz/fuzz_target.h"

namespace tendrix::fuzz {

std::map<std::string, TargetFn>& Targets() {
    static std::map<std::string, TargetFn> targets;
    return targets;
}

bool Register(const char* name, TargetFn fn) {
    Targets()[name] = fn;
    return true;
}

void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

}  // namespace tendrix::fuzz
