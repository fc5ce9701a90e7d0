#pragma once
// Test peers for the capture tests: the bin/ folder, a command sink that records what workers
// post, and a socat pty pair.
#include <cstdlib>
#include <string>

#include "tests/support/recording_sink.h"
#include "tests/support/socat_pair.h"

namespace tendrix::test {

// The build's bin/ folder with a trailing '/' (TENDRIX_BIN_DIR), or "" to search the usual paths.
inline std::string BinDir() {
    const char* dir = std::getenv("TENDRIX_BIN_DIR");
    return dir ? std::string(dir) + "/" : std::string();
}

}  // namespace tendrix::test
