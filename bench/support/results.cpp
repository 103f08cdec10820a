#include "support/results.h"

#include <cstdio>

void addResult(const std::string& operation, const std::string& rows, const std::string& ours,
    const std::string& baseline)
{
    std::FILE* file = std::fopen(PW_BENCH_RESULTS, "a");
    if (!file) return;
    std::fprintf(file, "%s\t%s\t%s\t%s\n", operation.c_str(), rows.c_str(), ours.c_str(), baseline.c_str());
    std::fclose(file);
}

std::string milliseconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, ms < 10 ? "%.3f ms" : ms < 1000 ? "%.1f ms" : "%.0f ms", ms);
    return text;
}
