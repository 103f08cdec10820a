// Scenarios of the statistics view: the totals per printer, user and machine
// under every period, tab and picked date, an empty database, and the time a
// tray click takes on a large one.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>

#include "driver/driver_win32.h"

// Every control has id 0, so they are told apart by class, and the three
// buttons by their kind.
StatisticsControls findStatisticsControls(HWND main)
{
    StatisticsControls found;
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring name = className(child);
        if (lstrcmpiW(name.c_str(), L"Button") == 0) {
            // The first two radio buttons choose the start; a choice of
            // computers, when there is one, comes after them.
            if ((styleOf(child) & BS_TYPEMASK) == BS_GROUPBOX)
                found.groupBox = child;
            else if (styleOf(child) & WS_GROUP)
                found.periodRadio = found.periodRadio ? found.periodRadio : child;
            else
                found.dateRadio = found.dateRadio ? found.dateRadio : child;
        } else if (lstrcmpiW(name.c_str(), L"ComboBox") == 0)
            found.periodCombo = child;
        else if (name == DATETIMEPICK_CLASSW)
            found.datePicker = child;
        else if (name == WC_LISTVIEWW)
            found.statsList = child;
        else if (name == WC_TABCONTROLW)
            found.groupingTabs = child;
        else if (name == monthChartClass)
            found.monthChart = child;
        else if (name == STATUSCLASSNAMEW)
            found.statusBar = child;
    }
    return found;
}

std::wstring groupedDigits(const std::wstring& plain)
{
    wchar_t separator[8] = L",", grouping[16] = L"3;0";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
    // Every locale of the tests groups by threes; the program asks the locale itself.
    std::wstring grouped;
    const std::size_t sign = !plain.empty() && plain[0] == L'-' ? 1 : 0;
    for (std::size_t i = sign; i < plain.size(); ++i) {
        if (i > sign && (plain.size() - i) % 3 == 0) grouped += separator;
        grouped += plain[i];
    }
    return plain.substr(0, sign) + grouped;
}

std::wstring plainDigits(const std::wstring& grouped)
{
    wchar_t separator[8] = L",";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    std::wstring plain = grouped;
    for (std::size_t at; (at = plain.find(separator)) != std::wstring::npos;)
        plain.erase(at, std::wcslen(separator));
    return plain;
}

std::vector<Row> listRows(const Program& program, HWND list)
{
    std::vector<Row> rows = shownListRows(program, list);
    for (Row& row : rows) {
        row[1] = plainDigits(row[1]);
        row[2] = plainDigits(row[2]);
    }
    return rows;
}

std::vector<Cells> listCells(const Program& program, HWND list, int columns)
{
    RemoteMemory memory(program, textOffset + textLimit * sizeof(wchar_t));
    std::vector<Cells> rows;
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        Cells row;
        for (int cell = 0; cell < columns; ++cell) {
            LVITEMW item{};
            item.iSubItem = cell;
            item.pszText = reinterpret_cast<wchar_t*>(memory.address + textOffset);
            item.cchTextMax = textLimit;
            memory.write(item);
            SendMessageW(list, LVM_GETITEMTEXTW, index, memory.at());
            row.push_back(memory.readText(textOffset, textLimit));
        }
        rows.push_back(row);
    }
    return rows;
}

