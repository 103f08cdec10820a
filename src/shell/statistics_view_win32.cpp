// Statistics view: the controls of the main window's client area, their
// recomputation from the job store, the order of the list, the month chart's
// tab and the totals in the status bar.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "central/central_link_win32.h"
#include "central/central_setting_win32.h"
#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/scoped_handle_win32.h"
#include "common/strings.h"
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
#include "store/database_preparation.h"
#include "store/database_try_win32.h"
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

// With a central database set, the list shows this computer's counts or
// every computer's, read from the central totals on a thread of its own so
// that a slow or absent server never holds up the window.
HWND thisComputerRadio = nullptr, allComputersRadio = nullptr;
CentralSetting centralSetting;
bool showingAllComputers = false;
unsigned centralQuestions = 0; // the latest question; older answers are dropped
constexpr UINT centralAnswerMessage = WM_APP + 40;

struct CentralQuestion {
    CentralSetting setting;
    DateTime since;
    GroupingColumn column;
    unsigned number;
    HWND window;
};
struct CentralAnswer {
    unsigned number = 0;
    bool answered = false;
    std::vector<StatisticsRow> rows;
    std::u16string error;
};

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

void setCell(HWND list, int row, int column, const std::u16string& text, const char16_t* failLine)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(wide(text.c_str())); // the list keeps its own copy
    if (column == 0) {
        if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
            fatalError(unit::shell, failLine);
    } else if (!SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        fatalError(unit::shell, failLine);
    }
}

void showFigures(std::vector<StatisticsRow> rows);
void refreshFigures();
void clearFigures();

// The rows of every computer, shown like this computer's, or lines in the
// list that say why there are none.
void showCentralAnswer(const CentralAnswer& answer)
{
    if (answer.answered) {
        showFigures(answer.rows);
        return;
    }
    clearFigures();
    setStatusText(u"");
    // The reason reads down the first column, a few words a row.
    setCell(statsList, 0, 0, getText(textid::centralUnreachable), u"451");
    int index = 1;
    for (const std::u16string& line : wrappedLines(answer.error, 40))
        setCell(statsList, index++, 0, line, u"461");
}

DWORD WINAPI askCentralDatabase(void* parameter)
{
    std::unique_ptr<CentralQuestion> question(static_cast<CentralQuestion*>(parameter));
    auto answer = std::make_unique<CentralAnswer>();
    answer->number = question->number;
    answer->answered = queryCentralStatistics(
        question->setting, question->since, question->column, answer->rows, answer->error);
    // A window gone meanwhile leaves the answer to this thread.
    if (PostMessageW(question->window, centralAnswerMessage, 0, reinterpret_cast<LPARAM>(answer.get())))
        answer.release();
    return 0;
}

// The list says it is waiting, and a thread asks the central database. The
// month chart is this computer's alone.
void askForAllComputers()
{
    clearFigures();
    hideStatusProgress();
    setStatusText(u"");
    if (shownTab == ViewTab::month) {
        setCell(statsList, 0, 0, getText(textid::monthsThisComputerOnly), u"462");
        ++centralQuestions; // an answer still on its way is no longer wanted
        return;
    }
    setCell(statsList, 0, 0, getText(textid::centralAsking), u"455");
    auto question = std::make_unique<CentralQuestion>(CentralQuestion{
        centralSetting, shownSince, groupingOf(shownTab), ++centralQuestions, mainWindowOfView});
    ScopedHandle thread(CreateThread(nullptr, 0, askCentralDatabase, question.get(), 0, nullptr));
    if (!thread) fatalError(unit::shell, u"456");
    question.release(); // the thread owns it now
}

void moveControl(HWND control, const ControlRect& r, const char16_t* failLine)
{
    if (!MoveWindow(control, r.x, r.y, r.width, r.height, TRUE)) fatalError(unit::shell, failLine);
}

