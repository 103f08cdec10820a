// libFuzzer target: the language-file reader, as the program loads the
// active file at start. Built and run by `make fuzz` only.
#include <cstdio>
#include <cstdlib>

#include "support/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = playLanguageFileInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "language file: %s\n", problem.c_str());
        std::abort(); // libFuzzer keeps the input as a crash
    }
    return 0;
}
