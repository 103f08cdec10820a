// Common library: memory and UTF-16 string helpers, the language text table
// and the fatal report. Portable: no Windows header here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text_ids.h"

// ---- fatal report -------------------------------------------------------------

// Ends the program with a report naming the unit and the line of the failed
// check. The program links the message-box version; the tests link one that
// throws, so a test can assert which unit and line an input ends in.
[[noreturn]] void fatalError(const char16_t* unit, const char16_t* line);

// For checks whose report names the source line they stand on.
#define PW_LINE_TEXT2(number) u## #number
#define PW_LINE_TEXT(number) PW_LINE_TEXT2(number)
#define fatalHere(unit) fatalError(unit, PW_LINE_TEXT(__LINE__))

// Set once a fatal report has begun. From then on the program starts no new
// work, and nothing waits for the database lock, which the failing thread may
// hold for good.
void noteFatalReportBegun();
bool fatalReportBegun();

// The report's text, cut to the 400-character buffer it is shown from:
// text 21, the line, text 22, the unit, separated by CR LF.
inline constexpr std::size_t fatalMessageCapacity = 400;
std::u16string fatalMessage(const char16_t* unit, const char16_t* line);
std::u16string fatalCaption();

// ---- memory -------------------------------------------------------------------

void* memAlloc(std::uint32_t size);                // never null: failure is fatal ("191")
void* memRealloc(void* block, std::uint32_t size); // never null: failure is fatal ("198")
void memFree(void* block);                         // null is ignored
void memCopy(void* destination, const void* source, std::uint32_t count); // overlap allowed
void memZero(void* block, std::uint32_t count);

// ---- zero-terminated UTF-16 strings ----------------------------------------------
// Callers size the destinations; no helper knows a buffer's capacity.

std::uint32_t wstrLength(const char16_t* s);
bool wstrIsSpace(char16_t unit);
void wstrCopyN(char16_t* destination, const char16_t* source, std::uint32_t n);
void wstrCopy(char16_t* destination, const char16_t* source);
char16_t* wstrAppend(char16_t* destination, const char16_t* source);
std::int16_t wstrCompare(const char16_t* a, const char16_t* b);
char16_t* wstrTrimLeft(char16_t* s);
char16_t* wstrTrimRight(char16_t* s);
char16_t* wstrTrim(char16_t* s);

// ---- language texts -----------------------------------------------------------

inline constexpr char16_t languageSuffix[] = u".lang.txt";

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

// Appends a backslash unless the path already ends with one.
void appendBackslash(char16_t* path);
void appendBackslash(std::u16string& path);

// The path in the form that lifts the usual length limit: "\\?\" before a
// drive path, "\\?\UNC\" in place of the leading "\\" of a network path.
// A path already in that form, or a relative one, is returned unchanged.
std::u16string extendedLengthPath(const char16_t* path);
