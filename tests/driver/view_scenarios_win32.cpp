// The statistics view as a user reads it, on three years of jobs another
// program wrote: each column header clicked both ways on each tab, numbers
// grouped and right-aligned while a copy gives plain digits, the totals in
// the status bar for every tab and period, and the month chart at 36, 1 and
// 12 months, all checked against the database.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// A job every eight hours back from now, for some 40 months; names that
// order apart by letter case, accents and digits. Local time is UTC here.
const wchar_t* const historySql
    = L"with recursive n(i) as (select 0 union all select i + 1 from n where i < 3599) "
      L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
      L"select strftime('%Y-%m-%dT%H:%M:%f', 'now', '-' || (i * 8) || ' hours'), "
      L"case i % 5 when 0 then 'ann' when 1 then 'Bob' when 2 then 'carl' when 3 then '\u00C9mile' "
      L"else 'zo\u00EB' end, "
      L"case i % 3 when 0 then '\\\\PC-9' when 1 then '\\\\PC-10' else '\\\\PC-2' end, "
      L"case i % 4 when 0 then 'Laser 9' when 1 then 'Laser 10' when 2 then 'plotter' else 'Colour' end, "
      L"1 + (i * 7) % 23 from n;";

// The start of each fixed period, as SQLite writes it for the queries below.
const wchar_t* const periodStarts[]
    = {L"'1800-01-01'", L"date('now')", L"date('now', 'start of month')", L"date('now', 'start of year')"};
const wchar_t* const columns[] = {L"trimpresora", L"trusuario", L"trmaquina"};

struct Expected {
    std::vector<Row> rows; // by group, or by month for the chart
    std::wstring pages, jobs;
};

// What the database holds since the start, by the tab's grouping or by month
// (the last 36 months), with the sums the status bar must show.
Expected expected(const std::wstring& start, int tab)
{
    const std::wstring key = tab < 3 ? columns[tab] : L"strftime('%Y-%m', julianday(trfecha))";
    Expected found;
    for (const std::wstring& line : databaseRows(L"select " + key
             + L", sum(trnumpags), count(trnumpags) from tbTrabajos where julianday(trfecha) >= julianday("
             + start + L") group by 1 order by 1;")) {
        const std::size_t a = line.find(L'|'), b = line.rfind(L'|');
        found.rows.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    if (tab == 3 && found.rows.size() > 36) found.rows.erase(found.rows.begin(), found.rows.end() - 36);
    long long pages = 0, jobs = 0;
    for (const Row& row : found.rows) pages += std::stoll(row[1]), jobs += std::stoll(row[2]);
    found.pages = std::to_wstring(pages);
    found.jobs = std::to_wstring(jobs);
    return found;
}

// "%1 page|%1 pages", the form the language file gives the count.
std::wstring phrase(unsigned long id, const std::wstring& count)
{
    const std::wstring& forms = texts[id];
    const std::wstring singular = L" " + texts[1410010] + L" ";
    const std::size_t bar = forms.find(L'|');
    std::wstring form = singular.find(L" " + count + L" ") != std::wstring::npos ? forms.substr(0, bar)
                                                                                 : forms.substr(bar + 1);
    form.replace(form.find(L"%1"), 2, groupedDigits(count));
    return form;
}

std::wstring statusLine(const Expected& e, int tab)
{
    const unsigned long groups[] = {1410006, 1410007, 1410008, 1410009};
    return phrase(1410004, e.pages) + L" " + phrase(1410005, e.jobs) + L" "
        + phrase(groups[tab], std::to_wstring(e.rows.size()));
}

// HDF_SORTUP, HDF_SORTDOWN or 0 for each column.
std::vector<int> sortArrows(const Program& program, HWND list)
{
    std::vector<int> arrows;
    for (int column = 0; column < 3; ++column)
        arrows.push_back(
            remoteRecord(program, listHeader(list), HDM_GETITEMW, column, withMask<HDITEMW>(HDI_FORMAT)).fmt
            & (HDF_SORTUP | HDF_SORTDOWN));
    return arrows;
}

// The locale's order, digits as numbers where the system knows how.
int byLocale(const std::wstring& a, const std::wstring& b)
{
    auto compare = [&](DWORD flags) {
        return CompareStringEx(LOCALE_NAME_USER_DEFAULT, flags, a.c_str(), static_cast<int>(a.size()),
            b.c_str(), static_cast<int>(b.size()), nullptr, nullptr, 0);
    };
    int order = compare(NORM_IGNORECASE | SORT_DIGITSASNUMBERS);
    if (order == 0) order = compare(NORM_IGNORECASE);
    return order - CSTR_EQUAL;
}

// Names A to Z by the locale, numbers by value with equal ones by name; the
// whole list the other way round when `ascending` is false.
bool inOrder(const std::vector<Row>& rows, int column, bool ascending)
{
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row& a = ascending ? rows[i - 1] : rows[i];
        const Row& b = ascending ? rows[i] : rows[i - 1];
        if (column == 0 && byLocale(a[0], b[0]) > 0) return false;
        if (column > 0) {
            const long long x = std::stoll(a[column]), y = std::stoll(b[column]);
            if (x > y || (x == y && ascending && byLocale(a[0], b[0]) > 0)) return false;
        }
    }
    return true;
}

