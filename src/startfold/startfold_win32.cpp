// Startfold: opens the current user's Startup folder in the shell, so that a
// shortcut to Pagewarden can be put there and start it at logon. It has no
// window of its own and shares no code with the tray program, which never
// starts it.
//
// Exit code 0 when the folder was opened, 1 after the failure box, so that
// an installer or a script that starts it can tell the two apart.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

// The program's own wording, kept letter for letter, typo included.
constexpr wchar_t failureText[] = L"I was unable of openning startup folder";
constexpr wchar_t failureCaption[] = L"This program will close";

// SHGetFolderPathW writes up to MAX_PATH units and no more.
wchar_t startupFolder[MAX_PATH];

// CoUninitialize runs on every way out, after the box when there is one, and
// also when CoInitialize failed: a refused apartment is released the same way
// as a granted one.
struct ComApartment {
    HRESULT result = CoInitialize(nullptr);
    ComApartment() = default;
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

bool openStartupFolder()
{
    // SHGFP_TYPE_CURRENT: where the folder is now, which a user or a policy
    // may have moved, not where Windows first put it. Without CSIDL_FLAG_CREATE
    // a folder that does not exist is a failure, never silently created.
    if (SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, startupFolder) != S_OK)
        return false;
    HINSTANCE shown = ShellExecuteW(nullptr, L"open", startupFolder, nullptr, nullptr, SW_SHOWNORMAL);
    // Success is above 32: 32 itself is SE_ERR_DLLNOTFOUND, an error.
    return reinterpret_cast<INT_PTR>(shown) > 32;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ComApartment com;
    // S_FALSE (an apartment already there) cannot happen in a fresh process;
    // anything but S_OK means something is wrong, so it fails as well.
    if (com.result == S_OK && openStartupFolder()) return 0;
    MessageBoxW(nullptr, failureText, failureCaption, MB_OK);
    return 1;
}
