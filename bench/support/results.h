// The table `make bench` ends with: every program appends its lines to one
// file, and scripts/run-bench prints them together once all have run.
#pragma once

#include <string>

// One line: what was measured, on how many rows, our figure and the figure
// of the first design measured in the same run ("-" where it has none).
void addResult(const std::string& operation, const std::string& rows, const std::string& ours,
    const std::string& design);

// "12.345 ms", with fewer decimals as the figure grows.
std::string milliseconds(double ms);
