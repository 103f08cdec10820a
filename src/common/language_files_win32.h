// Finding and reading the active language file of the "lang" folder.
#pragma once

#include <string>

// The folder, a backslash and the name of the active ("_"-marked) language
// file: the first the listing offers.
std::u16string findActiveLanguageFile(const std::u16string& folder);
// Replaces the text table by the texts of the file; false, nothing
// changed, when the file is larger than languageFileLimit.
bool readLanguageFile(const std::u16string& path);
// Finds and reads the active language file of the program's "lang" folder.
// An active file too large to read gives way to the first other language
// file that can be read, and languageFileNote says so; with none, the
// report says why.
void loadTexts();
void loadTextsFrom(const std::u16string& folder);
// Empty, or the words that tell which file was not read and why.
std::u16string languageFileNote();
