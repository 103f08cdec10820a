// Scenarios of "pagewarden.exe /report" beside a tray program that counts:
// for each grouping and for a period, a day and a saved name, the report's
// CSV holds the table the window copies for the same choice; a word it does
// not understand, an unknown saved name, a missing database and a file held
// by another program each end it with code 1 and one line in words; and the
// tray program goes on counting while pgwarden.db stays as it was.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// Jobs over three years up to today, names with commas and quotes, and a
// saved date; written with SQLite's clock, in the program's local time.
const wchar_t* const reportRowsSql
    = L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) values"
      L" ('2024-03-05T09:00:00.000', 'O''Brien, Ann', 'PC-1', 'Laser, 2nd floor', 12),"
      L" ('2025-06-15T10:00:00.000', 'Say \"hi\"', 'PC-2', 'Laser, 2nd floor', 3),"
      L" ('2025-07-01T11:00:00.000', 'ann', 'PC-1', 'Ink', 5),"
      L" (strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime', 'start of month', '+1 minute'), 'bea', 'PC-2', "
      L"'Ink', 7),"
      L" (strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime', 'start of day', '+2 minutes'), 'bea', 'PC-3', "
      L"'Laser, 2nd floor', 2),"
      L" (strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime', 'start of day', '+3 minutes'), 'cy', 'PC-3', "
      L"NULL, 4);"
      L"insert into tbFechas (fefecha, fememo) values ('2025-06-15T00:00:00.000', 'Mid 2025');";

struct ReportRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output, error;
};

// The program with "/report" and the arguments, its output and error output
// redirected to files, as a script's "> x.csv 2> error.txt" does.
ReportRun runReport(const std::wstring& program, const std::wstring& arguments)
{
    const std::wstring folder = programFolder();
    const std::wstring out = folder + L"\\report-out.txt", err = folder + L"\\report-error.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outFile
        = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE errFile
        = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring commandLine = L"\"" + program + L"\" /report " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    ReportRun run;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
            &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outFile);
    CloseHandle(errFile);
    run.output = fileBytes(out);
    run.error = fileBytes(err);
    return run;
}

// The words the program says, %1 filled in, as one line of UTF-8.
std::string saidLine(unsigned long id, const std::wstring& value)
{
    std::wstring text = texts[id];
    const std::size_t at = text.find(L"%1");
    if (at != std::wstring::npos) text.replace(at, 2, value);
    return utf8Of(text) + "\r\n";
}

// What the window puts on the clipboard for the figures it shows now.
std::wstring copiedTable(HWND main, HWND figures)
{
    emptyClipboard();
    // The report's own process may take the foreground a moment after it
    // ended: the window is brought back first.
    const bool focused = focusByClick(main, figures);
    check(focused, "the figures have the focus");
    pressKeys({VK_CONTROL, 'C'});
    waitUntil([&] { return !clipboardText().empty(); }, 10000);
    return clipboardText();
}

void checkErrors(const std::wstring& program)
{
    struct Refusal {
        const wchar_t* arguments;
        unsigned long text;
        std::wstring value;
    };
    const Refusal refusals[] = {
        {L"/by printers", 1470000, L"/by printers"},
        {L"/period today /frobnicate", 1470000, L"/frobnicate"},
        {L"/saved \"No such name\"", 1470001, L"No such name"},
        {L"/by month /all-computers", 1470006, L""},
    };
    for (const Refusal& refusal : refusals) {
        const ReportRun run = runReport(program, refusal.arguments);
        std::printf(
            "     /report %ls: code %lu, said %s", refusal.arguments, run.exitCode, run.error.c_str());
        check(run.exitCode == 1 && run.output.empty(),
            "a report it cannot write ends with code 1 and no figures");
        check(
            run.error == saidLine(refusal.text, refusal.value), "and one line in words on the error output");
    }
    // A report that cannot be made leaves a file it was to replace as it was.
    const std::wstring kept = programFolder() + L"\\kept.csv";
    writeFile(L"kept.csv", "an earlier report\r\n");
    const ReportRun refused = runReport(program, L"/saved \"No such name\" /out \"" + kept + L"\"");
    check(refused.exitCode == 1 && fileBytes(kept) == "an earlier report\r\n"
            && GetFileAttributesW((kept + L".new").c_str()) == INVALID_FILE_ATTRIBUTES,
        "a refused report leaves the /out file it names as it was, and nothing beside it");
}

