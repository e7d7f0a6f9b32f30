// Every input of the committed fuzz corpus still passes its target's checks: the seeds, and
// each input that once found a fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace fs = std::filesystem;

namespace {

struct Target {
    const char* corpus;  // its folder under fuzz/corpus
    int (*run)(const std::uint8_t* data, std::size_t size);
};

// How gtest names a target in the test list.
void PrintTo(const Target& target, std::ostream* out) {
    *out << target.corpus;
}

[[noreturn]] void ThrowFailure(const char* what) {
    throw std::runtime_error(what);
}

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EveryInputPassesTheChecks) {
    fuzz_failure_handler = ThrowFailure;
    const fs::path folder = fs::path(SURGE_FUZZ_CORPUS) / GetParam().corpus;
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << folder;

    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        try {
            EXPECT_EQ(
                GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                0)
                << input.filename();
        } catch (const std::exception& failure) {
            ADD_FAILURE() << input.filename() << ": " << failure.what();
        }
    }
    fuzz_failure_handler = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay,
                         ::testing::Values(Target{"setup_reply", FuzzSetupReply},
                                           Target{"result_reply", FuzzResultReply},
                                           Target{"waveform", FuzzWaveform},
                                           Target{"store", FuzzStore}),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.corpus);
                         });

}  // namespace
