// libFuzzer target: the scenario reader of the simulation build, and the
// job tracking that plays what it accepts. Built and run by `make fuzz` only.
#include <cstdio>
#include <cstdlib>

#include "support/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = playScenarioInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "scenario: %s\n", problem.c_str());
        std::abort(); // libFuzzer keeps the input as a crash
    }
    return 0;
}
