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

} // namespace

CentralSetting readCentralSetting()
{
    std::u16string file = programFolder();
    appendBackslash(file);
    file += centralSettingFileName;
    CentralSetting setting;
    WIN32_FILE_ATTRIBUTE_DATA found{};
    if (!GetFileAttributesExW(wide(file.c_str()), GetFileExInfoStandard, &found)) return setting;
    // The profile calls read the whole file at every value.
    if (found.nFileSizeHigh != 0 || found.nFileSizeLow > centralSettingLimit) return setting;
    setting.connection = profileValue(file, L"connection");
    if (setting.connection.empty()) return setting;
    setting.source = profileValue(file, L"source");
    if (setting.source.empty()) setting.source = computerName();
    return setting;
}
