// Statistics view: the seven controls of the main window's client area and
// their recomputation from the job store.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "common/database_lock_win32.h"
#include "common/date_time_win32.h"
#include "common/fatal_report.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_helpers_win32.h"
#include "shell/main_window_win32.h"
#include "shell/statistics_view.h"
#include "shell/statistics_view_win32.h"
#include "shell/totals_export_win32.h"
#include "store/job_store_win32.h"

namespace {

using namespace std::chrono_literals;

// The interface waits this long at most for the program's lock and for a
// file another program holds; then it says what it waits for and tries
// again on a timer.
constexpr DWORD interfaceLockWait = 100;
constexpr auto interfaceFileWait = 100ms;
constexpr UINT retryEvery = 1000;

HWND mainWindowOfView = nullptr;
DatabaseWorkerStatus databaseStatus;

constexpr int controlTextLimit = 269; // terminator included

// The controls all have identifier 0; they are told apart by their handles.
HWND groupBox, periodRadio, dateRadio, periodCombo, datePicker, statsList, groupingTabs;

// What the list shows was counted since this start by this grouping.
DateTime shownSince;
GroupingColumn shownGrouping = GroupingColumn::printer;

constexpr int columnWidths[] = {250, 150, 150};

HWND createControl(HWND parent, const wchar_t* className, const char16_t* caption, DWORD style, HFONT font,
    const char16_t* failLine)
{
    HWND control = CreateWindowExW(0, className, wide(caption), style, 20, 20, 20, 20, parent, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) fatalError(unit::shell, failLine);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void createStatisticsList(HWND parent, HWND& list, std::uint32_t firstHeaderId)
{
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 20, 10 * layoutUnit, 20,
        20, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (list == nullptr) fatalError(unit::shell, u"406");
    for (int column = 0; column < 3; ++column) {
        std::u16string header = getText(column == 0 ? firstHeaderId : textid::listColumns[column]);
        header.resize(std::min<std::size_t>(header.size(), controlTextLimit - 1));
        LVCOLUMNW record{};
        record.mask = LVCF_WIDTH | LVCF_TEXT;
        record.cx = columnWidths[column];
        record.pszText = wide(header.data());
        record.cchTextMax = controlTextLimit;
        if (SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&record)) == -1)
            fatalError(unit::shell, u"407");
    }
}

void createGroupingTabs(HWND parent)
{
    groupingTabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 20, 20, 20, 20, parent,
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (groupingTabs == nullptr) fatalError(unit::shell, u"408");
    for (int tab = 0; tab < 3; ++tab) {
        std::u16string text = getText(textid::groupingTabs[tab]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = wide(text.data());
        if (SendMessageW(groupingTabs, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item)) == -1)
            fatalError(unit::shell, u"409");
    }
}

bool isChecked(HWND radio)
{
    return SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void chooseByPeriod(bool byPeriod)
{
    SendMessageW(periodRadio, BM_SETCHECK, byPeriod ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(dateRadio, BM_SETCHECK, byPeriod ? BST_UNCHECKED : BST_CHECKED, 0);
}

// Reads the start date the controls select; the caller holds the database lock.
DateTime chosenStart()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    DateTime start = fromSystemTime(now);

    if (isChecked(periodRadio)) {
        // The entry's whole text: a name saved by another program may be of any length.
        std::u16string name = selectedComboText(periodCombo);
        DateTime saved = start;
        bool found = findSavedDate(programFolder(), saved, name);
        start = periodStart(
            start, name, found ? std::optional<DateTime>(saved) : std::nullopt, loadedPeriodTexts());
    }
    if (isChecked(dateRadio)) {
        SYSTEMTIME picked;
        if (SendMessageW(datePicker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) == GDT_ERROR)
            fatalError(unit::shell, u"441");
        start = startOfDay(fromSystemTime(picked));
    }
    return start;
}

GroupingColumn chosenGrouping()
{
    int tab = static_cast<int>(SendMessageW(groupingTabs, TCM_GETCURFOCUS, 0, 0));
    wchar_t text[controlTextLimit + 3] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = controlTextLimit;
    if (tab < 0 || !SendMessageW(groupingTabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item)))
        text[0] = 0;
    return groupingForTab(utf16(item.pszText), loadedTabTexts());
}

