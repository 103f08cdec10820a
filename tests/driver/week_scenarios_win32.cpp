// A working week of an office played to the program by the scripted spooler, then checked
// as a user sees it: every tab under every fixed period and a saved date,
// against the totals a model worked out from the week's scenario alone, and
// the database's rows against the model's. The script writes the week
// (tests/week/make-week.py) beside the program before the driver starts:
// spooler-scenario.txt and week-expected.txt.
//
// week       the acceptance check; a few screenshots of the whole screen
// week-quit  the same week quit a quarter of the way in
// week-demo  the same week, leaving pictures of the main window on each tab,
//            the users by pages, three years of months in the chart, the
//            saved-dates window on both tabs and the language window, each
//            cropped to its window
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "driver/driver_win32.h"

#include <tlhelp32.h>

#include "common/scoped_handle_win32.h"

namespace {

// ---- what the model says --------------------------------------------------------------

std::wstring fromUtf8(const std::string& text)
{
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// For the report: msvcrt's %ls stops at the first character the C locale
// cannot show, and most names of the week have one.
std::string utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int length = WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::vector<std::wstring> splitOn(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    for (;;) {
        std::size_t next = text.find(separator, at);
        parts.push_back(text.substr(at, next == std::wstring::npos ? std::wstring::npos : next - at));
        if (next == std::wstring::npos) return parts;
        at = next + 1;
    }
}

// The periods in the order of the period list; the saved date follows the
// four fixed ones as the only saved name. "picked" is the saved date's day
// chosen in the date picker.
const wchar_t* const periods[] = {L"everything", L"today", L"month", L"year", L"saved"};
const wchar_t picked[] = L"picked";
const wchar_t* const groupings[] = {L"printer", L"user", L"machine"}; // the tabs' order

struct Week {
    std::wstring today; // YYYY-MM-DD, the day the week was dated for
    std::map<std::wstring, long long> facts;
    std::wstring savedName, savedDate;
    std::wstring pickedDay;            // YYYY-MM-DDT00:00:00.000
    std::vector<std::wstring> lastRow; // date, user, machine, printer, pages of the last row recorded
    std::vector<std::wstring> rows;    // every row of tbTrabajos, cells joined by "|"
    std::map<std::wstring, std::map<std::wstring, std::vector<Row>>> totals; // period, grouping
    bool complete = false;
};

Week readWeek()
{
    Week week;
    std::string content;
    ScopedHandle file(CreateFileW((programFolder() + L"\\week-expected.txt").c_str(), GENERIC_READ,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return week;
    content.resize(GetFileSize(file.get(), nullptr));
    DWORD got = 0;
    if (!ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &got, nullptr)) return week;
    content.resize(got);
    for (const std::wstring& line : splitOn(fromUtf8(content), L'\n')) {
        if (line.empty() || line[0] == L'#') continue;
        std::vector<std::wstring> f = splitOn(line, L'\t');
        if (f[0] == L"today" && f.size() == 2)
            week.today = f[1];
        else if (f[0] == L"fact" && f.size() == 3)
            week.facts[f[1]] = std::wcstoll(f[2].c_str(), nullptr, 10);
        else if (f[0] == L"saved" && f.size() == 3)
            week.savedName = f[1], week.savedDate = f[2];
        else if (f[0] == L"picked" && f.size() == 2)
            week.pickedDay = f[1];
        else if (f[0] == L"last" && f.size() == 6)
            week.lastRow.assign(f.begin() + 1, f.end());
        else if (f[0] == L"row" && f.size() == 6)
            week.rows.push_back(f[1] + L"|" + f[2] + L"|" + f[3] + L"|" + f[4] + L"|" + f[5]);
        else if (f[0] == L"total" && f.size() == 6)
            week.totals[f[1]][f[2]].push_back({f[3], f[4], f[5]});
    }
    week.complete = !week.today.empty() && !week.savedName.empty() && week.lastRow.size() == 5
        && !week.pickedDay.empty() && !week.rows.empty() && week.totals.size() == std::size(periods) + 1;
    return week;
}

// ---- the week played --------------------------------------------------------------------

std::wstring sqlText(const std::wstring& text)
{
    std::wstring quoted = L"'";
    for (wchar_t c : text) quoted += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
    return quoted + L"'";
}

long long rowCount()
{
    std::vector<std::wstring> found = databaseRows(L"select count(*) from tbTrabajos;");
    return found.size() == 1 ? std::wcstoll(found[0].c_str(), nullptr, 10) : -1;
}

// The threads of the program: the interface's, the monitor's, and one
// recorder per finished job that has not written its row yet.
int threadCount(const Program& program)
{
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry))
        count += entry.th32OwnerProcessID == program.id();
    return count;
}

// The week has been played once the last row it records is in and nothing
// more arrives: the scenario's last pass lists every queue empty and is
// repeated from then on. Waiting for that row rather than for a count
// leaves both a lost row and a doubled one to the comparison.
// `meanwhile` runs between two looks at the database.
bool weekPlayed(const Program& program, const Week& week, const std::function<void()>& meanwhile)
{
    const std::wstring lastRowQuery = L"select count(*) from tbTrabajos where trfecha = "
        + sqlText(week.lastRow[0]) + L" and trusuario = " + sqlText(week.lastRow[1]) + L" and trmaquina = "
        + sqlText(week.lastRow[2]) + L" and trimpresora = " + sqlText(week.lastRow[3]) + L";";
    DWORD start = GetTickCount();
    int mostThreads = 0;
    bool lastIn = waitUntil(
        [&] {
            Sleep(200);
            mostThreads = std::max(mostThreads, threadCount(program));
            meanwhile();
            std::vector<std::wstring> found = databaseRows(lastRowQuery);
            return found.size() == 1 && found[0] != L"0";
        },
        150000);
    // Recorders started in the same pass may still be writing.
    long long before = -2;
    waitUntil(
        [&] {
            long long now = rowCount();
            bool settled = now == before;
            before = now;
            Sleep(1500);
            return settled;
        },
        30000);
    std::printf("     (the week played in %.1f s; the program ran at most %d threads at once)\n",
        static_cast<double>(GetTickCount() - start) / 1000, mostThreads);
    return lastIn;
}

// Every row of the database against the model's: the same rows, each as
// often. A difference is shown row by row, as far as 20 of each kind.
void checkDatabaseRows(const Week& week)
{
    std::vector<std::wstring> found
        = databaseRows(L"select trfecha, trusuario, trmaquina, trimpresora, trnumpags from tbTrabajos;");
    std::vector<std::wstring> expected = week.rows;
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> missing, extra;
    std::set_difference(
        expected.begin(), expected.end(), found.begin(), found.end(), std::back_inserter(missing));
    std::set_difference(
        found.begin(), found.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    std::printf("     rows: %zu expected, %zu found\n", expected.size(), found.size());
    check(missing.empty(), "no row of the week is lost");
    for (std::size_t i = 0; i < missing.size() && i < 20; ++i)
        std::printf("     missing: %s\n", utf8(missing[i]).c_str());
    check(extra.empty(), "no row is written that the week does not make, nor twice");
    for (std::size_t i = 0; i < extra.size() && i < 20; ++i)
        std::printf("     extra:   %s\n", utf8(extra[i]).c_str());

    std::vector<std::wstring> sums = databaseRows(L"select count(*), total(trnumpags) from tbTrabajos;");
    wchar_t wanted[80];
    swprintf(wanted, 80, L"%lld|%lld.0", week.facts.at(L"rows"), week.facts.at(L"pages"));
    check(sums.size() == 1 && sums[0] == wanted, "the row count and the sum of pages are the model's");
    if (sums.size() == 1 && sums[0] != wanted)
        std::printf("     expected %s, found %s\n", utf8(wanted).c_str(), utf8(sums[0]).c_str());
}

// ---- the saved-dates window --------------------------------------------------------------

struct SavedDatesForm {
    HWND window = nullptr, tabs = nullptr, nameEdit = nullptr, dayPicker = nullptr, timePicker = nullptr,
         accept = nullptr, savedNames = nullptr;
};

// Its twelve controls in the order of their creation.
SavedDatesForm openSavedDates(const Program& program, HWND main)
{
    SavedDatesForm form;
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    form.window = waitForWindow(savedDatesClass, program);
    check(form.window != nullptr, "the saved-dates window opens");
    std::vector<HWND> children = form.window ? childWindows(form.window) : std::vector<HWND>{};
    if (children.size() != 12) return form;
    form.tabs = children[0], form.nameEdit = children[2], form.dayPicker = children[5];
    form.timePicker = children[6], form.accept = children[8], form.savedNames = children[11];
    return form;
}

SYSTEMTIME parseDateTime(const std::wstring& text)
{
    SYSTEMTIME time{};
    swscanf(text.c_str(), L"%4hu-%2hu-%2huT%2hu:%2hu:%2hu", &time.wYear, &time.wMonth, &time.wDay,
        &time.wHour, &time.wMinute, &time.wSecond);
    return timeOf(ticksOf(time)); // with its day of the week
}

// Names the week's saved date through the form, as a user would: the name,
// the day and the time of day. Leaves the form filled in, not accepted.
SavedDatesForm fillSavedDate(const Program& program, HWND main, const Week& week, const std::wstring& name)
{
    SavedDatesForm form = openSavedDates(program, main);
    if (form.accept == nullptr) return form;
    SYSTEMTIME when = parseDateTime(week.savedDate);
    setPicker(program, form.dayPicker, when);
    setPicker(program, form.timePicker, when);
    SetWindowTextW(form.nameEdit, name.c_str());
    return form;
}

bool savedDatesClosed(const Program& program, HWND main)
{
    return waitUntil(
        [&] { return findWindow(savedDatesClass, program.id()) == nullptr && IsWindowEnabled(main); });
}

void acceptSavedDate(const Program& program, HWND main, const SavedDatesForm& form, const Week& week)
{
    PostMessageW(form.accept, BM_CLICK, 0, 0);
    check(savedDatesClosed(program, main), "accepting closes the saved-dates window");
    check(databaseRows(L"select fememo, fefecha from tbFechas;")
            == std::vector<std::wstring>{week.savedName + L"|" + week.savedDate},
        "the saved date is stored with its name, day and time");
}

// ---- the statistics view --------------------------------------------------------------

// The list holds exactly the model's groups, in any order; a difference is
// shown group by group.
void checkTotals(const Program& program, HWND list, std::vector<Row> expected, const std::string& what)
{
    std::vector<Row> found = listRows(program, list);
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    check(found == expected, what.c_str());
    std::vector<Row> missing, extra;
    std::set_difference(
        expected.begin(), expected.end(), found.begin(), found.end(), std::back_inserter(missing));
    std::set_difference(
        found.begin(), found.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    for (const Row& row : missing)
        std::printf("     expected %s: %s pages, %s jobs\n", utf8(row[0]).c_str(), utf8(row[1]).c_str(),
            utf8(row[2]).c_str());
    for (const Row& row : extra)
        std::printf("     found    %s: %s pages, %s jobs\n", utf8(row[0]).c_str(), utf8(row[1]).c_str(),
            utf8(row[2]).c_str());
}

// The tab is chosen once the tab control says so: the click's refresh runs
// within the click, before the control answers anything else.
bool chooseTab(const Program& program, const StatisticsControls& view, int tab)
{
    if (SendMessageW(view.groupingTabs, TCM_GETCURSEL, 0, 0) == tab) return true;
    clickTab(program, view.groupingTabs, tab);
    return waitUntil([&] { return SendMessageW(view.groupingTabs, TCM_GETCURSEL, 0, 0) == tab; }, 10000);
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Sets the day at a minute before midnight, then steps the field under a
// click down and up with the keyboard: the picker then notifies the main
// window itself, as for a user (Wine passes no WM_NOTIFY between processes).
void pickDay(const Program& program, const StatisticsControls& view, const std::wstring& day)
{
    SYSTEMTIME late = parseDateTime(day);
    late.wHour = 23;
    late.wMinute = 59;
    pickDate(program, view, late);
}

void checkEveryTabAndPeriod(
    const Program& program, HWND main, const StatisticsControls& view, const Week& week)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t today[16];
    swprintf(today, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    // Today, this month and this year start where the week's day put them; a
    // run that crossed midnight after the week was written cannot judge them.
    const bool sameDay = week.today == today;
    if (!sameDay) skipScenario("the day changed since the week was written: today, month and year unchecked");

    for (int tab = 0; tab < 3; ++tab) {
        check(chooseTab(program, view, tab), ("the tab by " + narrow(groupings[tab]) + " is chosen").c_str());
        for (int entry = 0; entry < 5; ++entry) {
            const std::wstring period = periods[entry];
            if (!sameDay && period != L"everything" && period != L"saved") continue;
            choosePeriod(main, view, entry);
            const std::vector<Row>& expected = week.totals.at(period).at(groupings[tab]);
            std::string what = "by " + narrow(groupings[tab]) + ", " + narrow(period) + ": "
                + std::to_string(expected.size()) + " rows as the model counts them";
            checkTotals(program, view.statsList, expected, what);
        }
        // The date the view counts from is then the picked day's midnight.
        pickDay(program, view, week.pickedDay);
        const std::vector<Row>& expected = week.totals.at(picked).at(groupings[tab]);
        std::vector<Row> found;
        waitUntil(
            [&] {
                found = listRows(program, view.statsList);
                std::sort(found.begin(), found.end());
                std::vector<Row> sorted = expected;
                std::sort(sorted.begin(), sorted.end());
                return checked(view.dateRadio) && found == sorted;
            },
            10000);
        check(checked(view.dateRadio), "picking a day chooses the date");
        checkTotals(program, view.statsList, expected,
            "by " + narrow(groupings[tab]) + ", the picked day: " + std::to_string(expected.size())
                + " rows as the model counts them");
    }
}

// ---- the program with its week ----------------------------------------------------------

struct PlayedWeek {
    Week week;
    HWND main = nullptr;
    StatisticsControls view;
    bool ready = false;
};

// With `watching`, a user keeps the window open while the week is played
// and goes through the tabs and the fixed periods, so the view's queries
// take turns with the recorders at the database lock. The scenario ends
// jobs far faster than an office does, so hundreds of recorders may wait at
// the lock and a look waits its turn among them: the longest wait is
// printed, not judged.
PlayedWeek playWeek(const Program& program, bool watching)
{
    PlayedWeek played;
    played.week = readWeek();
    check(played.week.complete, "the week and the model's totals are beside the program");
    if (!played.week.complete) return played;
    const Week& week = played.week;
    std::printf(
        "     the week: %lld printers, %lld users, %lld machines, %lld jobs, %lld rows of %lld pages\n",
        week.facts.at(L"printers"), week.facts.at(L"users"), week.facts.at(L"machines"),
        week.facts.at(L"jobs"), week.facts.at(L"rows"), week.facts.at(L"pages"));

    played.main = waitForMainWindow(program);
    check(played.main != nullptr, "the main window exists");
    if (played.main == nullptr) return played;
    SendMessageW(played.main, WM_NULL, 0, 0);
    played.view = findStatisticsControls(played.main);
    check(played.view.complete(), "the statistics view is there");
    const StatisticsControls& view = played.view;
    int looks = 0;
    DWORD longest = 0;
    auto look = [&] {
        if (!watching || !view.complete()) return;
        DWORD start = GetTickCount();
        if (looks == 0) trayClick(played.main);
        ++looks;
        clickTab(program, view.groupingTabs, looks % 3);
        choosePeriod(played.main, view, looks % 4);
        longest = std::max(longest, GetTickCount() - start);
    };
    check(weekPlayed(program, week, look), "the week's last job is recorded");
    if (watching) {
        check(looks >= 3 && IsWindowVisible(played.main), "the window was in use while the week was played");
        std::printf("     (%d looks at the window meanwhile, the longest %lu ms)\n", looks, longest);
    }
    played.ready = played.view.complete();
    return played;
}

// A fresh database: the week is the only thing in it.
void startAfresh()
{
    DeleteFileW((programFolder() + L"\\pgwarden.db").c_str());
    DeleteFileW((programFolder() + L"\\pgwarden.db-journal").c_str());
}

void quitAndKeepRows(const Program& program, HWND main, long long rows)
{
    PostMessageW(main, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "the program quits with code 0");
    check(rowCount() == rows, "quitting writes no row more");
}

void workingWeek()
{
    startAfresh();
    Program program;
    PlayedWeek played = playWeek(program, true);
    if (!played.ready) return;
    const Week& week = played.week;
    HWND main = played.main;
    checkDatabaseRows(week);

    // Hidden and shown again from the tray, on everything by printer.
    SendMessageW(main, WM_CLOSE, 0, 0);
    check(chooseTab(program, played.view, 0), "the printer tab is chosen");
    choosePeriod(main, played.view, 0);
    SendMessageW(played.view.statsList, LVM_DELETEALLITEMS, 0, 0);
    trayClick(main);
    check(IsWindowVisible(main) != FALSE, "a tray click shows the window");
    checkTotals(program, played.view.statsList, week.totals.at(L"everything").at(L"printer"),
        "it shows every job by printer, counted afresh");
    screenshot(main, L"week-1-everything-by-printer");

    SavedDatesForm form = fillSavedDate(program, main, week, week.savedName);
    if (form.accept == nullptr) return;
    acceptSavedDate(program, main, form, week);
    std::vector<std::wstring> entries = comboTexts(program, played.view.periodCombo);
    check(entries.size() == 5 && entries[4] == week.savedName, "the period list offers the saved date last");

    checkEveryTabAndPeriod(program, main, played.view, week);
    screenshot(main, L"week-2-picked-day-by-machine");
    quitAndKeepRows(program, main, week.facts.at(L"rows"));
}

// Quitting in the middle of the week, once a quarter of its rows are in:
// the program ends with code 0, the rows of the jobs it had seen finish are
// written before the end (nobody else holds the file, so nothing is left
// pending), and every row it wrote is one the week makes, none twice.
void quitMidWeek()
{
    startAfresh();
    Week week = readWeek();
    check(week.complete, "the week and the model's totals are beside the program");
    if (!week.complete) return;
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    if (main == nullptr) return;
    const long long quarter = week.facts.at(L"rows") / 4;
    check(waitUntil([&] { return rowCount() >= quarter; }, 150000), "a quarter of the week is recorded");
    const long long atQuit = rowCount();
    const int threads = threadCount(program);
    PostMessageW(main, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "a quit mid-week ends the program with code 0");
    const long long written = rowCount();
    std::printf("     (%lld rows when the quit came, %d threads running; %lld rows in the end)\n", atQuit,
        threads, written);
    check(written >= atQuit && written < week.facts.at(L"rows"), "the quit came in the middle of the week");
    check(pendingFiles().empty(), "the rows waiting at the quit are written before the end");

    std::vector<std::wstring> found
        = databaseRows(L"select trfecha, trusuario, trmaquina, trimpresora, trnumpags from tbTrabajos;");
    std::vector<std::wstring> expected = week.rows;
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> extra;
    std::set_difference(
        found.begin(), found.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    check(extra.empty(), "every row written is one of the week's, none twice");
    for (std::size_t i = 0; i < extra.size() && i < 20; ++i)
        std::printf("     extra:   %s\n", utf8(extra[i]).c_str());
}

// ---- pictures for the documentation ------------------------------------------------------

void weekForTheDocumentation()
{
    startAfresh();
    Program program;
    PlayedWeek played = playWeek(program, false);
    if (!played.ready) return;
    const Week& week = played.week;
    HWND main = played.main;
    const StatisticsControls& view = played.view;

    trayClick(main);
    // Tall enough for all thirty users.
    SetWindowPos(main, nullptr, 0, 0, 640, 660, SWP_NOZORDER | SWP_NOMOVE);

    // Some saved dates besides the week's, so that the delete page has a list.
    databaseExec(
        L"insert into tbFechas (fefecha, fememo) values ('2026-09-01T00:00:00.000', 'Start of term');"
        L"insert into tbFechas (fefecha, fememo) values ('2026-07-01T00:00:00.000', "
        L"'Second half / \u0394\u03B5\u03CD\u03C4\u03B5\u03C1\u03BF "
        L"\u03B5\u03BE\u03AC\u03BC\u03B7\u03BD\u03BF / "
        L"\u0412\u0442\u043E\u0440\u043E\u0435 \u043F\u043E\u043B\u0443\u0433\u043E\u0434\u0438\u0435');");
    // Wine's edit control draws no letter from a linked font, so the name in
    // the picture keeps to the interface font's own scripts.
    SavedDatesForm form = fillSavedDate(program, main, week,
        L"Stocktake d'hiver \u0391\u03C0\u03BF\u03B3\u03C1\u03B1\u03C6\u03AE "
        L"\u0418\u043D\u0432\u0435\u043D\u0442\u0430\u0440\u044C");
    if (form.accept == nullptr) return;
    windowScreenshot(form.window, L"saved-dates-add");
    clickTab(program, form.tabs, 1);
    waitUntil([&] { return IsWindowVisible(form.savedNames) != FALSE; }, 10000);
    SendMessageW(form.savedNames, CB_SHOWDROPDOWN, TRUE, 0);
    windowScreenshot(form.window, L"saved-dates-delete");
    SendMessageW(form.savedNames, CB_SHOWDROPDOWN, FALSE, 0);
    clickTab(program, form.tabs, 0);
    waitUntil([&] { return IsWindowVisible(form.nameEdit) != FALSE; }, 10000);
    PostMessageW(form.accept, BM_CLICK, 0, 0);
    check(savedDatesClosed(program, main), "the saved date is accepted");

    choosePeriod(main, view, 2); // this month
    const wchar_t* const shots[] = {L"main-by-printer", L"main-by-user", L"main-by-computer"};
    for (int tab = 0; tab < 3; ++tab) {
        check(chooseTab(program, view, tab), "a tab is chosen");
        checkTotals(
            program, view.statsList, week.totals.at(L"month").at(groupings[tab]), "this month's totals");
        windowScreenshot(main, shots[tab]);
    }
    // Who printed most: the users by pages, from high to low.
    check(chooseTab(program, view, 1), "the user tab is chosen");
    clickHeader(program, view.statsList, 1);
    check(waitUntil(
              [&] {
                  const std::vector<Row> rows = listRows(program, view.statsList);
                  return rows.size() > 1 && std::stoll(rows.front()[1]) >= std::stoll(rows.back()[1]);
              },
              10000),
        "a click on the pages header puts who printed most first");
    windowScreenshot(main, L"main-sorted-by-pages");

    // Three years of the office before the week, as an older installation
    // left them: the week's rows moved back month by month, some months
    // busier than others.
    databaseExec(
        L"with recursive k(n) as (select 1 union all select n + 1 from k where n < 35) "
        L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
        L"select strftime('%Y-%m-%dT%H:%M:%f', trfecha, '-' || n || ' months'), trusuario, trmaquina, "
        L"trimpresora, trnumpags from tbTrabajos, k where (trllapri + n) % (2 + n % 5) = 0;");
    const long long withHistory = rowCount();
    choosePeriod(main, view, 0); // everything
    check(chooseTab(program, view, 3), "the month tab is chosen");
    check(waitUntil([&] { return IsWindowVisible(view.monthChart) != FALSE; }, 10000), "the chart is shown");
    windowScreenshot(main, L"main-by-month");

    PostMessageW(main, WM_COMMAND, cmdLanguage, 0);
    HWND language = waitForWindow(languageClass, program);
    check(language != nullptr, "the language window opens");
    if (language != nullptr) {
        windowScreenshot(language, L"language");
        PostMessageW(language, WM_SYSCOMMAND, SC_CLOSE, 0);
        check(waitUntil([&] { return !IsWindow(language) && IsWindowEnabled(main); }), "and closes");
    }
    quitAndKeepRows(program, main, withHistory);
}

const bool registered = addScenario(L"week", workingWeek) && addScenario(L"week-quit", quitMidWeek)
    && addScenario(L"week-demo", weekForTheDocumentation);

} // namespace
