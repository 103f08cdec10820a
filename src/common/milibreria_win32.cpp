// Common library, Win32 half.
#include "common/milibreria_win32.h"

#include <commctrl.h>

#include <map>
#include <vector>

namespace {

constexpr char16_t unitName[] = u"milibreria";

} // namespace

std::u16string programPath()
{
    // Grown until the whole path fits: a program may live deep in a folder
    // tree or on a share with a long name.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) fatalError(unitName, u"119");
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
    if (search == INVALID_HANDLE_VALUE) fatalError(unitName, u"163");

    if (visitor(entry, folder, context)) {
        if (!FindClose(search)) fatalError(unitName, u"167");
        return;
    }
    while (FindNextFileW(search, &entry)) {
        if (visitor(entry, folder, context)) {
            if (!FindClose(search)) fatalError(unitName, u"176");
            return;
        }
    }
    if (GetLastError() != ERROR_NO_MORE_FILES) fatalError(unitName, u"182");
    if (!FindClose(search)) fatalError(unitName, u"184");
}

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
    if (name.empty()) fatalError(unitName, u"226");
    std::u16string path = folder;
    appendBackslash(path);
    return path + name;
}

void readLanguageFile(const std::u16string& path)
{
    freeTexts();
    // The file may have gone or been locked since the listing; with no texts
    // loaded, the report below is the plain one that needs no table.
    HANDLE file = CreateFileW(wide(extendedLengthPath(path.c_str()).c_str()), GENERIC_READ, FILE_SHARE_READ,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) fatalError(unitName, u"207");

    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            CloseHandle(file);
            fatalError(unitName, u"212");
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    loadTextsFromBytes(bytes);
}

void loadTexts()
{
    readLanguageFile(findActiveLanguageFile(languageFolder()));
}

// ---- window helpers -------------------------------------------------------------

void registerWindowClass(WNDCLASSEXW& record, UINT style, WNDPROC procedure, HICON largeIcon, HCURSOR cursor,
    HBRUSH background, const wchar_t* menuName, const wchar_t* className, HICON smallIcon)
{
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unitName, u"37");
    memZero(&record, sizeof record);
    record.cbSize = sizeof record;
    record.style = style;
    record.lpfnWndProc = procedure;
    record.hInstance = module;
    record.hIcon = largeIcon;
    record.hCursor = cursor;
    record.hbrBackground = background;
    record.lpszMenuName = menuName;
    record.lpszClassName = className;
    record.hIconSm = smallIcon;
    if (RegisterClassExW(&record) == 0) fatalError(unitName, u"52");
}

WPARAM runMessageLoop()
{
    MSG message;
    for (;;) {
        // The wide calls: the ANSI ones would turn every character outside the
        // code page that a user types into a "?".
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) return message.wParam;
        if (result == -1) fatalError(unitName, u"66");
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void runWindowLoop(HWND window)
{
    bool quitKept = false;
    WPARAM keptCode = 0;
    MSG message;
    for (;;) {
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == -1) fatalError(unitName, u"67");
        if (result == 0) {
            if (!IsWindow(window)) break;
            quitKept = true;
            keptCode = message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (quitKept) PostQuitMessage(static_cast<int>(keptCode));
}

bool disableOwner(HWND owner)
{
    // EnableWindow answers whether the window was disabled already.
    return !EnableWindow(owner, FALSE);
}

void restoreOwner(HWND owner, bool disabledHere)
{
    if (disabledHere) EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
}

POINT screenCentreOrigin(int width, int height)
{
    return POINT{
        (GetSystemMetrics(SM_CXMAXIMIZED) - width) / 2, (GetSystemMetrics(SM_CYMAXIMIZED) - height) / 2};
}

bool showOpenWindow(const wchar_t* className)
{
    HWND open = FindWindowW(className, nullptr);
    if (open == nullptr || GetWindowThreadProcessId(open, nullptr) != GetCurrentThreadId()) return false;
    ShowWindow(open, SW_SHOWNORMAL);
    SetForegroundWindow(open);
    return true;
}

namespace {

// Open windows, and loops still unwinding, per secondary window class.
std::map<std::wstring, int> classUsers;

} // namespace

bool enterWindowClass(const wchar_t* className)
{
    return classUsers[className]++ == 0;
}

bool leaveWindowClass(const wchar_t* className)
{
    return --classUsers[className] == 0;
}

void setDefaultFont(HWND window)
{
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (font == nullptr) fatalError(unitName, u"79");
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void clientToWindowSize(short& width, short& height)
{
    height = static_cast<short>(height + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYBORDER));
    width = static_cast<short>(width + 2 * GetSystemMetrics(SM_CXBORDER));
}

void initCommonControls()
{
    // 0xFF names the list, tree, bar, tab, up-down, progress, hot-key and
    // animation classes but not the date picker, which the statistics view needs.
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF | ICC_DATE_CLASSES};
    if (!InitCommonControlsEx(&controls)) fatalError(unitName, u"98");
}
