// The two readers of text a user or a test can shape, driven the way the
// fuzz targets (tests/fuzz) drive them, with the checks that make an input a
// finding. The unit tests replay every kept input (tests/fuzz_regressions)
// through these same entries, so a fixed fault stays fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Loads the bytes as a language file, compares the table with a plain second
// reading of the format and looks every id up. Empty when all agrees, the
// malformed-key report included; otherwise what went wrong.
std::string playLanguageFileInput(const std::uint8_t* data, std::size_t size);

// Parses the bytes as a scenario; a scenario is then played for a bounded
// number of passes through the scripted spooler and the job-tracking core.
// Empty when the input was refused with a line named, or accepted with every
// text whole UTF-16 and played without a job recorded twice or one recorded
// that no snapshot held.
std::string playScenarioInput(const std::uint8_t* data, std::size_t size);
