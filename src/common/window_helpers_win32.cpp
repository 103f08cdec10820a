#include "common/window_helpers_win32.h"

#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"

void registerWindowClass(WNDCLASSEXW& record, UINT style, WNDPROC procedure, HICON largeIcon, HCURSOR cursor,
    HBRUSH background, const wchar_t* menuName, const wchar_t* className, HICON smallIcon)
{
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unit::library, u"37");
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
    if (RegisterClassExW(&record) == 0) fatalError(unit::library, u"52");
}

WPARAM runMessageLoop()
{
    MSG message;
    for (;;) {
        // The wide calls: the ANSI ones would turn every character outside the
        // code page that a user types into a "?".
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) return message.wParam;
        if (result == -1) fatalError(unit::library, u"66");
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
        if (result == -1) fatalError(unit::library, u"67");
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

void registerSecondaryClass(
    const wchar_t* className, WNDPROC procedure, HICON largeIcon, HCURSOR cursor, HICON smallIcon)
{
    if (classUsers[className]++ != 0) return;
    WNDCLASSEXW record;
    registerWindowClass(record, CS_HREDRAW | CS_VREDRAW, procedure, largeIcon, cursor,
        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, className, smallIcon);
}

bool unregisterSecondaryClass(const wchar_t* className, HMODULE module)
{
    if (--classUsers[className] != 0) return true;
    return UnregisterClassW(className, module) != FALSE;
}

void setDefaultFont(HWND window)
{
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (font == nullptr) fatalError(unit::library, u"79");
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
    if (!InitCommonControlsEx(&controls)) fatalError(unit::library, u"98");
}

std::u16string selectedComboText(HWND combo)
{
    auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    auto length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, 0);
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return std::u16string(utf16(text.data()), static_cast<std::size_t>(length));
}
