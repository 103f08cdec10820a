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

void readLanguageFile(const std::u16string& path)
{
    freeTexts();
    // The file may have gone or been locked since the listing; with no texts
    // loaded, the report below is the plain one that needs no table.
    std::string bytes;
    switch (readWholeFile(path, bytes)) {
    case FileRead::cannotOpen:
        setFailureDetail(path + u": " + systemMessage(GetLastError()));
        fatalError(unit::library, u"207");
    case FileRead::cannotRead:
        setFailureDetail(path + u": " + systemMessage(GetLastError()));
        fatalError(unit::library, u"212");
    case FileRead::read: break;
    }
    loadTextsFromBytes(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

void loadTexts()
{
    readLanguageFile(findActiveLanguageFile(languageFolder()));
}
