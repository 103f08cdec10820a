#include "central/central_setting_win32.h"

#include <windows.h>

#include <vector>

#include "common/folders_win32.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"

namespace {

std::u16string profileValue(const std::u16string& file, const wchar_t* key)
{
    // Grown until the value fits: the call cuts a value silently, and a
    // connection string may be long.
    std::vector<wchar_t> value(512);
    for (;;) {
        DWORD length = GetPrivateProfileStringW(
            L"central", key, L"", value.data(), static_cast<DWORD>(value.size()), wide(file.c_str()));
        if (length + 2 < value.size())
            return trimmedSettingValue(std::u16string(utf16(value.data()), length));
        if (value.size() >= 65536) return {};
        value.resize(value.size() * 2);
    }
}

std::u16string computerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length)) return u"";
    return std::u16string(utf16(name), length);
}

std::u16string besideProgram(const char16_t* name)
{
    std::u16string file = programFolder();
    appendBackslash(file);
    return file + name;
}

bool present(const std::u16string& file)
{
    return GetFileAttributesW(wide(file.c_str())) != INVALID_FILE_ATTRIBUTES;
}

// The profile calls read the whole file at every value: a larger file is
// not read, and the program then ships nothing.
bool withinSettingLimit(const std::u16string& file)
{
    WIN32_FILE_ATTRIBUTE_DATA found{};
    if (!GetFileAttributesExW(wide(file.c_str()), GetFileExInfoStandard, &found)) return false;
    return found.nFileSizeHigh == 0 && found.nFileSizeLow <= centralSettingLimit;
}

} // namespace

CentralSetting readCentralSetting()
{
    const std::u16string file = besideProgram(centralSettingFileName);
    const std::u16string secret = besideProgram(centralSecretFileName);
    CentralSetting setting;
    if (present(file) && withinSettingLimit(file)) {
        setting.connection = profileValue(file, L"connection");
        setting.viewer = profileValue(file, L"viewer");
        setting.source = profileValue(file, L"source");
    }
    // A user the file's list turns away reads nothing: that program ships
    // nothing, and shows every computer through the viewer.
    if (present(secret)) {
        setting.secretKept = true;
        std::u16string connection = withinSettingLimit(secret) ? profileValue(secret, L"connection") : u"";
        if (!connection.empty()) setting.connection = std::move(connection);
    }
    if (setting.source.empty()) setting.source = computerName();
    return setting;
}