// The table a copy must give: headers, then the rows in the order shown.
std::wstring table(unsigned long firstHeader, const std::vector<Row>& rows)
{
    std::wstring text = texts[firstHeader] + L"\t" + texts[1200002] + L"\t" + texts[1200003] + L"\r\n";
    for (const Row& row : rows) text += row[0] + L"\t" + row[1] + L"\t" + row[2] + L"\r\n";
    return text;
}

bool copied(HWND target, const std::wstring& expectedText)
{
    for (int press = 0; press < 3; ++press) {
        emptyClipboard();
        focusByClick(GetParent(target), target);
        pressKeys({VK_CONTROL, 'C'});
        // On a busy machine a press may come before the click has given the
        // list the focus: nothing is copied, and it is pressed again. What
        // was copied must then be the expected text.
        if (waitUntil([] { return !clipboardText().empty(); }, 10000)) break;
    }
    return waitUntil([&] { return clipboardText() == expectedText; }, 10000);
}

// Each column clicked twice: the first click orders names A to Z and
// numbers from high to low, the second the other way; the arrow follows.
void headerClicksOrderTheList(const Program& program, const StatisticsControls& view, int tab)
{
    const Expected all = expected(periodStarts[0], tab);
    for (int column = 0; column < 3; ++column) {
        for (bool ascending : {column == 0, column != 0}) {
            clickHeader(program, view.statsList, column);
            std::vector<int> arrows(3, 0);
            arrows[static_cast<std::size_t>(column)] = ascending ? HDF_SORTUP : HDF_SORTDOWN;
            const bool shown
                = waitUntil([&] { return sortArrows(program, view.statsList) == arrows; }, 10000);
            const std::vector<Row> rows = listRows(program, view.statsList);
            char what[120];
            std::snprintf(what, sizeof what, "tab %d, column %d %s: the arrow and the order", tab, column,
                ascending ? "ascending" : "descending");
            check(shown && inOrder(rows, column, ascending) && sameRows(rows, all.rows), what);
        }
    }
}

void chooseTab(const Program& program, const StatisticsControls& view, int tab)
{
    clickTab(program, view.groupingTabs, tab);
    check(waitUntil([&] { return SendMessageW(view.groupingTabs, TCM_GETCURSEL, 0, 0) == tab; }, 10000),
        "the tab is chosen");
}

// Each period on the list's tab: the rows, their grouped digits, the order
// the last header click chose, and the totals in words.
void periodsOnTab(const Program& program, HWND main, const StatisticsControls& view, int tab)
{
    for (int entry = 0; entry < 4; ++entry) {
        choosePeriod(main, view, entry);
        const Expected e = expected(periodStarts[entry], tab);
        const std::vector<Row> shown = shownListRows(program, view.statsList);
        bool grouped = true;
        for (const Row& row : shown) grouped &= row[1] == groupedDigits(plainDigits(row[1]));
        char what[120];
        std::snprintf(
            what, sizeof what, "tab %d, period %d: rows, grouped digits, order and totals", tab, entry);
        check(sameRows(listRows(program, view.statsList), e.rows) && grouped
                && inOrder(listRows(program, view.statsList), 2, true)
                && windowText(view.statusBar) == statusLine(e, tab),
            what);
    }
}

// The month chart at a start: its months copied as the database counts
// them, and the totals in words.
void monthChartAt(
    const StatisticsControls& view, const std::wstring& start, std::size_t months, const wchar_t* shot)
{
    const Expected e = expected(start, 3);
    char what[120];
    std::snprintf(
        what, sizeof what, "the chart shows %zu months, copied as the database counts them", months);
    check(e.rows.size() == months && copied(view.monthChart, table(1410002, e.rows)), what);
    check(windowText(view.statusBar) == statusLine(e, 3), "the status bar gives the months' totals");
    windowScreenshot(GetParent(view.monthChart), shot);
}

