// The language window's choice, as file names: which language files of the
// "lang" folder get which new name so that the chosen one, and it alone,
// carries the mark. The window lists the folder once, asks for a plan and only
// then renames, so a plan that cannot end with exactly one marked file is
// refused before any name changes. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One entry of a folder listing, as the window saw it.
struct FolderEntryName {
    std::u16string name;
    bool isFolder = false;
};

// The name the window shows for a language file: without its leading
// underscores and without ".lang.txt". Nothing for a name that is not a
// language file's (shorter than 10 units, or not ending in ".lang.txt",
// compared case by case) and for an empty language name ("_.lang.txt").
// Whether the entry is a folder is the caller's to check.
std::optional<std::u16string> languageNameOf(const std::u16string& fileName);

// The names the window lists, one per language file in listing order:
// duplicates kept, not sorted (the list control sorts).
std::vector<std::u16string> listedLanguageNames(const std::vector<FolderEntryName>& entries);

struct FileRename {
    std::u16string from, to;
    bool operator==(const FileRename&) const = default;
};

enum class LanguagePlanOutcome {
    ready,         // carry out the renames, in their order
    collision,     // two files would share a name: rename nothing
    choiceMissing, // no language file has the chosen name any more
};

struct LanguagePlan {
    LanguagePlanOutcome outcome;
    std::vector<FileRename> renames; // empty unless ready
};

// Every language file ends without leading underscores except the chosen
// one, which ends with exactly one. A file that already has its final name is
// left alone: renaming a file to its own name fails while anyone holds it
// open. Folders and other files are never renamed. The renames can be made in
// their order, each to a name that no file has at that moment (ignoring
// case, as Windows does). When two final names would be the same ignoring
// case, or a final name would be that of an entry that stays, or renames
// would have to wait on one another in a ring, the outcome is a collision and
// nothing is renamed. A chosen name that matches no language file exactly is
// choiceMissing, whatever else the folder holds.
LanguagePlan planLanguageChoice(const std::vector<FolderEntryName>& entries, const std::u16string& chosen);

// The renames that take the first `done` renames of a plan back, when a later
// one failed: in reverse order, each from its new name to its old one.
std::vector<FileRename> undoRenames(const std::vector<FileRename>& renames, std::size_t done);

// Whether Windows takes the two names for the same file: equal after
// upper-casing unit by unit, for the letters of Basic Latin, Latin-1,
// Latin Extended-A, modern Greek and the basic Cyrillic block; any other unit
// only matches itself.
bool sameFileName(const std::u16string& a, const std::u16string& b);
