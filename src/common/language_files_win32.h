// Finding and reading the active language file of the "lang" folder.
#pragma once

#include <string>

// The folder, a backslash and the name of the active ("_"-marked) language
// file: the first the listing offers.
std::u16string findActiveLanguageFile(const std::u16string& folder);
// Replaces the text table by the texts of the file.
void readLanguageFile(const std::u16string& path);
// Finds and reads the active language file of the program's "lang" folder.
void loadTexts();
