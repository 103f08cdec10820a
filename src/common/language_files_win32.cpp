#include "common/language_files_win32.h"

#include <vector>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/system_message_win32.h"
#include "common/wide_text_win32.h"

namespace {

bool acceptActiveLanguageFile(WIN32_FIND_DATAW& entry, const char16_t*, void* context)
{
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (!isActiveLanguageFileName(utf16(entry.cFileName))) return false;
    *static_cast<std::u16string*>(context) = utf16(entry.cFileName);
    return true;
}

} // namespace

std::u16string findActiveLanguageFile(const std::u16string& folder)
{
    std::u16string name;
    forEachFolderEntry(folder.c_str(), acceptActiveLanguageFile, &name);
    if (name.empty()) {
        setFailureDetail(
            folder + u": no language file is marked (its name starts with _ and ends with .lang.txt).");
        fatalError(unit::library, u"226");
    }
    std::u16string path = folder;
    appendBackslash(path);
    return path + name;
}

bool readLanguageFile(const std::u16string& path)
{
    // The file may have gone or been locked since the listing; with no texts
    // loaded, the report below is the plain one that needs no table.
    std::string bytes;
    const FileRead read = readWholeFile(path, bytes, languageFileLimit);
    if (read == FileRead::tooLarge) return false;
    freeTexts();
    switch (read) {
    case FileRead::tooLarge:
    case FileRead::cannotOpen:
        setFailureDetail(path + u": " + systemMessage(GetLastError()));
        fatalError(unit::library, u"207");
    case FileRead::cannotRead:
        setFailureDetail(path + u": " + systemMessage(GetLastError()));
        fatalError(unit::library, u"212");
    case FileRead::read: break;
    }
    loadTextsFromBytes(std::vector<unsigned char>(bytes.begin(), bytes.end()));
    return true;
}

namespace {

std::u16string note;

struct Replacement {
    std::u16string folder, refused, used;
};

bool tryOtherLanguageFile(WIN32_FIND_DATAW& entry, const char16_t*, void* context)
{
    auto& replacement = *static_cast<Replacement*>(context);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (!isLanguageFileName(utf16(entry.cFileName))) return false;
    std::u16string path = replacement.folder;
    appendBackslash(path);
    path += utf16(entry.cFileName);
    if (path == replacement.refused || !readLanguageFile(path)) return false;
    replacement.used = utf16(entry.cFileName);
    return true;
}

} // namespace

void loadTexts()
{
    loadTextsFrom(languageFolder());
}

void loadTextsFrom(const std::u16string& folder)
{
    const std::u16string active = findActiveLanguageFile(folder);
    if (readLanguageFile(active)) return;
    const std::u16string limit = asciiText(std::to_string(languageFileLimit >> 20));
    Replacement replacement{folder, active, {}};
    forEachFolderEntry(folder.c_str(), tryOtherLanguageFile, &replacement);
    if (replacement.used.empty()) {
        setFailureDetail(
            active + u": larger than " + limit + u" MB, and no other language file can be read.");
        fatalError(unit::library, u"213");
    }
    note = active + u" is larger than " + limit + u" MB and was not read: the texts are those of "
        + replacement.used + u".";
}

std::u16string languageFileNote()
{
    return note;
}
