// The program under load and under another program's lock: bursts of
// finished jobs, a database browser holding a write transaction, a quit
// while it does, the pending file that quit leaves, and a saved date named
// by another program beyond what the name field allows.
#include "driver/driver_win32.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

int threadCount(const Program& program)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == program.id()) ++count;
    CloseHandle(snapshot);
    return count;
}

long rowCount()
{
    std::vector<std::wstring> rows = databaseRows(L"select count(*) from tbTrabajos;");
    return rows.empty() ? -1 : std::wcstol(rows[0].c_str(), nullptr, 10);
}

// A folder without a database or anything a quit left behind.
void startAfresh()
{
    for (const std::wstring& name : folderNames(programFolder()))
        if (name.starts_with(L"pgwarden") || name.starts_with(L"go"))
            DeleteFileW((programFolder() + L"\\" + name).c_str());
}

// Lines of printing jobs first..last on printer P, each of one page.
std::string printingJobs(int first, int last)
{
    std::string lines;
    for (int id = first; id <= last; ++id)
        lines += "job " + std::to_string(id) + " status=0x10 printed=1 user=\"u" + std::to_string(id % 17)
            + "\" machine=\"\\\\\\\\PC" + std::to_string(id % 5) + "\"\n";
    return lines;
}

// A tray click, answered when the main window has handled it.
double timedClick(HWND main)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(main, trayCallbackMsg, 0, WM_LBUTTONDOWN, SMTO_NORMAL, 10000, &result);
    QueryPerformanceCounter(&end);
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart)
        / static_cast<double>(frequency.QuadPart);
}

// Waits for the rows while sampling the program's threads; the most seen.
int waitForRows(const Program& program, long rows, double& seconds)
{
    int most = 0;
    const ULONGLONG start = GetTickCount64();
    waitUntil(
        [&] {
            most = std::max(most, threadCount(program));
            return rowCount() >= rows;
        },
        120000);
    seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    return most;
}

// 3,000 jobs finish in one pass, then 500 more while another program holds
// the file for 20 s and the user clicks the tray icon every second.
void burstsAndAForeignLock()
{
    startAfresh();
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"P\"\npass after=\"go-burst\"\nprinter \"P\"\n" + printingJobs(1, 3000)
            + "pass\nprinter \"P\"\npass after=\"go-locked\"\nprinter \"P\"\n" + printingJobs(3001, 3500)
            + "pass\nprinter \"P\"\n");
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr && waitForTrayIcon(main), "the program is up with its icon");
    Sleep(1000);
    const int idle = threadCount(program);
    std::printf("     %d threads idle\n", idle);

    writeFile(L"go-burst", "");
    double seconds = 0;
    int most = waitForRows(program, 3000, seconds);
    check(rowCount() == 3000, "the 3,000 jobs of one pass are all written");
    check(most <= idle + 10, "a burst of 3,000 jobs adds at most 10 threads");
    std::printf(
        "     3000 rows in %.1f s (%.0f rows/s), %d threads at most\n", seconds, 3000 / seconds, most);

    {
        ForeignLock lock;
        writeFile(L"go-locked", "");
        double slowest = 0;
        most = 0;
        for (int second = 0; second < 20; ++second) {
            slowest = std::max(slowest, timedClick(main));
            most = std::max(most, threadCount(program));
            Sleep(1000);
        }
        check(slowest < 2000, "every click is answered within 2 s while another program holds the file");
        check(most <= idle + 10, "the jobs waiting for the file add at most 10 threads");
        check(rowCount() == 3000, "nothing is written while the file is held");
        std::printf("     under the lock: slowest click %.0f ms, %d threads at most\n", slowest, most);
    }
    waitForRows(program, 3500, seconds);
    check(rowCount() == 3500, "the 500 jobs are written once the lock is gone");
    std::printf("     the 500 rows came %.1f s after the lock went\n", seconds);
    quitFromTheMenu(program, main);
    check(rowCount() == 3500, "each job is one row");
}

// A quit while another program holds the file: the program ends at once and
// keeps the jobs in the pending file, which the next start writes once.
void quitWhileAnotherProgramHoldsTheFile()
{
    startAfresh();
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"P\"\npass after=\"go\"\nprinter \"P\"\n" + printingJobs(1, 200)
            + "pass\nprinter \"P\"\n");
    {
        Program program;
        HWND main = waitForMainWindow(program);
        check(main != nullptr && waitForTrayIcon(main), "the program is up with its icon");
        ForeignLock lock;
        writeFile(L"go", "");
        Sleep(2000); // the 200 jobs have finished and wait for the file
        const ULONGLONG start = GetTickCount64();
        PostMessageW(main, WM_COMMAND, cmdQuit, 0);
        check(program.ends(8000), "the quit ends the program within 8 s");
        check(program.exitCode() == 0, "with exit code 0");
        std::printf("     the quit took %.1f s\n", static_cast<double>(GetTickCount64() - start) / 1000.0);
        check(!pendingFiles().empty(), "the waiting jobs are kept in a pending file");
    }
    check(rowCount() == 0, "nothing was written under the lock");
    writeFile(L"spooler-scenario.txt", "pass\nprinter \"P\"\n");
    for (int start = 0; start < 2; ++start) {
        Program program;
        HWND main = waitForMainWindow(program);
        check(waitUntil([] { return rowCount() == 200 && pendingFiles().empty(); }),
            "the next start writes the 200 jobs and removes the file");
        Sleep(500);
        quitFromTheMenu(program, main);
        check(rowCount() == 200, "exactly once");
    }
}