void theViewAsAUserReadsIt()
{
    databaseFromAFirstRun(historySql);
    Program program;
    HWND main = waitForMainWindow(program);
    const StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the view's controls are there, the month chart and the status bar among them");
    if (!view.complete()) return;
    trayClick(main);
    SetWindowPos(main, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOMOVE);

    // Until a header is clicked the query's order stands: no arrow.
    check(sortArrows(program, view.statsList) == std::vector<int>{0, 0, 0}, "no arrow before a click");
    std::vector<int> aligned;
    for (int column = 0; column < 3; ++column)
        aligned.push_back(
            remoteRecord(program, view.statsList, LVM_GETCOLUMNW, column, withMask<LVCOLUMNW>(LVCF_FMT)).fmt
            & LVCFMT_JUSTIFYMASK);
    check(aligned == std::vector<int>{LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_RIGHT},
        "names left, pages and jobs right-aligned");
    for (int tab = 0; tab < 3; ++tab) {
        if (tab > 0) chooseTab(program, view, tab);
        choosePeriod(main, view, 0);
        // The last click (jobs, from low to high) holds on the next tab.
        if (tab > 0)
            check(sortArrows(program, view.statsList) == std::vector<int>{0, 0, HDF_SORTUP}
                    && inOrder(listRows(program, view.statsList), 2, true),
                "the order chosen on the tab before holds");
        headerClicksOrderTheList(program, view, tab);
        periodsOnTab(program, main, view, tab);
    }
    choosePeriod(main, view, 0);
    clickHeader(program, view.statsList, 1);
    waitUntil([&] { return sortArrows(program, view.statsList)[1] == HDF_SORTDOWN; }, 10000);
    const std::vector<Row> shown = shownListRows(program, view.statsList);
    check(!shown.empty() && shown[0][1] != plainDigits(shown[0][1]), "thousands are grouped");
    check(copied(view.statsList, table(1200001, listRows(program, view.statsList))),
        "a copy gives the rows in the order shown, in plain digits");
    windowScreenshot(main, L"view-sorted-by-pages");

    chooseTab(program, view, 3);
    check(waitUntil(
              [&] { return IsWindowVisible(view.monthChart) && !IsWindowVisible(view.statsList); }, 10000),
        "the month tab shows the chart in the list's place");
    monthChartAt(view, periodStarts[0], 36, L"view-months-36");
    choosePeriod(main, view, 2);
    monthChartAt(view, periodStarts[2], 1, L"view-months-1");
    SYSTEMTIME now;
    GetSystemTime(&now);
    const int back = now.wYear * 12 + now.wMonth - 1 - 11;
    const SYSTEMTIME yearAgo = dayAt(static_cast<WORD>(back / 12), static_cast<WORD>(back % 12 + 1), 1, 12);
    pickDate(program, view, yearAgo);
    check(waitUntil([&] { return checked(view.dateRadio); }, 10000), "a picked day is the start");
    wchar_t start[32];
    std::swprintf(start, 32, L"'%04u-%02u-01'", yearAgo.wYear, yearAgo.wMonth);
    monthChartAt(view, start, 12, L"view-months-12");
    quitFromTheMenu(program, main);
}

// Page counts another program wrote that are no number of pages: two of
// 1e308 and one of text beside a plain 5. Each is a job of unknown pages,
// counted as 0 and said so, on the printers' tab, on the month chart (drawn
// at once, whatever the values) and in the copy's fourth column.
void oddPageCountsAreSaid()
{
    const std::wstring today = L"strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime')";
    databaseFromAFirstRun(L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
                          L"values ("
        + today + L", 'ann', 'PC', 'Laser', 1e308), (" + today + L", 'ann', 'PC', 'Laser', 1e308), (" + today
        + L", 'bob', 'PC', 'Laser', 5), (" + today + L", 'bob', 'PC', 'Laser', 'many');");
    Program program;
    HWND main = waitForMainWindow(program);
    const StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the view's controls are there");
    if (!view.complete()) return;
    trayClick(main);
    choosePeriod(main, view, 0);
    const std::wstring totals = phrase(1410004, L"5") + L" " + phrase(1410005, L"4") + L" ";
    const std::wstring unknown = L" " + phrase(1410012, L"3");
    auto says = [&] {
        const std::wstring status = windowText(view.statusBar);
        return status.starts_with(totals) && status.ends_with(unknown);
    };
    check(waitUntil(says, 10000), "the printers' tab: 5 pages in 4 jobs, 3 of unknown pages");
    check(copied(view.statsList,
              texts[1200001] + L"\t" + texts[1200002] + L"\t" + texts[1200003] + L"\t" + texts[1410013]
                  + L"\r\nLaser\t5\t4\t3\r\n"),
        "the copy has a column of the jobs of unknown pages");
    chooseTab(program, view, 3);
    check(waitUntil([&] { return IsWindowVisible(view.monthChart) && says(); }, 10000),
        "the month chart is drawn and its totals say the same");
    windowScreenshot(main, L"view-odd-page-counts");
    quitFromTheMenu(program, main);
    check(program.ends(5000), "the program quits within 5 s");
}

const bool registered = addScenario(L"statistics-view", theViewAsAUserReadsIt)
    && addScenario(L"statistics-odd-pages", oddPageCountsAreSaid);

} // namespace
