// Scenarios of the fatal report while the program lives: the report can
// always be read and dismissed, ends the program with code 1, and nothing the
// program is asked meanwhile ends it first or hangs it.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// One job that prints, then leaves its queue once go.txt exists.
void writeJobThatLeavesOnRequest()
{
    DeleteFileW((programFolder() + L"\\go.txt").c_str());
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=2 user=\"ana\" machine=\"PC\"\n"
        "pass after=\"go.txt\"\nprinter \"Office\"\n");
}

void damageTheDatabase()
{
    writeFile(L"pgwarden.db", std::string(8192, 'x'));
}

void checkReportAndDismiss(const Program& program, HWND box)
{
    const std::wstring message = messageBoxText(box);
    const std::vector<std::wstring> lines = messageLines(message);
    check(lines.size() == 5 && lines[3] == L"misqlite", "the report names the job store");
    // SQLite's own words, so a user knows the file is the trouble.
    check(lines.size() == 5 && lines[4] == L"file is not a database",
        "and says what is wrong in SQLite's words");
    check(windowText(box) == texts[23], "captioned with text 23");
    dismissMessageBox(box);
    check(program.ends(5000), "dismissing it ends the program within seconds");
    check(program.exitCode() == 1, "with exit code 1");
}

// The first statistics query fails while the interface holds the database
// lock. A job finishing and a tray quit meanwhile must neither end the
// program with the report unread nor keep the report from answering.
void aDamagedDatabase()
{
    writeJobThatLeavesOnRequest();
    damageTheDatabase();
    Program program;
    HWND box = waitForMessageBox(program);
    check(box != nullptr, "a damaged database ends in the fatal report");
    if (box == nullptr) return;
    HWND main = findWindow(mainWindowClass, program.id());
    writeFile(L"go.txt", "");
    if (main != nullptr) {
        PostMessageW(main, trayCallbackMsg, 0, WM_RBUTTONDOWN);
        PostMessageW(main, WM_COMMAND, cmdQuit, 0);
    }
    // Two ticks of the tray timer, a job finished and a quit asked for.
    Sleep(3500);
    check(program.running() && IsWindowVisible(box), "the report stays until it is read");
    checkReportAndDismiss(program, box);
}

// A recorder thread fails while the interface is idle: tray clicks, menu
// commands and quits are ignored until the report is read.
void aFailingRecorder()
{
    writeJobThatLeavesOnRequest();
    DeleteFileW((programFolder() + L"\\pgwarden.db").c_str());
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the program starts on a sound database");
    if (main == nullptr) return;
    // The file is made on a worker; damaged before it is whole, SQLite would
    // write its pages over the damage.
    HWND statusBar = findStatisticsControls(main).statusBar;
    check(waitUntil(
              [&] {
                  const std::wstring status = windowText(statusBar);
                  return !status.empty() && !status.starts_with(texts[1420002])
                      && !status.starts_with(texts[1420003]);
              },
              deadline),
        "the file is prepared: the status bar gives the totals");
    damageTheDatabase();
    writeFile(L"go.txt", "");
    HWND box = waitForMessageBox(program);
    check(box != nullptr, "the job's recorder ends in the fatal report");
    if (box == nullptr) return;
    trayClick(main);
    check(!IsWindowVisible(main), "a tray click no longer opens the window");
    PostMessageW(main, WM_COMMAND, cmdQuit, 0);
    PostMessageW(main, trayCallbackMsg, 0, WM_RBUTTONDOWN);
    Sleep(2000);
    check(findWindow(L"#32768", program.id(), true) == nullptr, "nor a right click the tray menu");
    check(program.running() && IsWindowVisible(box), "a quit waits for the report");
    checkReportAndDismiss(program, box);
}

const bool registered = addScenario(L"report-damaged-database", aDamagedDatabase)
    && addScenario(L"report-from-a-recorder", aFailingRecorder);

} // namespace
