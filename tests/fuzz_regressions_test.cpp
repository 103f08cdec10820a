// Every input a fuzz run found, and the edges of the two formats the other
// tests leave out, replayed through the fuzz targets' own entries: each must
// end as its reader promises (tests/support/fuzz_entries.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/fuzz_entries.h"

struct KeptInputs {
    const char* folder; // under tests/fuzz_regressions
    std::string (*play)(const std::uint8_t* data, std::size_t size);
};

static void PrintTo(const KeptInputs& inputs, std::ostream* out)
{
    *out << inputs.folder;
}

class FuzzRegressions : public ::testing::TestWithParam<KeptInputs> { };

TEST_P(FuzzRegressions, EveryKeptInputEndsAsItsReaderPromises)
{
    int inputs = 0;
    const std::filesystem::path folder
        = std::filesystem::path(PW_SOURCE_DIR) / "tests" / "fuzz_regressions" / GetParam().folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++inputs;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<char> bytes(
            (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(GetParam().play(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << entry.path().filename().string();
    }
    EXPECT_GT(inputs, 0); // a folder lost in a move must not pass in silence
}

INSTANTIATE_TEST_SUITE_P(Readers, FuzzRegressions,
    ::testing::Values(
        KeptInputs{"language", playLanguageFileInput}, KeptInputs{"scenario", playScenarioInput}),
    [](const ::testing::TestParamInfo<KeptInputs>& param) { return std::string(param.param.folder); });
