#pragma once
// The targets registered in the ordinary test build, by name.
#include <map>
#include <string>

#include "tests/fuzz/fuzz_target.h"

namespace tendrix::fuzz {
std::map<std::string, TargetFn>& Targets();
}  // namespace tendrix::fuzz