// "17,915 pages in 1,749 jobs on 10 printers": the sums of what is shown,
// and how many groups or months it shows.
std::u16string totalsStatus()
{
    const ShownSums sums = sumFigures(shownRows);
    const std::u16string counts = getText(textid::singularCounts);
    const std::u16string shownCount = decimalText(static_cast<std::int64_t>(shownRows.size()));
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

// The figures are not there: the list and the chart are emptied, and
// nothing is there to be copied.
void clearFigures()
{
    shownRows.clear();
    ShowWindow(statsList, SW_SHOWNA);
    ShowWindow(monthChart, SW_HIDE);
    SendMessageW(statsList, LVM_DELETEALLITEMS, 0, 0);
}

// While the file is prepared, the status bar says how far it got, with a
// progress bar; the figures come when it is ready.
void showPreparation(const DatabaseWorkerStatus& status)
{
    std::u16string text = getText(
        status.step == PreparationStep::indexes ? textid::buildingIndexes : textid::preparingTotals);
    char percent[16];
    int length = std::snprintf(percent, sizeof percent, " %d %%", status.percent);
    text.append(percent, percent + std::max(length, 0));
    clearFigures();
    showStatusProgress(status.percent, text);
}

// Another program holds the file: the status bar says so, the figures shown
// stay, and the refresh is tried again on a timer.
void waitForOtherProgram()
{
    hideStatusProgress();
    setStatusText(getText(textid::waitingForDatabase));
    SetTimer(mainWindowOfView, refreshRetryTimer, retryEvery, nullptr);
}

// The saved names follow the fixed periods in the period list. Listing them
// reads the file while the recorder may be writing to it, so the lock is
// taken like every other access of the view, briefly. Names the file could
// not give now (another program holds it, or a large file is being
// prepared) are asked for again at each refresh until it does.
bool savedNamesMissing = false;

void appendSavedNamesBriefly()
{
    savedNamesMissing = !tryDatabaseBriefly(
        interfaceLockWait, interfaceFileWait, [] { appendSavedDateNames(periodCombo); });
    // A list cut short is taken back whole, so no name comes twice.
    if (savedNamesMissing)
        while (SendMessageW(periodCombo, CB_GETCOUNT, 0, 0) > std::ssize(textid::fixedPeriods))
            SendMessageW(periodCombo, CB_DELETESTRING, textid::fixedPeriods.size(), 0);
}

} // namespace

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
    // A file a program prepared before is counted from at once, before the
    // window is first shown; a new or an old one once its worker is done.
    tryDatabaseBriefly(interfaceLockWait, interfaceFileWait,
        [] { databaseStatus.prepared = jobDatabasePrepared(programFolder()); });
    centralSetting = readCentralSetting();
    if (centralSetting.enabled()) {
        thisComputerRadio = createControl(mainWindow, L"Button", getText(textid::thisComputer),
            WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, font, u"457");
        allComputersRadio = createControl(mainWindow, L"Button", getText(textid::allComputers),
            WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, font, u"458");
        SendMessageW(thisComputerRadio, BM_SETCHECK, BST_CHECKED, 0);
    }
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
    appendSavedNamesBriefly();
    if (SendMessageW(periodCombo, CB_SETCURSEL, 0, 0) == CB_ERR) fatalError(unit::shell, u"421");
    refreshStatistics();
}

void refreshStatistics()
{
    KillTimer(mainWindowOfView, refreshRetryTimer);
    if (fatalReportBegun()) return;                   // the view stays as it was
    if (savedNamesMissing) appendSavedNamesBriefly(); // the choice among the fixed periods stays
    refreshFigures();
    // The figures may come while the names still could not (the recorder
    // held the lock a moment longer): nothing else would ask again.
    if (savedNamesMissing) SetTimer(mainWindowOfView, refreshRetryTimer, retryEvery, nullptr);
}

namespace {

void refreshFigures()
{
    if (!databaseStatus.prepared && !showingAllComputers) {
        showPreparation(databaseStatus); // the figures come when the file is ready
        return;
    }
    std::optional<std::vector<StatisticsRow>> rows;
    if (!tryDatabaseBriefly(interfaceLockWait, interfaceFileWait, [&] {
            shownSince = chosenStart();
            shownTab = chosenTab();
            // Every computer's counts come from the network, never under the lock.
            if (!showingAllComputers) rows = readFigures(shownSince, shownTab);
        })) {
        waitForOtherProgram();
        return;
    }
    if (showingAllComputers) {
        askForAllComputers();
        return;
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

} // namespace

bool handleStatisticsMessage(UINT message, LPARAM lParam)
{
    if (message != centralAnswerMessage) return false;
    std::unique_ptr<CentralAnswer> answer(reinterpret_cast<CentralAnswer*>(lParam));
    // An answer to an older question, or one that comes after a switch back
    // to this computer, is not what the list should show.
    if (answer->number == centralQuestions && showingAllComputers) showCentralAnswer(*answer);
    return true;
}

void showDatabaseStatus(const DatabaseWorkerStatus& status)
{
    const bool becameReady = status.prepared
        && (!databaseStatus.prepared || status.totalsCounted != databaseStatus.totalsCounted);
    databaseStatus = status;
    if (becameReady)
        refreshStatistics();
    else if (!status.prepared && !showingAllComputers) // every computer's list is not this file's
        showPreparation(status);
}

void layoutStatisticsView(HWND mainWindow)
{
    RECT client;
    if (!GetClientRect(mainWindow, &client)) fatalError(unit::shell, u"430");
    // The status bar takes the bottom; the view is laid out above it.
    StatisticsLayout layout
        = layoutStatistics(client.right, client.bottom - placeStatusBar(), thisComputerRadio != nullptr);
    moveControl(groupBox, layout.groupBox, u"431");
    moveControl(periodRadio, layout.periodRadio, u"432");
    moveControl(dateRadio, layout.dateRadio, u"433");
    moveControl(periodCombo, layout.periodCombo, u"434");
    moveControl(datePicker, layout.datePicker, u"435");
    moveControl(groupingTabs, layout.groupingTabs, u"436");
    if (thisComputerRadio != nullptr) {
        moveControl(thisComputerRadio, layout.thisComputer, u"459");
        moveControl(allComputersRadio, layout.allComputers, u"460");
    }

    RECT tabClient, tabRow;
    if (!GetClientRect(groupingTabs, &tabClient)) fatalError(unit::shell, u"437");
    if (!SendMessageW(groupingTabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tabRow)))
        fatalError(unit::shell, u"438");
    Box area = listAreaInTabs({tabClient.left, tabClient.top, tabClient.right, tabClient.bottom},
        static_cast<short>(GetSystemMetrics(SM_CXDLGFRAME)),
        static_cast<short>(GetSystemMetrics(SM_CYDLGFRAME)), tabRow.bottom, layout.groupingTabs.y);
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
    if (sender != nullptr && (sender == thisComputerRadio || sender == allComputersRadio)) {
        showingAllComputers = isChecked(allComputersRadio);
        refreshStatistics();
        return true;
    }
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
