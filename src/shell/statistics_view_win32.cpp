// Statistics view: the controls of the main window's client area, their
// recomputation from the job store, the order of the list, the month chart's
// tab and the totals in the status bar.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/database_lock_win32.h"
#include "common/date_time_win32.h"
#include "common/fatal_report.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_helpers_win32.h"
#include "shell/locale_format_win32.h"
#include "shell/main_window_win32.h"
#include "shell/month_chart_win32.h"
#include "shell/statistics_figures.h"
#include "shell/statistics_view.h"
#include "shell/statistics_view_win32.h"
#include "shell/status_bar_win32.h"
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
HWND groupBox, periodRadio, dateRadio, periodCombo, datePicker, statsList, groupingTabs, monthChart;

// What the view shows was counted since this start for this tab: the rows
// in the order shown, their numbers as plain digits (the list groups them).
DateTime shownSince;
ViewTab shownTab = ViewTab::printer;
std::vector<StatisticsRow> shownRows;
// The column a header click ordered the list by; it holds across tabs,
// periods and refreshes. Until the first click the query's order stands.
SortChoice sortChoice;

constexpr int columnWidths[] = {250, 150, 150};

GroupingColumn groupingOf(ViewTab tab)
{
    switch (tab) {
    case ViewTab::user: return GroupingColumn::user;
    case ViewTab::machine: return GroupingColumn::machine;
    case ViewTab::printer:
    case ViewTab::month: break;
    }
    return GroupingColumn::printer;
}

std::size_t groupingIndex(ViewTab tab)
{
    return tab == ViewTab::user ? 1 : tab == ViewTab::machine ? 2 : 0;
}

// Where the view's figures come from: the job store beside the program, as
// quickly as it answers at any size. The one place to change for another
// source; the caller holds the database lock. Nothing when the kept totals
// must be prepared first.
std::optional<std::vector<StatisticsRow>> readFigures(const DateTime& since, ViewTab tab)
{
    std::vector<StatisticsRow> rows;
    auto add = [&](const StatisticsRow& row) { rows.push_back(row); };
    const bool answered = tab == ViewTab::month
        ? quickMonthlyStatistics(programFolder(), since, add)
        : quickStatistics(programFolder(), since, groupingOf(tab), add);
    if (!answered) return std::nullopt;
    return rows;
}

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
        record.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_FMT;
        // Pages and jobs stand right-aligned, their digits under each other.
        record.fmt = column == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
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
    for (int tab = 0; tab <= monthTabIndex; ++tab) {
        std::u16string text = getText(tab == monthTabIndex ? textid::monthTab : textid::groupingTabs[tab]);
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

ViewTab chosenTab()
{
    int tab = static_cast<int>(SendMessageW(groupingTabs, TCM_GETCURFOCUS, 0, 0));
    if (tab == monthTabIndex) return ViewTab::month;
    wchar_t text[controlTextLimit + 3] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = controlTextLimit;
    if (tab < 0 || !SendMessageW(groupingTabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item)))
        text[0] = 0;
    return viewTabOf(groupingForTab(utf16(item.pszText), loadedTabTexts()));
}

void moveControl(HWND control, const ControlRect& r, const char16_t* failLine)
{
    if (!MoveWindow(control, r.x, r.y, r.width, r.height, TRUE)) fatalError(unit::shell, failLine);
}

std::u16string numberText(std::size_t number)
{
    const std::string text = std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

// "17,915 pages in 1,749 jobs on 10 printers": the sums of what is shown,
// and how many groups or months it shows.
std::u16string totalsStatus()
{
    const ShownSums sums = sumFigures(shownRows);
    const std::u16string counts = getText(textid::singularCounts);
    const std::u16string shownCount = numberText(shownRows.size());
    const textid::Id groupsPhrase
        = shownTab == ViewTab::month ? textid::monthsPhrase : textid::groupsPhrases[groupingIndex(shownTab)];
    return countPhrase(getText(textid::pagesPhrase), counts, sums.pages, groupedNumber(sums.pages)) + u" "
        + countPhrase(getText(textid::jobsPhrase), counts, sums.jobs, groupedNumber(sums.jobs)) + u" "
        + countPhrase(getText(groupsPhrase), counts, shownCount, groupedNumber(shownCount));
}

// The header shows which column orders the list, and which way.
void showSortArrows()
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(statsList, LVM_GETHEADER, 0, 0));
    for (int column = 0; column < 3; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == sortChoice.column) item.fmt |= sortChoice.ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
    }
}

