// The language texts: the table read from the active language file, looked
// up by text id, and the rules for language file names. Portable: no Windows
// header here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text_ids.h"

inline constexpr char16_t languageSuffix[] = u".lang.txt";
// A larger file is no language file: it is not read.
inline constexpr std::size_t languageFileLimit = 1u << 20;

struct TextEntry {
    std::u16string text;
    std::uint32_t id;
};

// The text of an id, or "none" when the loaded file lacks it. Looking a text
// up before any file is loaded is fatal ("320"). The text stays valid until
// freeTexts.
const char16_t* getText(std::uint32_t id);
bool textsLoaded();
void freeTexts();

// The loaded texts of the four fixed periods (everything, today, this month,
// this year) and of the three grouping tabs (printer, user, machine).
using PeriodTexts = std::array<std::u16string, 4>;
using TabTexts = std::array<std::u16string, 3>;
PeriodTexts loadedPeriodTexts();
TabTexts loadedTabTexts();

// Replaces the table by the lines of a language file given as raw bytes
// (UTF-16 LE, with or without a byte order mark). A key that is not a decimal
// number from 1 to 4294967295 is fatal ("286").
void loadTextsFromBytes(const std::vector<unsigned char>& bytes);
std::vector<TextEntry> parseLanguageFile(const std::vector<unsigned char>& bytes);

// Folder-entry predicates shared by the start-up and the language window.
bool isLanguageFileName(const char16_t* name);       // at least 10 units, ends ".lang.txt"
bool isActiveLanguageFileName(const char16_t* name); // also starts with "_"
