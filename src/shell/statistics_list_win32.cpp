// The list of the statistics view and the month chart in its place: the
// rows shown, their order and the totals in the status bar.
#include "shell/statistics_list_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "shell/locale_format_win32.h"
#include "shell/month_chart_win32.h"
#include "shell/statistics_controls_win32.h"
#include "shell/statistics_figures.h"
#include "shell/status_bar_win32.h"
#include "store/job_store_win32.h"

namespace {

HWND statsList, monthChart;

// What the view shows was counted since this start for this tab: the rows
// in the order shown, their numbers as plain digits (the list groups them).
DateTime shownSince;
ViewTab shownTab = ViewTab::printer;
std::vector<StatisticsRow> shownRows;
// The column a header click ordered the list by; it holds across tabs,
// periods and refreshes. Until the first click the query's order stands.
SortChoice sortChoice;

constexpr int columnWidths[figureColumns] = {250, 150, 150, 110, 90, 120};

textid::Id headerId(int column, textid::Id firstHeaderId)
{
    if (column == 0) return firstHeaderId;
    return column < 3 ? textid::listColumns[column] : textid::detailColumns[column - 3];
}

void createStatisticsList(HWND parent, HWND& list, std::uint32_t firstHeaderId)
{
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 20, 10 * layoutUnit, 20,
        20, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (list == nullptr) fatalError(unit::shell, u"406");
    for (int column = 0; column < figureColumns; ++column) {
        std::u16string header = getText(headerId(column, firstHeaderId));
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

// "17,915 pages in 1,749 jobs on 10 printers": the sums of what is shown,
// and how many groups or months it shows.
std::u16string totalsStatus()
{
    const ShownSums sums = sumFigures(shownRows);
    const std::u16string counts = getText(textid::singularCounts);
    const std::u16string shownCount = decimalText(static_cast<std::int64_t>(shownRows.size()));
    const textid::Id groupsPhrase
        = shownTab == ViewTab::month ? textid::monthsPhrase : textid::groupsPhrases[groupingIndex(shownTab)];
    std::u16string status
        = countPhrase(getText(textid::pagesPhrase), counts, sums.pages, groupedNumber(sums.pages)) + u" "
        + countPhrase(getText(textid::jobsPhrase), counts, sums.jobs, groupedNumber(sums.jobs)) + u" "
        + countPhrase(getText(groupsPhrase), counts, shownCount, groupedNumber(shownCount));
    if (sums.unknownPages > 0) {
        const std::u16string unknown = decimalText(sums.unknownPages);
        status += u' ';
        status += countPhrase(getText(textid::unknownPagesPhrase), counts, unknown, groupedNumber(unknown));
    }
    if (shownTab == ViewTab::month || !anyDetails(shownRows)) return status;
    // "(3,210 in colour, on 12,004 sheets, costing $1,234.56)"
    status += u" ("
        + countPhrase(
            getText(textid::colourPagesPhrase), counts, sums.colourPages, groupedNumber(sums.colourPages));
    status += u", "
        + countPhrase(getText(textid::sheetsPhrase), counts, sums.sheets, groupedNumber(sums.sheets));
    if (!sums.cost.empty())
        status
            += u", " + countPhrase(getText(textid::costPhrase), counts, sums.cost, currencyText(sums.cost));
    return status + u")";
}

// The header shows which column orders the list, and which way.
void showSortArrows()
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(statsList, LVM_GETHEADER, 0, 0));
    for (int column = 0; column < figureColumns; ++column) {
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
        row.colourPages = groupedNumber(row.colourPages);
        row.sheets = groupedNumber(row.sheets);
        row.cost = currencyText(row.cost);
    }
    fillStatisticsList(statsList, grouped);
    // The details' columns show only when some job of the period has
    // details, the cost only when one has a cost (prices are set).
    for (int column = 3; column < figureColumns; ++column) {
        const bool shown = column == costColumn ? anyCost(shownRows) : anyDetails(shownRows);
        SendMessageW(statsList, LVM_SETCOLUMNWIDTH, column, shown ? columnWidths[column] : 0);
    }
    showSortArrows();
}

DateTime localNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return fromSystemTime(now);
}

} // namespace

void createFigureControls(HWND mainWindow, HFONT font)
{
    createStatisticsList(mainWindow, statsList, textid::listColumns[0]);
    SendMessageW(statsList, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    monthChart = createMonthChart(mainWindow, font, copyShownTotals);
}

void placeFigureControls(const RECT& area)
{
    if (!MoveWindow(statsList, area.left, area.top, area.right, area.bottom, TRUE))
        fatalError(unit::shell, u"439");
    if (!MoveWindow(monthChart, area.left, area.top, area.right, area.bottom, TRUE))
        fatalError(unit::shell, u"440");
}

void noteShownChoice(const DateTime& since, ViewTab tab)
{
    shownSince = since;
    shownTab = tab;
}

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

void clearFigures()
{
    shownRows.clear();
    ShowWindow(statsList, SW_SHOWNA);
    ShowWindow(monthChart, SW_HIDE);
    SendMessageW(statsList, LVM_DELETEALLITEMS, 0, 0);
}

void setListLine(int row, const std::u16string& text, const char16_t* failLine)
{
    setCell(statsList, row, 0, text, failLine);
}

bool handleListNotify(HWND mainWindow, const NMHDR& header)
{
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
    return false;
}

bool isFigureControl(HWND window)
{
    return window == statsList || window == monthChart;
}

ShownTotals shownTotals()
{
    const bool months = shownTab == ViewTab::month;
    ShownTotals shown;
    shown.headers = totalsHeaders(months, shownRows);
    shown.rows = totalsCells(months, shownRows);
    shown.csvStem
        = getText(months ? textid::monthCsvNameStem : textid::csvNameStems[groupingIndex(shownTab)]);
    shown.since = shownSince;
    return shown;
}

void copyShownTotals(HWND mainWindow)
{
    copyTotals(mainWindow, shownTotals());
}

std::optional<std::u16string> groupOnListRow(int row)
{
    if (shownTab == ViewTab::month || row < 0 || static_cast<std::size_t>(row) >= shownRows.size())
        return std::nullopt;
    return shownRows[static_cast<std::size_t>(row)].group;
}

void hideFigureControls()
{
    ShowWindow(statsList, SW_HIDE);
    ShowWindow(monthChart, SW_HIDE);
}