// A pending file cut in its second batch: set aside whole, and said so.
void damagedPendingFile()
{
    startAfresh();
    const std::string row = "2026-01-01T00:00:00.000\tana\t\\\\PC\tP\t1\n";
    writeFile(L"pgwarden-pending.txt",
        "Pagewarden jobs waiting to be written, format 1\n"
        "batch 0123456789abcdef0123456789abcdef 1\n"
            + row + "end 0123456789abcdef0123456789abcdef 00000000\n"
            + "batch fedcba9876543210fedcba9876543210 2\n" + row);
    writeFile(L"spooler-scenario.txt", "pass\nprinter \"P\"\n");
    Program program;
    HWND box = waitForMessageBox(program);
    check(box != nullptr, "a box tells of the damaged file");
    std::vector<std::wstring> setAside;
    for (const std::wstring& name : folderNames(programFolder()))
        if (name.starts_with(L"pgwarden-pending-damaged-")) setAside.push_back(name);
    check(setAside.size() == 1 && pendingFiles().empty(), "the file is set aside under a new name");
    if (box != nullptr) {
        std::vector<std::wstring> lines = messageLines(messageBoxText(box));
        check(!lines.empty() && lines[0] == texts[1420000], "the box says what happened (text 1420000)");
        check(!setAside.empty() && lines.back() == setAside[0], "and names the file as it is now");
        dismissMessageBox(box);
    }
    HWND main = waitForMainWindow(program);
    Sleep(1000);
    check(rowCount() == 0, "none of its jobs is written, not even the whole first batch");
    quitFromTheMenu(program, main);
}

// Every printer's pages and jobs since 1800, as the plain query over the jobs
// gives them: what the kept totals must agree with.
std::vector<Row> plainTotalsByPrinter()
{
    std::vector<Row> rows;
    for (const std::wstring& line :
        databaseRows(L"select trimpresora, sum(trnumpags), count(trnumpags) from "
                     L"tbTrabajos where julianday(trfecha) >= julianday('1800-01-01') "
                     L"group by trimpresora;")) {
        std::size_t first = line.find(L'|'), second = line.find(L'|', first + 1);
        rows.push_back(
            {line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
    }
    return rows;
}

// A file of an earlier version with 600,000 jobs, no index and no kept
// totals (the script puts it beside the program): the icon comes at once,
// the window answers throughout and tells how far the preparation got, a
// quit during it ends at once and loses nothing; the next start prepares
// the file whole, and its totals are those of the jobs.
void anOldLargeFile()
{
    const long before = rowCount();
    check(before == 600000, "the earlier version's file holds 600,000 jobs");
    writeFile(
        L"spooler-scenario.txt", "pass\nprinter \"P\"\n" + printingJobs(1, 3) + "pass\nprinter \"P\"\n");
    {
        const ULONGLONG start = GetTickCount64();
        Program program;
        HWND main = waitForMainWindow(program);
        check(main != nullptr && waitForTrayIcon(main), "the program is up with its icon");
        const double icon = static_cast<double>(GetTickCount64() - start) / 1000.0;
        check(icon <= 10.0, "the tray icon comes before the preparation ends, within 10 s");
        StatisticsControls view = findStatisticsControls(main);
        double slowest = 0;
        bool progressShown = false;
        // A few clicks once the progress shows, so the quit comes while the
        // preparation still runs.
        for (int click = 0, afterProgress = 0; click < 12 && afterProgress < 4; ++click) {
            slowest = std::max(slowest, timedClick(main));
            const std::wstring status = windowText(view.statusBar);
            progressShown |= (status.starts_with(texts[1420002]) || status.starts_with(texts[1420003]))
                && status.ends_with(L" %");
            afterProgress += progressShown;
            Sleep(250);
        }
        check(slowest < 2000, "every click is answered within 2 s while the file is prepared");
        check(progressShown, "the status bar says how far the preparation got, with a percentage");
        std::printf("     icon after %.1f s, slowest click %.0f ms\n", icon, slowest);
        const ULONGLONG quit = GetTickCount64();
        PostMessageW(main, WM_COMMAND, cmdQuit, 0);
        check(program.ends(5000), "a quit during the preparation ends within 5 s");
        check(program.exitCode() == 0, "with exit code 0");
        std::printf("     the quit took %.1f s\n", static_cast<double>(GetTickCount64() - quit) / 1000.0);
    }
    check(rowCount() + (!pendingFiles().empty() ? 3 : 0) == before + 3,
        "nothing is lost: the jobs counted meanwhile are written or kept");

    writeFile(L"spooler-scenario.txt", "pass\nprinter \"P\"\n");
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    const ULONGLONG start = GetTickCount64();
    check(waitUntil(
              [&] {
                  trayClick(main);
                  PostMessageW(main, WM_CLOSE, 0, 0);
                  return SendMessageW(view.statsList, LVM_GETITEMCOUNT, 0, 0) > 0;
              },
              180000),
        "the next start prepares the file and the list fills");
    std::printf("     prepared in %.0f s\n", static_cast<double>(GetTickCount64() - start) / 1000.0);
    check(rowCount() == before + 3, "with the jobs of the quit written once");
    check(sameRows(listRows(program, view.statsList), plainTotalsByPrinter()),
        "the totals equal the plain query over the jobs");
    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"load-bursts-and-lock", burstsAndAForeignLock)
    && addScenario(L"load-old-file", anOldLargeFile)
    && addScenario(L"load-quit-under-lock", quitWhileAnotherProgramHoldsTheFile)
    && addScenario(L"load-damaged-pending", damagedPendingFile);

} // namespace