void reportsBesideTheTrayProgram()
{
    // A job that prints once go.txt exists: the program counts it after the reports.
    DeleteFileW((programFolder() + L"\\go.txt").c_str());
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\npass after=\"go.txt\"\nprinter \"Office\"\n"
        "job 1 status=0x10 printed=2 user=\"dan\" machine=\"PC\"\npass\nprinter \"Office\"\n");
    databaseFromAFirstRun(reportRowsSql);
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    if (!view.complete()) return;
    const std::string before = fileBytes(programFolder() + L"\\pgwarden.db");
    trayClick(main);

    struct Choice {
        int tab, period; // the combo's entry, or -1: the day picked below
        const wchar_t* arguments;
    };
    const Choice choices[] = {
        {0, 0, L"/by printer"},
        {1, 0, L"/by user /period everything"},
        {2, 0, L"/by computer"},
        {3, 0, L"/by month"},
        {1, 2, L"/by user /period month"},
        {2, 1, L"/by computer /period today"},
        {0, 4, L"/by printer /saved \"Mid 2025\""},
        {1, -1, L"/by user /since 2025-07-01"},
    };
    for (const Choice& choice : choices) {
        if (choice.period >= 0) choosePeriod(main, view, choice.period);
        if (choice.period < 0) pickDate(program, view, dayAt(2025, 7, 1));
        clickTab(program, view.groupingTabs, choice.tab);
        HWND figures = choice.tab == 3 ? view.monthChart : view.statsList;
        waitUntil([&] { return IsWindowVisible(figures) != FALSE; }, 10000);
        Sleep(200);
        const std::wstring copied = copiedTable(main, figures);
        const ReportRun run = runReport(programPath, choice.arguments);
        check(run.exitCode == 0 && run.error.empty(), "the report is written and says nothing else");
        const bool same = csvAsTable(run.output) == copied && !copied.empty();
        std::printf("     /report %ls: %zu bytes, %s\n", choice.arguments, run.output.size(),
            same ? "the window's table" : "NOT the window's table");
        if (!same) std::printf("%ls---\n%ls", copied.c_str(), csvAsTable(run.output).c_str());
        check(same, "the report holds what the window copies for the same choice");
    }
    checkErrors(programPath);
    {
        ForeignLock held(ForeignLock::exclusive);
        const DWORD start = GetTickCount();
        const ReportRun run = runReport(programPath, L"/by user");
        const DWORD took = GetTickCount() - start;
        std::printf(
            "     with the file held by another program: code %lu after %lu ms\n", run.exitCode, took);
        check(run.exitCode == 1 && run.error == saidLine(1470003, L""), "a held file is said in words");
        check(took < 10000, "after a few seconds at most");
    }
    check(fileBytes(programFolder() + L"\\pgwarden.db") == before,
        "the reports changed nothing in pgwarden.db");
    writeFile(L"go.txt", "");
    check(waitUntil([] {
        return databaseRows(L"select count(*) from tbTrabajos") == std::vector<std::wstring>{L"7"};
    }),
        "the tray program went on counting");
    quitFromTheMenu(program, main);
}

void reportWithoutADatabase()
{
    const std::wstring program = privateProgramCopy(L"report-nothing");
    const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
    const ReportRun run = runReport(program, L"/by user");
    check(run.exitCode == 1 && run.error == saidLine(1470002, folder + L"\\pgwarden.db"),
        "without pgwarden.db: code 1 and the path in words");
    check(GetFileAttributesW((folder + L"\\pgwarden.db").c_str()) == INVALID_FILE_ATTRIBUTES,
        "and no file is made");
    std::printf("     %s", run.error.c_str());
}

const bool registered = addScenario(L"report-command", reportsBesideTheTrayProgram)
    && addScenario(L"report-no-database", reportWithoutADatabase);

} // namespace
