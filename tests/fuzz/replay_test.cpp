// Runs every stored input of every fuzz target (tests/fuzz/corpus/<target>/: the seeds and the
// inputs that once crashed) through the target, under this build's sanitizers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzz_target.h"

namespace fs = std::filesystem;

namespace {

fs::path CorpusDir(const std::string& target) {
    const char* src = std::getenv("TENDRIX_SOURCE_DIR");
    return fs::path(src ? src : ".") / "tests" / "fuzz" / "corpus" / target;
}

std::vector<std::string> TargetNames() {
    std::vector<std::string> names;
    for (const auto& [name, fn] : tendrix::fuzz::Targets()) names.push_back(name);
    return names;
}

class FuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(FuzzCorpus, EveryStoredInputRuns) {
    const fs::path dir = CorpusDir(GetParam());
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    const auto fn = tendrix::fuzz::Targets().at(GetParam());
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    EXPECT_GT(count, 0u) << "no stored inputs in " << dir;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, testing::ValuesIn(TargetNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
