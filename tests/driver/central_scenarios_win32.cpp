// Scenarios of "All computers": the statistics of every computer from the
// central database, next to this computer's, with what the central tests
// expect beside the program (expected-all-N.txt and expected-this-0.txt, one
// "name|pages|jobs|colour pages|sheets" a line, UTF-8, N the tab); and the reason in words when
// the server cannot answer (expected-reason.txt holds words it must show).
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>

#include "driver/driver_win32.h"

namespace {

std::wstring fromUtf8(const std::string& text)
{
    if (text.empty()) return {};
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return wide;
}

std::vector<std::wstring> expectedLines(const wchar_t* name)
{
    std::ifstream file(std::filesystem::path(programFolder() + L"\\" + name), std::ios::binary);
    std::vector<std::wstring> lines;
    for (std::string line; std::getline(file, line);)
        if (!line.empty()) lines.push_back(fromUtf8(line));
    return lines;
}

// Each line's name, then its figures; the list is read through a buffer of
// textLimit units.
std::vector<Cells> expectedCellsOf(const wchar_t* name)
{
    std::vector<Cells> rows;
    for (const std::wstring& line : expectedLines(name)) {
        std::size_t end = line.find(L'|');
        Cells row{line.substr(0, std::min<std::size_t>(end, textLimit - 1))};
        for (std::size_t start = end + 1; end != std::wstring::npos; start = end + 1) {
            end = line.find(L'|', start);
            row.push_back(line.substr(start, end == std::wstring::npos ? end : end - start));
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<Row> expectedRowsOf(const wchar_t* name)
{
    std::vector<Row> rows;
    for (const Cells& cells : expectedCellsOf(name))
        if (cells.size() >= 3) rows.push_back({cells[0], cells[1], cells[2]});
    return rows;
}

// Every figure of the list, details included, against the expected lines.
void checkCells(const Program& program, HWND list, const wchar_t* name, const char* what)
{
    const std::vector<Cells> expected = expectedCellsOf(name);
    const int columns = expected.empty() ? 3 : static_cast<int>(expected[0].size());
    std::vector<Cells> shown = listCells(program, list, columns);
    for (Cells& row : shown)
        for (std::size_t cell = 1; cell < row.size(); ++cell) row[cell] = plainDigits(row[cell]);
    std::sort(shown.begin(), shown.end());
    check(shown == expected, what);
}

struct SourceChoice {
    HWND thisComputer = nullptr, allComputers = nullptr;
};

SourceChoice findSourceChoice(HWND main)
{
    SourceChoice found;
    for (HWND child : childWindows(main)) {
        if (windowText(child) == texts[1440000]) found.thisComputer = child;
        if (windowText(child) == texts[1440001]) found.allComputers = child;
    }
    return found;
}

// Waits for the list to settle on the rows, as the answer comes from a thread.
void waitForRows(const Program& program, HWND list, const std::vector<Row>& expected, const char* what)
{
    waitUntil([&] { return sameRows(listRows(program, list), expected); }, 15000);
    checkRows(program, list, expected, what);
}

// Every computer's job log (expected-log.txt: the jobs and their pages, then
// a search and the jobs it finds): the Jobs tab reads the central rows a
// page at a time, newest first, every one of them; a double-click on a user
// of every computer's list opens that user's jobs; a search is one more
// term of the server's query.
void everyComputersLog(const Program& program, HWND main, const StatisticsControls& view)
{
    // "JOBS|PAGES", then "SEARCH|FOUND".
    const std::vector<std::wstring> lines = expectedLines(L"expected-log.txt");
    HWND log = GetDlgItem(main, jobLogListId), search = GetDlgItem(main, jobSearchEditId),
         showAll = GetDlgItem(main, showAllButtonId);
    const std::size_t bar = lines.size() == 2 ? lines[1].find(L'|') : std::wstring::npos;
    if (bar == std::wstring::npos || lines[0].find(L'|') == std::wstring::npos || !log || !search) {
        check(false, "expected-log.txt and the Jobs tab's controls are there");
        return;
    }
    const std::wstring jobs = lines[0].substr(0, lines[0].find(L'|')),
                       pages = lines[0].substr(lines[0].find(L'|') + 1), searched = lines[1].substr(0, bar),
                       found = lines[1].substr(bar + 1);
    // Room for a screen of jobs: at its first size the window shows the
    // choice of computers and little of the log.
    SetWindowPos(main, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOMOVE);
    clickTab(program, view.groupingTabs, 4);
    std::vector<Cells> rows;
    auto whole = [&] {
        rows = listCells(program, log, 11);
        return std::to_wstring(rows.size()) == jobs
            && std::none_of(rows.begin(), rows.end(), [](const Cells& row) { return row[0].empty(); });
    };
    check(waitUntil(whole, 30000), "every computer's log lists every central job, each read");
    long long sum = 0;
    for (const Cells& row : rows) sum += row[5].empty() ? 0 : std::stoll(plainDigits(row[5]));
    check(std::to_wstring(sum) == pages, "with their pages");
    check(
        std::is_sorted(rows.begin(), rows.end(), [](const Cells& a, const Cells& b) { return a[0] > b[0]; }),
        "newest first");
    windowScreenshot(main, L"all-computers-jobs");
    // A script's report of every computer's jobs: the bytes the tab saves.
    const std::wstring saved = programFolder() + L"\\all jobs.csv",
                       reported = programFolder() + L"\\all jobs report.csv";
    saveLogAsCsv(program, log, saved);
    Program report(programPath, L"/report /by job /all-computers /out \"" + reported + L"\"");
    check(report.ends() && report.exitCode() == 0 && fileBytes(reported) == fileBytes(saved)
            && fileBytes(saved).size() > 3,
        "/report /by job /all-computers writes what the Jobs tab saves, byte for byte");

    // A user of plain letters and digits: a hostile name is cut in both lists.
    clickTab(program, view.groupingTabs, 1);
    waitForRows(
        program, view.statsList, expectedRowsOf(L"expected-all-1.txt"), "all computers by user once more");
    const std::vector<Cells> users = listCells(program, view.statsList, 3);
    const auto plain = std::find_if(users.begin(), users.end(), [](const Cells& row) {
        return !row[0].empty()
            && std::all_of(row[0].begin(), row[0].end(), [](wchar_t c) { return iswalnum(c); });
    });
    if (plain == users.end()) return check(false, "a user of plain letters and digits");
    doubleClickRow(program, view.statsList, static_cast<int>(plain - users.begin()));
    check(waitUntil(
              [&] {
                  rows = listCells(program, log, 3);
                  return std::to_wstring(rows.size()) == plainDigits((*plain)[2])
                      && std::all_of(
                          rows.begin(), rows.end(), [&](const Cells& row) { return row[1] == (*plain)[0]; });
              },
              15000),
        "a double-click on a user of every computer's list lists that user's jobs");
    std::printf("     %ls: %zu jobs listed, %ls in the list of users\n", (*plain)[0].c_str(), rows.size(),
        (*plain)[2].c_str());
    PostMessageW(showAll, BM_CLICK, 0, 0);
    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(searched.c_str()));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(jobSearchEditId, EN_CHANGE), reinterpret_cast<LPARAM>(search));
    check(
        waitUntil([&] { return std::to_wstring(SendMessageW(log, LVM_GETITEMCOUNT, 0, 0)) == found; }, 15000),
        "a search in every computer's log finds what the server finds");
    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(jobSearchEditId, EN_CHANGE), reinterpret_cast<LPARAM>(search));
}

void everyComputersCounts()
{
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    SourceChoice choice = findSourceChoice(main);
    check(view.complete() && choice.thisComputer && choice.allComputers,
        "the choice of computers stands above the tabs");
    if (!view.complete() || !choice.allComputers) return;
    check(checked(choice.thisComputer) && !checked(choice.allComputers), "this computer at first");
    trayClick(main);
    check(childRect(choice.allComputers).top + childRect(choice.allComputers).bottom
            <= childRect(view.groupingTabs).top,
        "above the tabs, clear of them");
    waitForRows(program, view.statsList, expectedRowsOf(L"expected-this-0.txt"), "this computer by printer");
    checkCells(program, view.statsList, L"expected-this-0.txt", "with its colour pages and sheets");

    SendMessageW(choice.allComputers, BM_CLICK, 0, 0);
    const wchar_t* files[] = {L"expected-all-0.txt", L"expected-all-1.txt", L"expected-all-2.txt"};
    const char* whats[] = {"all computers by printer", "all computers by user", "all computers by computer"};
    for (int tab = 0; tab < 3; ++tab) {
        clickTab(program, view.groupingTabs, tab);
        waitForRows(program, view.statsList, expectedRowsOf(files[tab]), whats[tab]);
        checkCells(program, view.statsList, files[tab], "with their colour pages and sheets");
    }
    windowScreenshot(main, L"all-computers-by-computer");
    clickTab(program, view.groupingTabs, 1);
    waitForRows(program, view.statsList, expectedRowsOf(files[1]), "all computers by user again");
    windowScreenshot(main, L"all-computers-by-user");

    // Copy works on every computer's rows as on this computer's.
    if (OpenClipboard(nullptr)) EmptyClipboard(), CloseClipboard();
    focusByClick(main, view.statsList);
    pressKeys({VK_CONTROL, 'C'});
    check(waitUntil([&] { return !clipboardText().empty(); }, 10000), "Ctrl+C copies every computer's rows");
    std::size_t lines = 0;
    for (wchar_t c : clipboardText()) lines += c == L'\n';
    check(lines == expectedRowsOf(files[1]).size() + 1, "a header and a line per user");
    // The same from a script, on a computer that only views.
    const std::wstring reported = programFolder() + L"\\all users report.csv";
    Program report(programPath, L"/report /by user /all-computers /out \"" + reported + L"\"");
    check(report.ends() && report.exitCode() == 0 && csvAsTable(fileBytes(reported)) == clipboardText(),
        "/report /by user /all-computers holds what the window copies");
    everyComputersLog(program, main, view);

    SendMessageW(choice.thisComputer, BM_CLICK, 0, 0);
    clickTab(program, view.groupingTabs, 0);
    waitForRows(program, view.statsList, expectedRowsOf(L"expected-this-0.txt"), "back to this computer");
    quitFromTheMenu(program, main);
}

void centralOutOfReach()
{
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    SourceChoice choice = findSourceChoice(main);
    check(view.complete() && choice.allComputers != nullptr, "the choice of computers is there");
    if (!view.complete() || !choice.allComputers) return;
    trayClick(main);
    SendMessageW(choice.allComputers, BM_CLICK, 0, 0);
    const std::wstring heading = texts[1440002];
    auto says = [&] {
        std::vector<Row> rows = listRows(program, view.statsList);
        return rows.size() > 1 && rows[0][0] == heading;
    };
    check(waitUntil(says, 15000), "the list says the central database cannot be reached");
    std::wstring shown;
    for (const Row& row : listRows(program, view.statsList)) shown += row[0] + L" ";
    for (const std::wstring& words : expectedLines(L"expected-reason.txt"))
        check(shown.find(words) != std::wstring::npos, "and why, in words");
    for (const std::wstring& secret : expectedLines(L"expected-secret.txt"))
        check(shown.find(secret) == std::wstring::npos, "but not the password");
    windowScreenshot(main, L"all-computers-unreachable");
    check(findWindow(L"#32770", program.id()) == nullptr, "no fatal report");

    SendMessageW(choice.thisComputer, BM_CLICK, 0, 0);
    waitForRows(
        program, view.statsList, expectedRowsOf(L"expected-this-0.txt"), "this computer still counts");

    PostMessageW(main, WM_COMMAND, cmdAbout, 0);
    HWND about = waitForWindow(aboutClass, program);
    check(about != nullptr, "the about window opens");
    if (about != nullptr) {
        std::wstring body;
        for (HWND child : childWindows(about)) body += windowText(child) + L"\n";
        check(body.find(texts[1440004]) != std::wstring::npos
                && body.find(texts[1440007]) != std::wstring::npos,
            "the about window shows the shipping state and its last error");
        windowScreenshot(about, L"about-shipping-state");
        PostMessageW(about, WM_CLOSE, 0, 0);
        waitUntil([&] { return findWindow(aboutClass, program.id()) == nullptr; });
    }
    quitFromTheMenu(program, main);
}

// The time from a click on "All computers" to every computer's rows in the
// list, seven times, on whatever the central database holds; the jobs shown
// must add up to expected-jobs.txt. Printed, not judged.
void allComputersClickTime()
{
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    SourceChoice choice = findSourceChoice(main);
    check(view.complete() && choice.allComputers != nullptr, "the choice of computers is there");
    if (!view.complete() || !choice.allComputers) return;
    const std::vector<std::wstring> expected = expectedLines(L"expected-jobs.txt");
    const long expectedJobs = expected.empty() ? 0 : std::wcstol(expected[0].c_str(), nullptr, 10);
    trayClick(main);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int round = 0; round < 7; ++round) {
        SendMessageW(choice.thisComputer, BM_CLICK, 0, 0);
        SendMessageW(view.statsList, LVM_DELETEALLITEMS, 0, 0);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        SendMessageW(choice.allComputers, BM_CLICK, 0, 0);
        // A look every millisecond at the status bar, which the click
        // empties and the figures fill, and the list's rows read only then:
        // the time is the program's, neither the pause between two looks
        // (waitUntil's grow to 64 ms) nor the program answering them.
        const DWORD began = GetTickCount();
        while (GetTickCount() - began < deadline) {
            if (LOWORD(SendMessageW(view.statusBar, SB_GETTEXTLENGTHW, 0, 0)) > 0) {
                std::vector<Row> rows = listRows(program, view.statsList);
                if (!rows.empty() && rows[0][0] != texts[1440003]) break;
            }
            Sleep(1);
        }
        QueryPerformanceCounter(&end);
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart)
            / static_cast<double>(frequency.QuadPart));
        long jobs = 0;
        for (const Row& row : listRows(program, view.statsList))
            jobs += std::wcstol(row[2].c_str(), nullptr, 10);
        check(jobs == expectedJobs, "the list counts every job of every computer");
    }
    std::printf("     all computers click:");
    for (double ms : times) std::printf(" %.1f", ms);
    std::sort(times.begin(), times.end());
    std::printf(" ms (median %.1f ms)\n", times[times.size() / 2]);
    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"all-computers", everyComputersCounts)
    && addScenario(L"central-unreachable", centralOutOfReach)
    && addScenario(L"all-computers-time", allComputersClickTime);

} // namespace