// The shown rows into the list, their numbers grouped as the locale groups them.
void fillList()
{
    std::vector<StatisticsRow> grouped = shownRows;
    for (StatisticsRow& row : grouped) {
        row.pages = groupedNumber(row.pages);
        row.jobs = groupedNumber(row.jobs);
    }
    fillStatisticsList(statsList, grouped);
    showSortArrows();
}

DateTime localNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return fromSystemTime(now);
}

// Puts the rows read for the chosen tab on screen: the list in the chosen
// order, or the month chart in the list's place.
void showFigures(std::vector<StatisticsRow> rows)
{
    const bool months = shownTab == ViewTab::month;
    if (months) {
        const std::vector<ChartMonth> chart = chartMonths(rows, shownSince, localNow());
        shownRows = chartRows(chart);
        showChartMonths(chart);
    } else {
        orderRows(rows, sortChoice, compareNamesByLocale);
        shownRows = std::move(rows);
        fillList();
    }
    ShowWindow(months ? monthChart : statsList, SW_SHOWNA);
    ShowWindow(months ? statsList : monthChart, SW_HIDE);
    setStatusText(totalsStatus());
}

ShownTotals shownTotals()
{
    const bool months = shownTab == ViewTab::month;
    ShownTotals shown;
    shown.headers = {getText(months ? textid::monthColumn : textid::listColumns[0]),
        getText(textid::listColumns[1]), getText(textid::listColumns[2])};
    for (const StatisticsRow& row : shownRows) shown.rows.push_back({row.group, row.pages, row.jobs});
    shown.csvStem
        = getText(months ? textid::monthCsvNameStem : textid::csvNameStems[groupingIndex(shownTab)]);
    shown.since = shownSince;
    return shown;
}

} // namespace

// A line in place of the figures, in the list on any tab: what the view
// waits for. Nothing is shown to be copied meanwhile.
void showNotice(std::u16string text)
{
    shownRows.clear();
    setStatusText(u"");
    ShowWindow(statsList, SW_SHOWNA);
    ShowWindow(monthChart, SW_HIDE);
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
    showNotice(text);
    showStatusProgress(status.percent, text);
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
    monthChart = createMonthChart(mainWindow, font);
    createGroupingTabs(mainWindow);
    SendMessageW(groupingTabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The list and the chart lie inside the tab control's area; created
    // first, they stay above the tab control in the order of the siblings.
    createStatusBar(mainWindow, font);
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
    if (fatalReportBegun()) return; // the view stays as it was
    if (!databaseStatus.prepared) {
        showPreparation(databaseStatus); // the figures come when the file is ready
        return;
    }
    std::optional<std::vector<StatisticsRow>> rows;
    {
        DbMutexLock lock(interfaceLockWait);
        if (!lock.owned()) {
            waitForOtherProgram();
            return;
        }
        try {
            BusyLimit limit(interfaceFileWait);
            shownSince = chosenStart();
            shownTab = chosenTab();
            rows = readFigures(shownSince, shownTab);
        } catch (const DatabaseBusy&) {
            waitForOtherProgram();
            return;
        }
    }
    if (!rows) {
        // Another program left the totals in doubt: the worker counts them.
        databaseStatus.prepared = false;
        databaseStatus.step = PreparationStep::totals;
        databaseStatus.percent = 0;
        requestPreparation();
        showPreparation(databaseStatus);
        return;
    }
    hideStatusProgress();
    showFigures(std::move(*rows));
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
    // The status bar takes the bottom; the view is laid out above it.
    StatisticsLayout layout = layoutStatistics(client.right, client.bottom - placeStatusBar());
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
    if (!MoveWindow(monthChart, r.left, r.top, r.right, r.bottom, TRUE)) fatalError(unit::shell, u"440");
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
        copyShownTotals(mainWindow);
        return true;
    }
    if (header.hwndFrom == statsList && header.code == LVN_COLUMNCLICK) {
        // The rows shown are ordered again; nothing is read anew.
        sortChoice = afterHeaderClick(sortChoice, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        if (shownTab != ViewTab::month) {
            orderRows(shownRows, sortChoice, compareNamesByLocale);
            fillList();
        }
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
    HWND from = reinterpret_cast<HWND>(wParam);
    if (from != statsList && from != monthChart) return false;
    showTotalsMenu(mainWindow, from, shownTotals(), lParam);
    return true;
}

void copyShownTotals(HWND mainWindow)
{
    copyTotals(mainWindow, shownTotals());
}
