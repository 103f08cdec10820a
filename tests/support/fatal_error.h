// The tests' fatal report: it throws, so a test can assert which unit and
// line an input ends in.
#pragma once

#include <string>

struct FatalError {
    std::u16string unit;
    std::u16string line;
};

// Runs a statement that must end in the fatal report with this unit and line.
#define EXPECT_FATAL(statement, expectedUnit, expectedLine)                                                  \
    do {                                                                                                     \
        bool caught = false;                                                                                 \
        try {                                                                                                \
            statement;                                                                                       \
        } catch (const FatalError& fatal) {                                                                  \
            caught = true;                                                                                   \
            EXPECT_EQ(fatal.unit, std::u16string(expectedUnit));                                             \
            EXPECT_EQ(fatal.line, std::u16string(expectedLine));                                             \
        }                                                                                                    \
        EXPECT_TRUE(caught) << "expected the fatal report of " #expectedLine;                                \
    } while (0)
