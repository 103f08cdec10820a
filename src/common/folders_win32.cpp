#include "common/folders_win32.h"

#include <vector>

#include "common/failure.h"
#include "common/scoped_handle_win32.h"
#include "common/strings.h"
#include "common/system_message_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"

namespace {

// The report says which folder or file and the system's words for why.
[[noreturn]] void failOnFolder(const char16_t* path, const char16_t* line)
{
    setFailureDetail(std::u16string(path) + u": " + systemMessage(GetLastError()));
    fatalError(unit::library, line);
}

} // namespace

std::u16string programPath()
{
    // Grown until the whole path fits: a program may live deep in a folder
    // tree or on a share with a long name.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) fatalError(unit::library, u"119");
        if (length < path.size()) return std::u16string(utf16(path.data()), length);
        path.resize(path.size() * 2);
    }
}

std::u16string programFolder()
{
    std::u16string path = programPath();
    std::size_t backslash = path.find_last_of(u'\\');
    path.resize(backslash == std::u16string::npos ? 0 : backslash);
    return path;
}

std::u16string languageFolder()
{
    std::u16string folder = programFolder();
    appendBackslash(folder);
    return folder + u"lang";
}

std::u16string dataFolderSetting()
{
    std::u16string ini = programFolder() + u"\\" + contract::settingsFileName;
    wchar_t value[1024] = {};
    GetPrivateProfileStringW(L"data", L"folder", L"", value, 1024, wide(ini.c_str()));
    wchar_t expanded[1024] = {};
    const DWORD length = ExpandEnvironmentStringsW(value, expanded, 1024);
    if (length == 0 || length > 1024) return {};
    std::u16string folder(utf16(expanded));
    while (!folder.empty() && folder.front() == u' ') folder.erase(folder.begin());
    while (folder.size() > 3 && (folder.back() == u' ' || folder.back() == u'\\' || folder.back() == u'/'))
        folder.pop_back();
    if (folder.empty()) return {};
    const bool absolute = folder.starts_with(u"\\\\") || (folder.size() > 1 && folder[1] == u':');
    return absolute ? folder : programFolder() + u"\\" + folder;
}

std::u16string dataFolder()
{
    static const std::u16string folder = [] {
        std::u16string named = dataFolderSetting();
        return named.empty() ? programFolder() : named;
    }();
    return folder;
}

void forEachFolderEntry(const char16_t* folder, FolderVisitor visitor, void* context)
{
    // The extended form lifts the usual path length limit from the listing,
    // for a folder on a network share as well.
    std::u16string pattern = extendedLengthPath(folder);
    if (pattern.empty() || pattern.back() != u'\\') pattern += u'\\';
    pattern += u'*';

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW(
        wide(pattern.c_str()), FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) failOnFolder(folder, u"163");

    if (visitor(entry, folder, context)) {
        if (!FindClose(search)) fatalError(unit::library, u"167");
        return;
    }
    while (FindNextFileW(search, &entry)) {
        if (visitor(entry, folder, context)) {
            if (!FindClose(search)) fatalError(unit::library, u"176");
            return;
        }
    }
    if (GetLastError() != ERROR_NO_MORE_FILES) failOnFolder(folder, u"182");
    if (!FindClose(search)) fatalError(unit::library, u"184");
}

FileRead readWholeFile(const std::u16string& path, std::string& bytes, std::size_t limit)
{
    ScopedHandle file(CreateFileW(wide(extendedLengthPath(path.c_str()).c_str()), GENERIC_READ,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FileRead::cannotOpen;
    bytes.clear();
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && static_cast<unsigned long long>(size.QuadPart) > limit)
        return FileRead::tooLarge;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
            // Closing must not hide why the read failed.
            const DWORD why = GetLastError();
            file.reset();
            SetLastError(why);
            return FileRead::cannotRead;
        }
        if (got == 0) return FileRead::read;
        // It may grow while it is read.
        if (got > limit - bytes.size()) {
            bytes.clear();
            bytes.shrink_to_fit();
            return FileRead::tooLarge;
        }
        bytes.append(chunk, got);
    }
}
