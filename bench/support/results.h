// The table `make bench` ends with: every program appends its lines to one
// file, and scripts/run-bench prints them together once all have run.
#pragma once

#include <string>

// One line: what was measured, on how many rows, our figure and the figure
// of its baseline measured in the same run ("-" where it has none): the
// full-scan store (a connection per call, a 90 ms pause after every call, no
// index, julianday() of every row) or the rescanning monitor (everything
// matched anew at every pass, no pause while a queue holds a job).
void addResult(const std::string& operation, const std::string& rows, const std::string& ours,
    const std::string& baseline);

// "12.345 ms", with fewer decimals as the figure grows.
std::string milliseconds(double ms);