void moveControl(HWND control, const ControlRect& r, const char16_t* failLine)
{
    if (!MoveWindow(control, r.x, r.y, r.width, r.height, TRUE)) fatalError(unit::shell, failLine);
}

} // namespace

// A line in place of the figures: what the view waits for.
void showNotice(std::u16string text)
{
    SendMessageW(statsList, LVM_DELETEALLITEMS, 0, 0);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = wide(text.data());
    SendMessageW(statsList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void showPreparation(const DatabaseWorkerStatus& status)
{
    std::u16string text = getText(
        status.step == PreparationStep::indexes ? textid::buildingIndexes : textid::preparingTotals);
    char percent[16];
    int length = std::snprintf(percent, sizeof percent, " %d %%", status.percent);
    text.append(percent, percent + std::max(length, 0));
    showNotice(std::move(text));
}

void waitForOtherProgram()
{
    showNotice(getText(textid::waitingForDatabase));
    SetTimer(mainWindowOfView, refreshRetryTimer, retryEvery, nullptr);
}

void createStatisticsControls(HWND mainWindow)
{
    mainWindowOfView = mainWindow;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (font == nullptr) fatalError(unit::shell, u"400");
    groupBox = createControl(mainWindow, L"Button", getText(textid::startChoiceGroup),
        WS_CHILD | WS_VISIBLE | BS_GROUPBOX, font, u"401");
    periodRadio = createControl(mainWindow, L"Button", getText(textid::periodChoice),
        WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, font, u"402");
    dateRadio = createControl(mainWindow, L"Button", getText(textid::dateChoice),
        WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, font, u"403");
    chooseByPeriod(true);
    periodCombo = createControl(mainWindow, L"combobox", u"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_HASSTRINGS | CBS_DROPDOWNLIST, font, u"404");
    datePicker = createControl(
        mainWindow, DATETIMEPICK_CLASSW, u"", WS_CHILD | WS_VISIBLE | DTS_LONGDATEFORMAT, font, u"405");
    createStatisticsList(mainWindow, statsList, textid::listColumns[0]);
    SendMessageW(statsList, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    createGroupingTabs(mainWindow);
    SendMessageW(groupingTabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The list lies inside the tab control's area; created first, it stays
    // above the tab control in the order of the siblings.
    fillPeriodCombo();
}

void fillPeriodCombo()
{
    SendMessageW(periodCombo, CB_RESETCONTENT, 0, 0);
    for (textid::Id id : textid::fixedPeriods)
        if (SendMessageW(periodCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(getText(id)))) == CB_ERR)
            fatalError(unit::shell, u"420");
    {
        // Listing the names reads the file while the recorder may be writing
        // to it: take the lock like every other access of the view, briefly.
        // Names that cannot be read now come with the next refill.
        DbMutexLock lock(interfaceLockWait);
        try {
            BusyLimit limit(interfaceFileWait);
            if (lock.owned()) appendSavedDateNames(periodCombo);
        } catch (const DatabaseBusy&) {
        }
    }
    if (SendMessageW(periodCombo, CB_SETCURSEL, 0, 0) == CB_ERR) fatalError(unit::shell, u"421");
    refreshStatistics();
}

void refreshStatistics()
{
    KillTimer(mainWindowOfView, refreshRetryTimer);
    if (fatalReportBegun()) return; // the list stays as it was
    if (!databaseStatus.prepared) {
        showPreparation(databaseStatus); // the figures come when the file is ready
        return;
    }
    DbMutexLock lock(interfaceLockWait);
    if (!lock.owned()) {
        waitForOtherProgram();
        return;
    }
    try {
        BusyLimit limit(interfaceFileWait);
        shownSince = chosenStart();
        shownGrouping = chosenGrouping();
        if (!quickStatisticsIntoList(statsList, shownSince, shownGrouping)) {
            // Another program left the totals in doubt: the worker counts them.
            databaseStatus.prepared = false;
            databaseStatus.step = PreparationStep::totals;
            databaseStatus.percent = 0;
            requestPreparation();
            showPreparation(databaseStatus);
        }
    } catch (const DatabaseBusy&) {
        waitForOtherProgram();
    }
}

void showDatabaseStatus(const DatabaseWorkerStatus& status)
{
    const bool becameReady = status.prepared && !databaseStatus.prepared;
    databaseStatus = status;
    if (becameReady)
        refreshStatistics();
    else if (!status.prepared)
        showPreparation(status);
}

void layoutStatisticsView(HWND mainWindow)
{
    RECT client;
    if (!GetClientRect(mainWindow, &client)) fatalError(unit::shell, u"430");
    StatisticsLayout layout = layoutStatistics(client.right, client.bottom);
    moveControl(groupBox, layout.groupBox, u"431");
    moveControl(periodRadio, layout.periodRadio, u"432");
    moveControl(dateRadio, layout.dateRadio, u"433");
    moveControl(periodCombo, layout.periodCombo, u"434");
    moveControl(datePicker, layout.datePicker, u"435");
    moveControl(groupingTabs, layout.groupingTabs, u"436");

    RECT tabClient, tabRow;
    if (!GetClientRect(groupingTabs, &tabClient)) fatalError(unit::shell, u"437");
    if (!SendMessageW(groupingTabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tabRow)))
        fatalError(unit::shell, u"438");
    Box area = listAreaInTabs({tabClient.left, tabClient.top, tabClient.right, tabClient.bottom},
        static_cast<short>(GetSystemMetrics(SM_CXDLGFRAME)),
        static_cast<short>(GetSystemMetrics(SM_CYDLGFRAME)), tabRow.bottom);
    RECT r{area.left, area.top, area.right, area.bottom};
    SendMessageW(groupingTabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    // Right and bottom go in as width and height: the frames reserved above
    // leave the list a margin inside the tab control.
    if (!MoveWindow(statsList, r.left, r.top, r.right, r.bottom, TRUE)) fatalError(unit::shell, u"439");
}

bool handleStatisticsCommand(HWND, WPARAM wParam, LPARAM lParam)
{
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == nullptr) return false;
    if (sender == periodRadio || sender == dateRadio) {
        refreshStatistics();
        return true;
    }
    if (sender == periodCombo && HIWORD(wParam) == CBN_SELCHANGE) {
        chooseByPeriod(true);
        refreshStatistics();
        return true;
    }
    return false;
}

bool handleStatisticsNotify(HWND mainWindow, const NMHDR& header)
{
    if (header.hwndFrom == nullptr) return false;
    if (header.hwndFrom == statsList && header.code == LVN_KEYDOWN) {
        const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
        if (key.wVKey != 'C' || GetKeyState(VK_CONTROL) >= 0) return false;
        copyTotals(mainWindow, {statsList, shownGrouping, shownSince});
        return true;
    }
    if (header.hwndFrom == datePicker && header.code == DTN_DATETIMECHANGE) {
        chooseByPeriod(false);
        refreshStatistics();
        return true;
    }
    if (header.hwndFrom == groupingTabs && header.code == TCN_SELCHANGE) {
        refreshStatistics();
        return true;
    }
    return false;
}

bool handleStatisticsContextMenu(HWND mainWindow, WPARAM wParam, LPARAM lParam)
{
    if (reinterpret_cast<HWND>(wParam) != statsList) return false;
    showTotalsMenu(mainWindow, {statsList, shownGrouping, shownSince}, lParam);
    return true;
}
