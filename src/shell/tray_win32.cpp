// The tray icon of the main window and its one-item popup menu.
#include <cstddef>

#include "common/milibreria_win32.h"
#include "monitor/impresoras.h"
#include "shell/iconoenbarra_win32.h"
#include "shell/windows_win32.h"

#include <shellapi.h>

namespace {

// The record as far as and including a 128-character tip, nothing after it.
// That is 280 bytes in the 32-bit program and 296 in the 64-bit one; the
// shell reads a record of a size it does not list as the original one, which
// has every field we fill (the tip stays empty: no tooltip).
constexpr DWORD iconRecordSize = offsetof(NOTIFYICONDATAW, dwState);
static_assert(sizeof(void*) != 4 || iconRecordSize == 280);

// True after a Shell_NotifyIconW call has succeeded; while it is set no call
// is made, so the timer stops offering the icon once the shell has it.
bool trayIconAdded = false;
UINT taskbarCreatedMsg = 0;

HICON loadTrayIcon()
{
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(shell::smallIconId));
    if (icon == nullptr) fatalHere(shellUnit);
    return icon;
}

} // namespace

void resetTrayState()
{
    taskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");
    trayIconAdded = false;
}

UINT taskbarCreatedMessage()
{
    return taskbarCreatedMsg;
}

void notifyTrayIcon(HWND window, UINT iconId, HICON icon, DWORD action)
{
    NOTIFYICONDATAW record;
    memZero(&record, sizeof record);
    record.cbSize = iconRecordSize;
    record.hWnd = window;
    record.uID = iconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    record.uCallbackMessage = shell::trayCallbackMsg;
    record.hIcon = icon;
    if (trayIconAdded) return;
    if (Shell_NotifyIconW(action, &record)) trayIconAdded = true;
}

void onTrayTimer(HWND window)
{
    HICON icon = loadTrayIcon();
    notifyTrayIcon(window, shell::trayIconId, icon, NIM_ADD);
    DestroyIcon(icon);
}

void onTaskbarCreated()
{
    // The new taskbar has no icon of ours; the next tick offers it.
    trayIconAdded = false;
}

void removeTrayIcon(HWND window, HICON icon)
{
    trayIconAdded = false;
    // A successful deletion sets the flag again, which keeps a late tick from
    // adding the icon back before the window is gone.
    notifyTrayIcon(window, shell::trayIconId, icon, NIM_DELETE);
}

UINT_PTR showTrayMenu(std::int16_t x, std::int16_t y, HWND window)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) fatalHere(shellUnit);
    if (!AppendMenuW(menu, MF_STRING, shell::cmdTrayQuit, wide(getText(2)))) fatalHere(shellUnit);
    // Without the foreground the menu would not close when the user clicks
    // elsewhere.
    SetForegroundWindow(window);
    auto command = static_cast<UINT_PTR>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN, x, y, 0, window, nullptr));
    // Switches the task so that the next click on the icon opens the menu
    // again instead of being taken as the end of this one.
    PostMessageA(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return command;
}

LRESULT onTrayCallback(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (lParam) {
    case WM_LBUTTONDOWN:
        // The counts are recomputed before the window shows them.
        refreshStatistics();
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return 0;
    case WM_RBUTTONDOWN: {
        POINT cursor;
        if (!GetCursorPos(&cursor)) fatalHere(shellUnit);
        UINT_PTR command
            = showTrayMenu(static_cast<std::int16_t>(cursor.x), static_cast<std::int16_t>(cursor.y), window);
        if (command == shell::cmdTrayQuit) quitProgram(window, loadTrayIcon());
        break;
    }
    }
    return DefWindowProcW(window, shell::trayCallbackMsg, wParam, lParam);
}
