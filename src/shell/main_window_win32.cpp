// The main window: its menu bar, its window procedure and the orderly way out.
#include "shell/main_window_win32.h"

#include <string>

#include "common/database_lock_win32.h"
#include "common/failure.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "monitor/monitor_handover_win32.h"
#include "monitor/recorder_win32.h"
#include "shell/secondary_windows_win32.h"
#include "shell/statistics_view_win32.h"
#include "shell/tray_icon_win32.h"
#include "store/database_worker_win32.h"

namespace {

// Set once the quit sequence has destroyed the main window.
bool quitting = false;

// Items are named by language texts, never by literals, so the whole menu
// follows the active language.
struct MenuItem {
    textid::Id textId;
    WORD command;
};

void appendItem(HMENU menu, const MenuItem& item, const char16_t* failLine)
{
    if (!InsertMenuW(
            menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, item.command, wide(getText(item.textId))))
        fatalError(unit::shell, failLine);
}

void appendDropDown(HMENU bar, HMENU dropDown, textid::Id titleId, const char16_t* failLine)
{
    if (!InsertMenuW(bar, static_cast<UINT>(-1), MF_BYPOSITION | MF_POPUP,
            reinterpret_cast<UINT_PTR>(dropDown), wide(getText(titleId))))
        fatalError(unit::shell, failLine);
}

HMENU newMenu(const char16_t* failLine)
{
    HMENU menu = CreateMenu();
    if (menu == nullptr) fatalError(unit::shell, failLine);
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

// Who counts the pages, in the active language.
std::u16string countedByText()
{
    switch (monitorHolder()) {
    case MonitorHolder::thisProgram: return getText(textid::countedByThisProgram);
    case MonitorHolder::service: return getText(textid::countedByService);
    case MonitorHolder::otherProgram: break;
    }
    return getText(textid::countedByOtherCopy);
}

void showWhoCounts(HWND window)
{
    setTrayTip(window,
        std::u16string(getText(textid::mainTitle)) + u" \u2013 " + getText(textid::countedByLabel) + u": "
            + countedByText());
}

// A tick of the tray timer: the icon offered while the shell lacks it, and
// the monitor taken, kept or given to the service.
void onTimer(HWND window)
{
    onTrayTimer(window);
    if (!balanceMonitor()) return;
    showWhoCounts(window);
    // The service may have stopped with jobs kept for a locked file.
    if (monitorHolder() == MonitorHolder::thisProgram) requestPendingRows();
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
    KillTimer(window, tray::timerId);
    // The monitor has ended by now, so no recorder can still be waiting on the lock.
    CloseHandle(dbMutex);
    return 0;
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case contract::cmdSavedDates:
        showSavedDatesWindow(window);
        if (requeueQuitAfterNestedLoop()) return 0;
        // The user may have added or deleted the date the view was counting from.
        fillPeriodCombo();
        return 0;
    case contract::cmdLanguage:
        showLanguageWindow(window);
        requeueQuitAfterNestedLoop();
        return 0;
    case contract::cmdAbout:
        showAboutWindow(window, shell::versionText, shell::productName, countedByText());
        requeueQuitAfterNestedLoop();
        return 0;
    case contract::cmdQuit: quitProgram(window); return 0;
    }
    if (handleStatisticsCommand(window, wParam, lParam)) return 0;
    // Nothing else is ours, and default processing must not see it either.
    return 1;
}

LRESULT onTrayCallback(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (trayMouseRequest(window, lParam)) {
    case TrayRequest::showWindow:
        // The counts are recomputed before the window shows them.
        refreshStatistics();
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return 0;
    case TrayRequest::quit: quitProgram(window); break;
    case TrayRequest::none: break;
    }
    return DefWindowProcW(window, contract::trayCallbackMsg, wParam, lParam);
}

LRESULT onCreate(HWND window)
{
    startTrayIcon(window);
    // The file is prepared off this thread: a large file of an earlier
    // version takes minutes. The monitor counts from the start meanwhile; its
    // rows wait until the file is ready.
    startDatabaseWorker([window] { PostMessageW(window, shell::databaseStatusMsg, 0, 0); }, allowRecording);
    // The monitor starts unless the service or another session counts; the
    // timer's ticks follow any change of that.
    balanceMonitor();
    showWhoCounts(window);
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

// The file's preparation moved on: the view shows how far, and its figures
// once the file is ready. A pending file that could not be read was set
// aside: the user is told, once.
void onDatabaseStatus(HWND window)
{
    static bool toldOfPendingFile = false;
    DatabaseWorkerStatus status = databaseWorkerStatus();
    showDatabaseStatus(status);
    if (!status.pendingSetAsideAs.empty() && !toldOfPendingFile) {
        toldOfPendingFile = true;
        std::u16string text = getText(textid::pendingFileSetAside);
        text += u"\r\n\r\n";
        text += status.pendingSetAsideAs;
        MessageBoxW(window, wide(text.c_str()), wide(getText(textid::mainTitle)), MB_OK | MB_ICONWARNING);
    }
}

// While a fatal report is on screen (another thread failed) nothing new
// starts: no quit that would wait for the failing thread, no query that would
// wait for the lock it may hold, no second report.
bool startsWork(UINT message)
{
    return message == contract::trayCallbackMsg || message == WM_COMMAND || message == WM_TIMER
        || message == WM_NOTIFY || message == WM_CONTEXTMENU || message == shell::databaseStatusMsg;
}

} // namespace

HMENU buildMainMenu()
{
    HMENU bar = newMenu(u"201");
    HMENU fileMenu = newMenu(u"202");
    HMENU optionsMenu = newMenu(u"203");
    HMENU helpMenu = newMenu(u"204");

    appendItem(optionsMenu, {textid::languageItem, contract::cmdLanguage}, u"211");
    appendItem(optionsMenu, {textid::savedDatesMenuItem, contract::cmdSavedDates}, u"212");
    appendItem(helpMenu, {textid::aboutItem, contract::cmdAbout}, u"213");
    appendItem(fileMenu, {textid::quitItem, contract::cmdQuit}, u"214");

    appendDropDown(bar, fileMenu, textid::fileMenu, u"221");
    appendDropDown(bar, optionsMenu, textid::optionsMenu, u"222");
    appendDropDown(bar, helpMenu, textid::helpMenu, u"223");
    return bar;
}

void quitProgram(HWND window)
{
    removeTrayIcon(window);
    // A preparation under way is stopped first (it is rolled back and done
    // again at the next start), so that what the monitor finished can be written.
    stopDatabaseWorker();
    // Blocks until the monitor thread has ended and its rows are written (or
    // kept in the pending file), so that the database lock can be closed when
    // the window goes.
    releaseMonitor();
    DestroyWindow(window);
    quitting = true;
}

LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (fatalReportBegun() && startsWork(message)) return message == WM_COMMAND ? 1 : 0;
    switch (message) {
    case WM_SIZE: return onSize(window, wParam, lParam);
    case WM_DESTROY: return onDestroy(window);
    case contract::trayCallbackMsg: return onTrayCallback(window, wParam, lParam);
    case WM_COMMAND: return onCommand(window, wParam, lParam);
    case WM_CLOSE: ShowWindow(window, SW_HIDE); return 0; // closing only sends it back to the tray
    case WM_CREATE: return onCreate(window);
    case WM_TIMER:
        if (wParam == refreshRetryTimer)
            refreshStatistics();
        else if (!handleStatisticsMessage(message, wParam, lParam))
            onTimer(window);
        return 0;
    case WM_NOTIFY: return onNotify(window, wParam, lParam);
    case WM_CONTEXTMENU:
        if (handleStatisticsContextMenu(window, wParam, lParam)) return 0;
        break;
    }
    if (message == shell::databaseStatusMsg) {
        onDatabaseStatus(window);
        return 0;
    }
    if (handleStatisticsMessage(message, wParam, lParam)) return 0;
    // Registered at run time, so it cannot be a case label.
    if (message == taskbarCreatedMessage() && message != 0) {
        onTaskbarCreated();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
