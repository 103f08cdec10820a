// The program's own folder and its language folder, and the listing of a
// folder's entries.
#pragma once

#include <windows.h>

#include <string>

// The program file's path, and its folder without a trailing backslash
// ("119" when the path cannot be obtained).
std::u16string programPath();
std::u16string programFolder();
// programFolder, a backslash and "lang".
std::u16string languageFolder();
// Where pgwarden.db and the files beside it live (its journal, the pending,
// hand-over and log files): the folder that pagewarden.ini beside the
// program names under [data] folder= (environment variables expanded, a
// relative path taken from the program's folder), or without that setting
// the program's folder. Read once per process.
std::u16string dataFolder();
// The setting alone, read now; empty when there is none.
std::u16string dataFolderSetting();

// Offers each entry of a folder to the visitor until it returns true.
using FolderVisitor = bool (*)(WIN32_FIND_DATAW& entry, const char16_t* folder, void* context);
void forEachFolderEntry(const char16_t* folder, FolderVisitor visitor, void* context = nullptr);

enum class FileRead { read, cannotOpen, cannotRead, tooLarge };
// The whole content of a file, a path of any length, when it holds at most
// `limit` bytes. A larger file is tooLarge, with `bytes` empty, and costs no
// more memory than the limit: another program may have made it any size.
FileRead readWholeFile(const std::u16string& path, std::string& bytes, std::size_t limit);
