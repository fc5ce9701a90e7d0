// Runs every stored input of every fuzz target (tests/fuzz/corpus/<target>/: the seeds and the
// inputs that once crashed) through the target, under this build's sanitizers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/fuzz_target.h"

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryStoredInputOfEveryTargetRuns) {
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    for (const auto& [name, fn] : tendrix::fuzz::Targets()) {
        const fs::path dir = fs::path(src ? src : ".") / "tests/fuzz/corpus" / name;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++count;
        }
        EXPECT_GT(count, 0u) << "no stored inputs in " << dir;
    }
}
