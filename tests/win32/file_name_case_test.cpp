// The rename plan's idea of two names Windows takes for one file, against the
// system's own: CompareStringOrdinal ignoring case compares as file names are
// compared.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "common/language_choice.h"

TEST(FileNameCase, AgreesWithTheSystemOverLatinGreekAndCyrillic)
{
    std::vector<char16_t> units;
    for (char16_t unit = 0x20; unit < 0x180; ++unit) units.push_back(unit);   // Latin
    for (char16_t unit = 0x386; unit <= 0x3CE; ++unit) units.push_back(unit); // Greek letters
    for (char16_t unit = 0x400; unit < 0x460; ++unit) units.push_back(unit);  // Cyrillic letters
    int disagreements = 0;
    for (char16_t a : units)
        for (char16_t b : units) {
            const wchar_t left = a, right = b;
            bool system = CompareStringOrdinal(&left, 1, &right, 1, TRUE) == CSTR_EQUAL;
            if (sameFileName(std::u16string(1, a), std::u16string(1, b)) == system) continue;
            if (++disagreements <= 20)
                ADD_FAILURE() << std::hex << "U+" << static_cast<int>(a) << " and U+" << static_cast<int>(b)
                              << (system ? ": the system takes them for one name"
                                         : ": the system tells them apart");
        }
    EXPECT_EQ(disagreements, 0);
}
