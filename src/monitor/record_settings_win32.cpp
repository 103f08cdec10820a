#include "monitor/record_settings_win32.h"

#include <windows.h>

#include <string>

#include "central/central_setting.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"

RecordSettings readRecordSettings()
{
    constexpr LONGLONG sizeLimit = 1 << 20;
    std::u16string path = programFolder();
    appendBackslash(path);
    path += centralSettingFileName;
    ScopedHandle file(CreateFileW(wide(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > sizeLimit) return {};
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty()
        && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return {};
    bytes.resize(got);
    return parseRecordSettings(settingsFileText(bytes));
}
