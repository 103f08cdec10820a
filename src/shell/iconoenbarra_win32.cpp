// The main window: its menu bar, its window procedure and the orderly way out.
#include "shell/iconoenbarra_win32.h"

#include <string>

#include "common/db_mutex_win32.h"
#include "common/milibreria_win32.h"
#include "monitor/impresoras.h"
#include "shell/windows_win32.h"

namespace {

// Set once the quit sequence has destroyed the main window.
bool quitting = false;

// Items are named by language texts, never by literals, so the whole menu
// follows the active language.
struct MenuItem {
    std::uint32_t textId;
    WORD command;
};

void appendItem(HMENU menu, const MenuItem& item)
{
    if (!InsertMenuW(
            menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, item.command, wide(getText(item.textId))))
        fatalHere(shellUnit);
}

void appendDropDown(HMENU bar, HMENU dropDown, std::uint32_t titleId)
{
    if (!InsertMenuW(bar, static_cast<UINT>(-1), MF_BYPOSITION | MF_POPUP,
            reinterpret_cast<UINT_PTR>(dropDown), wide(getText(titleId))))
        fatalHere(shellUnit);
}

HMENU newMenu()
{
    HMENU menu = CreateMenu();
    if (menu == nullptr) fatalHere(shellUnit);
    return menu;
}

// A secondary window ran its own loop; if the program was quit meanwhile,
// that loop took the program's WM_QUIT (two quit requests merge into one),
// so the outer loop must be asked again or it would wait for ever.
bool requeueQuitAfterNestedLoop()
{
    if (!quitting) return false;
    PostQuitMessage(0);
    return true;
}

LRESULT onSize(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case SIZE_MINIMIZED:
        // Minimising sends the window back to the tray, like closing.
        ShowWindow(window, SW_HIDE);
        return 0;
    case SIZE_MAXHIDE: return DefWindowProcW(window, WM_SIZE, wParam, lParam);
    default: layoutStatisticsView(window); return 0;
    }
}

LRESULT onDestroy(HWND window)
{
    PostQuitMessage(0);
    KillTimer(window, shell::trayTimer);
    // The monitor has ended by now, so no recorder can still be waiting on the lock.
    CloseHandle(dbMutex);
    return 0;
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case shell::cmdSavedDates:
        showSavedDatesWindow(window);
        if (requeueQuitAfterNestedLoop()) return 0;
        // The user may have added or deleted the date the view was counting from.
        fillPeriodCombo();
        return 0;
    case shell::cmdLanguage:
        showLanguageWindow(window);
        requeueQuitAfterNestedLoop();
        return 0;
    case shell::cmdAbout:
        showAboutWindow(window, shell::versionText, shell::productName);
        requeueQuitAfterNestedLoop();
        return 0;
    case shell::cmdQuit:
        // The main menu's quit: the icon handle plays no part in a deletion.
        quitProgram(window, nullptr);
        return 0;
    }
    if (handleStatisticsCommand(window, wParam, lParam)) return 0;
    // Nothing else is ours, and default processing must not see it either.
    return 1;
}

LRESULT onCreate(HWND window)
{
    resetTrayState();
    SetTimer(window, shell::trayTimer, shell::trayTimerPeriod, nullptr);
    startMonitor();
    // Fills the period list and runs the first query, so the view holds data
    // before the user first opens it.
    createStatisticsControls(window);
    return 0;
}

LRESULT onNotify(HWND window, WPARAM wParam, LPARAM lParam)
{
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    if (handleStatisticsNotify(window, header)) return 0;
    return DefWindowProcW(window, WM_NOTIFY, wParam, lParam);
}

} // namespace

HMENU buildMainMenu()
{
    HMENU bar = newMenu();
    HMENU fileMenu = newMenu();
    HMENU optionsMenu = newMenu();
    HMENU helpMenu = newMenu();

    appendItem(optionsMenu, {26, shell::cmdLanguage});
    appendItem(optionsMenu, {1000004, shell::cmdSavedDates});
    appendItem(helpMenu, {3, shell::cmdAbout});
    appendItem(fileMenu, {2, shell::cmdQuit});

    appendDropDown(bar, fileMenu, 1);
    appendDropDown(bar, optionsMenu, 27);
    appendDropDown(bar, helpMenu, 5);
    return bar;
}

void quitProgram(HWND window, HICON icon)
{
    removeTrayIcon(window, icon);
    // Blocks until the monitor thread and its recorders have ended, so that
    // the database lock can be closed when the window goes.
    stopMonitor();
    DestroyWindow(window);
    quitting = true;
}

// While a fatal report is on screen (another thread failed) nothing new
// starts: no quit that would wait for the failing thread, no query that would
// wait for the lock it may hold, no second report.
bool startsWork(UINT message)
{
    return message == shell::trayCallbackMsg || message == WM_COMMAND || message == WM_TIMER
        || message == WM_NOTIFY;
}

LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (fatalReportBegun() && startsWork(message)) return message == WM_COMMAND ? 1 : 0;
    switch (message) {
    case WM_SIZE: return onSize(window, wParam, lParam);
    case WM_DESTROY: return onDestroy(window);
    case shell::trayCallbackMsg: return onTrayCallback(window, wParam, lParam);
    case WM_COMMAND: return onCommand(window, wParam, lParam);
    case WM_CLOSE: ShowWindow(window, SW_HIDE); return 0; // closing only sends it back to the tray
    case WM_CREATE: return onCreate(window);
    case WM_TIMER: onTrayTimer(window); return 0;
    case WM_NOTIFY: return onNotify(window, wParam, lParam);
    }
    // Registered at run time, so it cannot be a case label.
    if (message == taskbarCreatedMessage() && message != 0) {
        onTaskbarCreated();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
