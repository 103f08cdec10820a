#include "common/service_identity_win32.h"

#include <windows.h>

#include <sddl.h>

#include "common/service_sid.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"

std::u16string serviceSidString()
{
    const std::wstring account = std::wstring(L"NT SERVICE\\") + contract::serviceName;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    wchar_t* text = nullptr;
    if (LookupAccountNameW(nullptr, account.c_str(), sid, &sidSize, domain, &domainSize, &use)
        && ConvertSidToStringSidW(sid, &text)) {
        std::u16string found(utf16(text));
        LocalFree(text);
        return found;
    }
    return serviceSidText(utf16(contract::serviceName));
}
