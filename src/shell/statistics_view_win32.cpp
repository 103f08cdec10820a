// Statistics view: the seven controls of the main window's client area and
// their recomputation from the job store.
#include <windows.h>

#include <commctrl.h>

#include "common/date_time_win32.h"
#include "common/db_mutex_win32.h"
#include "common/milibreria_win32.h"
#include "shell/iconoenbarra_win32.h"
#include "shell/statistics_view.h"
#include "shell/windows_win32.h"
#include "store/misqlite_win32.h"

namespace {

constexpr int controlTextLimit = 269; // terminator included

// The controls all have identifier 0; they are told apart by their handles.
HWND groupBox, periodRadio, dateRadio, periodCombo, datePicker, statsList, groupingTabs;

constexpr int columnWidths[] = {250, 150, 150};

HWND createControl(HWND parent, const wchar_t* className, const char16_t* caption, DWORD style, HFONT font)
{
    HWND control = CreateWindowExW(0, className, wide(caption), style, 20, 20, 20, 20, parent, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) fatalHere(shellUnit);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void createStatisticsList(HWND parent, HWND& list, std::uint32_t firstHeaderId)
{
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 20, 10 * layoutUnit, 20,
        20, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (list == nullptr) fatalHere(shellUnit);
    for (int column = 0; column < 3; ++column) {
        std::u16string header = getText(column == 0 ? firstHeaderId : textid::listColumns[column]);
        header.resize(std::min<std::size_t>(header.size(), controlTextLimit - 1));
        LVCOLUMNW record{};
        record.mask = LVCF_WIDTH | LVCF_TEXT;
        record.cx = columnWidths[column];
        record.pszText = wide(header.data());
        record.cchTextMax = controlTextLimit;
        if (SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&record)) == -1)
            fatalHere(shellUnit);
    }
}

void createGroupingTabs(HWND parent)
{
    groupingTabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 20, 20, 20, 20, parent,
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (groupingTabs == nullptr) fatalHere(shellUnit);
    for (int tab = 0; tab < 3; ++tab) {
        std::u16string text = getText(textid::groupingTabs[tab]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = wide(text.data());
        if (SendMessageW(groupingTabs, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item)) == -1)
            fatalHere(shellUnit);
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

std::u16string windowText(HWND window)
{
    wchar_t text[controlTextLimit + 3] = {};
    SendMessageW(window, WM_GETTEXT, controlTextLimit, reinterpret_cast<LPARAM>(text));
    return utf16(text);
}

// Reads the start date the controls select; the caller holds the database lock.
DateTime chosenStart()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    DateTime start = fromSystemTime(now);

    if (isChecked(periodRadio)) {
        std::u16string name = windowText(periodCombo);
        DateTime saved = start;
        bool found = findSavedDate(programFolder(), saved, name);
        start = periodStart(
            start, name, found ? std::optional<DateTime>(saved) : std::nullopt, loadedPeriodTexts());
    }
    if (isChecked(dateRadio)) {
        SYSTEMTIME picked;
        if (SendMessageW(datePicker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) == GDT_ERROR)
            fatalHere(shellUnit);
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

void moveControl(HWND control, const ControlRect& r)
{
    if (!MoveWindow(control, r.x, r.y, r.width, r.height, TRUE)) fatalHere(shellUnit);
}

} // namespace

void createStatisticsControls(HWND mainWindow)
{
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (font == nullptr) fatalHere(shellUnit);
    groupBox = createControl(
        mainWindow, L"Button", getText(textid::startChoiceGroup), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, font);
    periodRadio = createControl(mainWindow, L"Button", getText(textid::periodChoice),
        WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, font);
    dateRadio = createControl(
        mainWindow, L"Button", getText(textid::dateChoice), WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, font);
    chooseByPeriod(true);
    periodCombo = createControl(mainWindow, L"combobox", u"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_HASSTRINGS | CBS_DROPDOWNLIST, font);
    datePicker = createControl(
        mainWindow, DATETIMEPICK_CLASSW, u"", WS_CHILD | WS_VISIBLE | DTS_LONGDATEFORMAT, font);
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
            fatalHere(shellUnit);
    {
        // Listing the names reads the file while a recorder may be writing to
        // it: take the lock like every other access of the view.
        DbMutexLock lock;
        appendSavedDateNames(periodCombo);
    }
    if (SendMessageW(periodCombo, CB_SETCURSEL, 0, 0) == CB_ERR) fatalHere(shellUnit);
    refreshStatistics();
}

void refreshStatistics()
{
    DbMutexLock lock;
    if (!lock.owned()) return; // the list stays as it was
    queryStatisticsIntoList(statsList, chosenStart(), chosenGrouping());
}

void layoutStatisticsView(HWND mainWindow)
{
    RECT client;
    if (!GetClientRect(mainWindow, &client)) fatalHere(shellUnit);
    StatisticsLayout layout = layoutStatistics(client.right, client.bottom);
    moveControl(groupBox, layout.groupBox);
    moveControl(periodRadio, layout.periodRadio);
    moveControl(dateRadio, layout.dateRadio);
    moveControl(periodCombo, layout.periodCombo);
    moveControl(datePicker, layout.datePicker);
    moveControl(groupingTabs, layout.groupingTabs);

    RECT tabClient, tabRow;
    if (!GetClientRect(groupingTabs, &tabClient)) fatalHere(shellUnit);
    if (!SendMessageW(groupingTabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tabRow)))
        fatalHere(shellUnit);
    Box area = listAreaInTabs({tabClient.left, tabClient.top, tabClient.right, tabClient.bottom},
        static_cast<short>(GetSystemMetrics(SM_CXDLGFRAME)),
        static_cast<short>(GetSystemMetrics(SM_CYDLGFRAME)), tabRow.bottom);
    RECT r{area.left, area.top, area.right, area.bottom};
    SendMessageW(groupingTabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    // Right and bottom go in as width and height: the frames reserved above
    // leave the list a margin inside the tab control.
    if (!MoveWindow(statsList, r.left, r.top, r.right, r.bottom, TRUE)) fatalHere(shellUnit);
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

bool handleStatisticsNotify(HWND, const NMHDR& header)
{
    if (header.hwndFrom == nullptr) return false;
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
