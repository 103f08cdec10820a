// Two commands for `make run` on a machine without a display, where nobody
// can click the tray icon: the program that counts the live scenario shows
// its window from the tray (today's pages by printer), and quits from its
// menu once the screenshot is taken.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

constexpr int today = 1; // the period list's second entry

void showCounts()
{
    HWND main = findWindow(mainWindowClass, 0);
    check(main != nullptr, "the program runs");
    if (main == nullptr) return;
    Program program(main);
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "its window has its controls");
    if (!view.complete()) return;
    trayClick(main);
    clickTab(program, view.groupingTabs, 0);
    SendMessageW(view.periodCombo, CB_SETCURSEL, today, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(view.periodCombo));
    check(waitUntil([&] {
        return IsWindowVisible(main) && SendMessageW(view.statsList, LVM_GETITEMCOUNT, 0, 0) > 0;
    }),
        "a tray click shows the window with today's pages by printer");
    for (const Row& row : shownListRows(program, view.statsList))
        std::printf("     %ls: %ls pages, %ls jobs\n", row[0].c_str(), row[1].c_str(), row[2].c_str());
}

void quitProgram()
{
    HWND main = findWindow(mainWindowClass, 0);
    check(main != nullptr, "the program runs");
    if (main == nullptr) return;
    Program program(main);
    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"show-counts", showCounts) && addScenario(L"quit-program", quitProgram);

} // namespace
