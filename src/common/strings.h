// Memory and zero-terminated UTF-16 string helpers, path text, and UTF-8.
// Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// Appends a backslash unless the path already ends with one.
void appendBackslash(char16_t* path);
void appendBackslash(std::u16string& path);

// The path in the form that lifts the usual length limit: "\\?\" before a
// drive path, "\\?\UNC\" in place of the leading "\\" of a network path.
// A path already in that form, or a relative one, is returned unchanged.
std::u16string extendedLengthPath(const char16_t* path);

// Cuts a text to a capacity, never leaving half of a surrogate pair.
std::u16string cutText(std::u16string text, std::size_t capacity);

// ASCII text (digits, statements of our own, batch names) as UTF-16, unit
// for unit.
std::u16string asciiText(const std::string& text);

// A whole number in plain decimal digits, a minus sign before a negative one.
std::u16string decimalText(std::int64_t number);

// A text of the language file with its first "%1" replaced by the value.
std::u16string withValue(std::u16string text, const std::u16string& value);

// ---- UTF-8 ----------------------------------------------------------------------------

// One code point (at most U+10FFFF) as UTF-8, appended to out.
void appendUtf8(std::string& out, char32_t code);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8Of(const std::u16string& text);