void doubleClickRow(const Program& program, HWND list, int row)
{
    RECT bounds{LVIR_BOUNDS, 0, 0, 0};
    bounds = remoteRecord(program, list, LVM_GETITEMRECT, static_cast<WPARAM>(row), bounds);
    // On the name's first letters: Wine finds an item only under its text.
    const LPARAM point = MAKELPARAM(bounds.left + 6, (bounds.top + bounds.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
}

std::vector<Row> shownListRows(const Program& program, HWND list)
{
    std::vector<Row> rows;
    for (const Cells& cells : listCells(program, list, 3)) rows.push_back({cells[0], cells[1], cells[2]});
    return rows;
}

namespace {

std::vector<std::wstring> headerTexts(const Program& program, HWND list)
{
    return itemTexts<HDITEMW>(program, listHeader(list), HDM_GETITEMCOUNT, HDM_GETITEMW, HDI_TEXT);
}

std::wstring rowsText(std::vector<Row> rows)
{
    std::sort(rows.begin(), rows.end());
    std::wstring text;
    for (const Row& row : rows) text += L" [" + row[0] + L" " + row[1] + L" " + row[2] + L"]";
    return text.empty() ? L" (none)" : text;
}

// The list holds exactly these rows; the view leaves their order to SQLite.

} // namespace

bool sameRows(std::vector<Row> found, std::vector<Row> expected)
{
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    return found == expected;
}

void checkRows(const Program& program, HWND list, const std::vector<Row>& expected, const char* what)
{
    std::vector<Row> found = listRows(program, list);
    check(sameRows(found, expected), what);
    if (!sameRows(found, expected))
        std::printf(
            "     expected%ls\n     found   %ls\n", rowsText(expected).c_str(), rowsText(found).c_str());
}

namespace {

std::wstring widen(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

} // namespace

std::vector<Row> expectedRows(const std::vector<Job>& jobs, const SYSTEMTIME& since, Grouping grouping)
{
    std::map<std::wstring, std::pair<long, long>> totals;
    for (const Job& job : jobs) {
        if (ticksOf(job.submitted) < ticksOf(since)) continue;
        const char* group = grouping == byPrinter ? job.printer : grouping == byUser ? job.user : job.machine;
        auto& [pages, count] = totals[widen(group)];
        pages += job.printed * job.copies;
        ++count;
    }
    std::vector<Row> rows;
    for (const auto& [group, sums] : totals)
        rows.push_back({group, std::to_wstring(sums.first), std::to_wstring(sums.second)});
    return rows;
}

// One pass with every job printing its last page, then passes with empty
// queues: the monitor records each job when it leaves its queue.
void writeSpoolerScenario(const std::vector<Job>& jobs)
{
    std::string text = "pass\n";
    std::set<std::string> printers;
    for (const Job& job : jobs) printers.insert(job.printer);
    for (const std::string& printer : printers) {
        text += "printer \"" + printer + "\"\n";
        for (const Job& job : jobs) {
            if (printer != job.printer) continue;
            char line[300];
            const SYSTEMTIME& t = job.submitted;
            std::snprintf(line, sizeof line,
                "job %d status=0x10 printed=%d total=%d copies=%d user=\"%s\" machine=\"%s\" "
                "submitted=%04u-%02u-%02uT%02u:%02u:%02u.%03u\n",
                job.id, job.printed, job.printed, job.copies, job.user, job.machine, t.wYear, t.wMonth,
                t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
            text += line;
        }
    }
    text += "pass\n";
    for (const std::string& printer : printers) text += "printer \"" + printer + "\"\n";
    DeleteFileW((programFolder() + L"\\pgwarden.db").c_str());
    writeFile(L"spooler-scenario.txt", text);
}

// ---- working the view as the user and the tab control would ----------------------------

void choosePeriod(HWND main, const StatisticsControls& view, int entry)
{
    SendMessageW(view.periodCombo, CB_SETCURSEL, entry, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(view.periodCombo));
}

HWND listHeader(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

void clickHeader(const Program& program, HWND list, int column)
{
    const RECT r = remoteRecord(program, listHeader(list), HDM_GETITEMRECT, column, RECT{});
    const LPARAM point = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(listHeader(list), WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(listHeader(list), WM_LBUTTONUP, 0, point);
}

// Sets the day, then steps the field under a click down and up again with
// the keyboard: the picker notifies the main window itself, as for a user.
// (A WM_NOTIFY sent from here would not arrive: Wine does not pass it
// between processes.)
void pickDate(const Program& program, const StatisticsControls& view, const SYSTEMTIME& day)
{
    setPicker(program, view.datePicker, day);
    RECT r{};
    GetClientRect(view.datePicker, &r);
    LPARAM firstField = MAKELPARAM(8, r.bottom / 2);
    PostMessageW(view.datePicker, WM_LBUTTONDOWN, MK_LBUTTON, firstField);
    PostMessageW(view.datePicker, WM_LBUTTONUP, 0, firstField);
    PostMessageW(view.datePicker, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(view.datePicker, WM_KEYDOWN, VK_UP, 0);
}

namespace {

// The view as built: classes, styles, captions, columns and tabs.
void checkViewControls(const Program& program, const StatisticsControls& view)
{
    check(styleOf(view.groupBox) == 0x50000007 && windowText(view.groupBox) == texts[1000000],
        "the group box: style 0x50000007, text 1000000");
    // A checked radio button gets WS_TABSTOP from the button control itself.
    check((styleOf(view.periodRadio) & ~WS_TABSTOP) == 0x50020009
            && windowText(view.periodRadio) == texts[1000001],
        "the period radio button: style 0x50020009, text 1000001");
    check(
        (styleOf(view.dateRadio) & ~WS_TABSTOP) == 0x50000009 && windowText(view.dateRadio) == texts[1000002],
        "the date radio button: style 0x50000009, text 1000002");
    // The combo box hands WS_VSCROLL on to its drop-down list.
    check((styleOf(view.periodCombo) & ~WS_VSCROLL) == 0x50000203,
        "the period combo box: a drop-down list with strings, not sorted");
    check((styleOf(view.datePicker) & 0x50000004) == 0x50000004, "the date picker: long date format");
    // Scroll bars come and go with the list's size.
    check((styleOf(view.statsList) & ~(WS_HSCROLL | WS_VSCROLL)) == 0x50000001
            && SendMessageW(view.statsList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) == 0,
        "the list: report view, no extended styles");
    // The tab control gives itself WS_CLIPSIBLINGS, so it never paints over the list.
    check((styleOf(view.groupingTabs) & ~WS_CLIPSIBLINGS) == 0x50000000, "the tab control: plain style");
    check(headerTexts(program, view.statsList)
            == std::vector<std::wstring>{texts[1200001], texts[1200002], texts[1200003], texts[1450000],
                texts[1450001], texts[1450002]},
        "the list's columns are texts 1200001, 1200002, 1200003, then the details' 1450000 to 1450002");
    check(SendMessageW(view.statsList, LVM_GETCOLUMNWIDTH, 0, 0) == 250
            && SendMessageW(view.statsList, LVM_GETCOLUMNWIDTH, 1, 0) == 150
            && SendMessageW(view.statsList, LVM_GETCOLUMNWIDTH, 2, 0) == 150,
        "the columns are 250, 150 and 150 pixels wide");
    check(tabTexts(program, view.groupingTabs)
            == std::vector<std::wstring>{texts[1300000], texts[1300001], texts[1300002], texts[1410001],
                texts[1450010]},
        "the tabs are texts 1300000, 1300001, 1300002, the month chart's 1410001 and the log's 1450010");
    check(SendMessageW(view.periodCombo, CB_GETCOUNT, 0, 0) == 4
            && SendMessageW(view.periodCombo, CB_GETCURSEL, 0, 0) == 0,
        "the period list holds the four fixed periods, the first selected");
    check(checked(view.periodRadio) && !checked(view.dateRadio), "the period is chosen, not the date");
}

// Where the first WM_SIZE, at the first showing, put the list.
void checkListPlace(const StatisticsControls& view)
{
    // The list lies inside the tab control's display area and above it.
    RECT list{}, tabs{};
    GetWindowRect(view.statsList, &list);
    GetWindowRect(view.groupingTabs, &tabs);
    check(
        list.left > tabs.left && list.right < tabs.right && list.top > tabs.top && list.bottom < tabs.bottom,
        "the list lies inside the tab control");
    bool listAbove = false;
    for (HWND w = GetWindow(view.statsList, GW_HWNDNEXT); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        listAbove |= w == view.groupingTabs;
    check(listAbove, "the list is above the tab control");
}

void statisticsFollowTheChoices()
{
    SYSTEMTIME now;
    GetSystemTime(&now); // local time is UTC here: the script runs Wine with TZ=UTC
    const SYSTEMTIME today = dayAt(now.wYear, now.wMonth, now.wDay);
    const SYSTEMTIME monthStart = dayAt(now.wYear, now.wMonth, 1);
    const SYSTEMTIME yearStart = dayAt(now.wYear, 1, 1);
    const SYSTEMTIME lastYear = dayAt(static_cast<WORD>(now.wYear - 1), 6, 15, 10, 30);
    const std::vector<Job> jobs = {
        {1, "Office", "ana", "\\\\PC-ANA", 3, 1, today}, // exactly at midnight: today counts it
        {2, "Lab", "bo", "\\\\PC-BO", 5, 2, monthStart},
        {3, "Reception", "ana", "\\\\PC-BO", 7, 1, yearStart},
        {4, "Office", "bo", "\\\\PC-ANA", 2, 1, lastYear},
        {5, "Lab", "ana", "\\\\PC-ANA", 11, 1, dayAt(static_cast<WORD>(now.wYear - 3), 3, 3, 8)},
        {6, "Office", "bo", "\\\\PC-BO", 4, 3, now},
    };
    writeSpoolerScenario(jobs);
    const SYSTEMTIME everything = dayAt(1800, 1, 1);

    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the seven controls are there");
    if (!view.complete()) return;
    checkViewControls(program, view);

    // The monitor records the jobs on its second pass; the period radio
    // button's command recomputes the hidden list until they are all in.
    std::vector<Row> allByPrinter = expectedRows(jobs, everything, byPrinter);
    check(waitUntil([&] {
        SendMessageW(main, WM_COMMAND, BN_CLICKED << 16, reinterpret_cast<LPARAM>(view.periodRadio));
        return sameRows(listRows(program, view.statsList), allByPrinter);
    }),
        "the six jobs are recorded");
    check(!IsWindowVisible(main), "the window is still hidden");

    // The click must recompute: empty the list behind the program's back.
    SendMessageW(view.statsList, LVM_DELETEALLITEMS, 0, 0);
    trayClick(main);
    check(IsWindowVisible(main) != FALSE, "a tray click shows the window");
    checkRows(program, view.statsList, allByPrinter, "with every job counted by printer");
    checkListPlace(view);
    screenshot(main, L"stats-1-printer");

    clickTab(program, view.groupingTabs, 1);
    std::vector<Row> allByUser = expectedRows(jobs, everything, byUser);
    check(waitUntil([&] { return sameRows(listRows(program, view.statsList), allByUser); }, 10000),
        "a click on the user tab counts by user");
    check(SendMessageW(view.groupingTabs, TCM_GETCURSEL, 0, 0) == 1, "and selects it");
    checkRows(program, view.statsList, allByUser, "every job counted by user");
    screenshot(main, L"stats-2-user");

    clickTab(program, view.groupingTabs, 2);
    std::vector<Row> allByMachine = expectedRows(jobs, everything, byMachine);
    check(waitUntil([&] { return sameRows(listRows(program, view.statsList), allByMachine); }, 10000),
        "a click on the machine tab counts by machine");
    checkRows(program, view.statsList, allByMachine, "every job counted by machine");
    screenshot(main, L"stats-3-machine");

    choosePeriod(main, view, 1);
    checkRows(program, view.statsList, expectedRows(jobs, today, byMachine),
        "today: the jobs since midnight, the one at midnight included");
    screenshot(main, L"stats-4-today");
    choosePeriod(main, view, 2);
    checkRows(program, view.statsList, expectedRows(jobs, monthStart, byMachine), "this month");
    screenshot(main, L"stats-5-month");
    clickTab(program, view.groupingTabs, 0);
    std::vector<Row> monthByPrinter = expectedRows(jobs, monthStart, byPrinter);
    check(waitUntil([&] { return sameRows(listRows(program, view.statsList), monthByPrinter); }, 10000),
        "back on the printer tab, the period holds");
    choosePeriod(main, view, 3);
    checkRows(program, view.statsList, expectedRows(jobs, yearStart, byPrinter), "this year");
    screenshot(main, L"stats-6-year");

    // A picked day counts from its midnight, whatever time the picker holds.
    SYSTEMTIME picked = lastYear;
    picked.wHour = 23;
    picked.wMinute = 59;
    pickDate(program, view, picked);
    std::vector<Row> sincePicked = expectedRows(jobs, dayAt(lastYear.wYear, 6, 15), byPrinter);
    check(waitUntil([&] { return sameRows(listRows(program, view.statsList), sincePicked); }, 10000),
        "a picked day counts from its midnight");
    checkRows(program, view.statsList, sincePicked, "the picked day's rows");
    check(checked(view.dateRadio) && !checked(view.periodRadio), "picking a date chooses the date");
    screenshot(main, L"stats-7-date");
    pickDate(program, view, dayAt(lastYear.wYear, 6, 16));
    std::vector<Row> sinceNextDay = expectedRows(jobs, dayAt(lastYear.wYear, 6, 16), byPrinter);
    check(waitUntil([&] { return sameRows(listRows(program, view.statsList), sinceNextDay); }, 10000),
        "the next day leaves that day's job out");

    choosePeriod(main, view, 0);
    check(checked(view.periodRadio) && !checked(view.dateRadio), "the period list chooses the period again");
    checkRows(program, view.statsList, allByPrinter, "everything again");

    quitFromTheMenu(program, main);
}

// Also leaves behind the empty database the program made, which the
// tray-click timing fills.
void emptyDatabaseShowsHeadersOnly()
{
    std::wstring folder = programFolder();
    DeleteFileW((folder + L"\\pgwarden.db").c_str());
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the seven controls are there");
    if (!view.complete()) return;
    trayClick(main);
    check(IsWindowVisible(main) != FALSE, "a tray click shows the window");
    check(SendMessageW(view.statsList, LVM_GETITEMCOUNT, 0, 0) == 0, "the list is empty");
    HWND header = reinterpret_cast<HWND>(SendMessageW(view.statsList, LVM_GETHEADER, 0, 0));
    check(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) == 6, "its six column headers stay");
    bool detailsHidden = true;
    for (int column = 3; column < 6; ++column)
        detailsHidden = detailsHidden && SendMessageW(view.statsList, LVM_GETCOLUMNWIDTH, column, 0) == 0;
    check(detailsHidden, "the details' three of them hidden, as no job has details");
    screenshot(main, L"stats-0-empty");
    quitFromTheMenu(program, main);
}

// Tray clicks on the hidden window, each timed from the click to the window
// shown with the list filled again; prints the times.
void timeTrayClicks(
    const Program& program, HWND main, const StatisticsControls& view, long expectedJobs, const char* what)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
        // Emptied behind the program's back, so a filled list is a fresh one.
        SendMessageW(view.statsList, LVM_DELETEALLITEMS, 0, 0);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        trayClick(main);
        waitUntil([&] {
            return IsWindowVisible(main)
                && (expectedJobs == 0 || SendMessageW(view.statsList, LVM_GETITEMCOUNT, 0, 0) > 0);
        });
        QueryPerformanceCounter(&end);
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart)
            / static_cast<double>(frequency.QuadPart));
        if (expectedJobs != 0) {
            long jobs = 0;
            for (const Row& row : listRows(program, view.statsList))
                jobs += std::wcstol(row[2].c_str(), nullptr, 10);
            check(jobs == expectedJobs, "the list counts every job");
        }
        SendMessageW(main, WM_CLOSE, 0, 0);
    }
    std::printf("     tray click to fresh totals, %s:", what);
    for (double ms : times) std::printf(" %.1f", ms);
    std::sort(times.begin(), times.end());
    std::printf(" ms (median %.1f ms)\n", times[times.size() / 2]);
}

// Time from the tray click to the window shown with fresh totals, on the
// database the script filled (of any size: the jobs are counted first).
// Printed, not judged.
void trayClickTime()
{
    const std::vector<std::wstring> counted = databaseRows(
        L"select count(trnumpags) from tbTrabajos where julianday(trfecha) >= julianday('1800-01-01');");
    const long jobs = counted.empty() ? 0 : std::wcstol(counted[0].c_str(), nullptr, 10);
    check(jobs > 0, "the database holds jobs");
    const std::string every = "every one of " + std::to_string(jobs) + " jobs";
    const std::string today = "today's jobs among " + std::to_string(jobs);

    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the seven controls are there");
    if (!view.complete()) return;

    // Rows written behind the kept totals are counted into them once, at the
    // first statistics; the clicks time a file that is ready.
    check(waitUntil(
              [&] {
                  trayClick(main);
                  const bool filled = SendMessageW(view.statsList, LVM_GETITEMCOUNT, 0, 0) > 0;
                  PostMessageW(main, WM_CLOSE, 0, 0);
                  return filled;
              },
              120000),
        "the file's totals are ready");
    // Everything (all the rows summed) and today (a few rows of the index):
    // the difference is what the size of the table costs.
    timeTrayClicks(program, main, view, jobs, every.c_str());
    choosePeriod(main, view, 1);
    SendMessageW(main, WM_CLOSE, 0, 0);
    timeTrayClicks(program, main, view, 0, today.c_str());
    choosePeriod(main, view, 0);
    trayClick(main);
    screenshot(main, (L"stats-8-" + std::to_wstring(jobs) + L"-jobs").c_str());
    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"statistics", statisticsFollowTheChoices)
    && addScenario(L"statistics-empty", emptyDatabaseShowsHeadersOnly)
    && addScenario(L"tray-click-time", trayClickTime);

} // namespace
