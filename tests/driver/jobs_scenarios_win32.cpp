// Scenarios of the jobs' details in the window: the details' columns of the
// totals with their money in the locale's currency, and the Jobs tab: its
// rows newest first, a double-click's filter and its removal, a search, and
// its CSV byte for byte. The screenshot of the tab is kept for the
// documentation.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// Four jobs, three of them with details, one with a name a CSV must quote.
const wchar_t* const jobsSql
    = L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) values"
      L" ('2026-01-05T09:00:00.000', 'ana', 'PC-1', 'Office', 12),"
      L" ('2026-01-05T10:00:00.000', 'ben', 'PC-2', 'Colour Lab', 3),"
      L" ('2026-01-06T11:00:00.000', 'ana', 'PC-1', 'Colour Lab', 5),"
      L" ('2026-01-07T08:30:00.000', 'cid, \"the boss\"', 'PC-3', 'Office', 2);"
      L"insert into tbDetalles (dtllapri, dtcolor, dtcaras, dtpapel, dthojas, dtbytes, dtdocumento, dtcoste)"
      L" values (1, 1, 2, 'A4', 6, 1000, 'Q3 report.pdf', 6600), (2, 2, 1, 'A3', 3, 200, 'poster', 12300),"
      L" (3, 2, NULL, NULL, 5, 0, NULL, NULL);";

std::wstring money(const wchar_t* amount)
{
    wchar_t text[64] = {};
    GetCurrencyFormatEx(LOCALE_NAME_USER_DEFAULT, 0, amount, nullptr, text, 64);
    return text;
}

// The log's rows as shown, newest first; `only` keeps the rows of some jobs.
std::vector<Cells> expectedLog(std::initializer_list<int> jobs)
{
    const std::wstring mono = texts[1450023], colour = texts[1450022];
    const std::vector<Cells> all = {
        {L"2026-01-07 08:30:00", L"cid, \"the boss\"", L"PC-3", L"Office", L"", L"2", L"", L"", L"", L"",
            L""},
        {L"2026-01-06 11:00:00", L"ana", L"PC-1", L"Colour Lab", L"", L"5", colour, L"", L"", L"5", L""},
        {L"2026-01-05 10:00:00", L"ben", L"PC-2", L"Colour Lab", L"poster", L"3", colour, texts[1450024],
            L"A3", L"3", money(L"1.23")},
        {L"2026-01-05 09:00:00", L"ana", L"PC-1", L"Office", L"Q3 report.pdf", L"12", mono, texts[1450025],
            L"A4", L"6", money(L"0.66")},
    };
    std::vector<Cells> rows;
    for (int job : jobs) rows.push_back(all[static_cast<std::size_t>(4 - job)]);
    return rows;
}

// The log as the CSV holds it: the times and the money as stored; with
// `fromJanuary6`, only the jobs since 2026-01-06.
std::string expectedCsv(bool fromJanuary6 = false)
{
    std::wstring text;
    for (unsigned long id = 1450011; id <= 1450021; ++id) text += (id == 1450011 ? L"" : L",") + texts[id];
    text += L"\r\n";
    text += L"2026-01-07 08:30:00,\"cid, \"\"the boss\"\"\",PC-3,Office,,2,,,,,\r\n";
    text += L"2026-01-06 11:00:00,ana,PC-1,Colour Lab,,5," + texts[1450022] + L",,,5,\r\n";
    if (fromJanuary6) return "\xEF\xBB\xBF" + utf8Of(text);
    text += L"2026-01-05 10:00:00,ben,PC-2,Colour Lab,poster,3," + texts[1450022] + L"," + texts[1450024]
        + L",A3,3,1.23\r\n";
    text += L"2026-01-05 09:00:00,ana,PC-1,Office,Q3 report.pdf,12," + texts[1450023] + L"," + texts[1450025]
        + L",A4,6,0.66\r\n";
    return "\xEF\xBB\xBF" + utf8Of(text);
}

void totalsShowTheDetails(const Program& program, const StatisticsControls& view)
{
    clickTab(program, view.groupingTabs, 0);
    const std::vector<Cells> expected = {{L"Colour Lab", L"8", L"2", L"8", L"8", money(L"1.23")},
        {L"Office", L"14", L"2", L"0", L"6", money(L"0.66")}};
    check(waitUntil(
              [&] {
                  std::vector<Cells> rows = listCells(program, view.statsList, 6);
                  std::sort(rows.begin(), rows.end());
                  return rows == expected;
              },
              10000),
        "By printer shows colour pages, sheets and the cost in the locale's currency");
    check(SendMessageW(view.statsList, LVM_GETCOLUMNWIDTH, 5, 0) > 0, "the cost's column shows");
}

void theJobsTab()
{
    databaseFromAFirstRun(jobsSql);
    Program program;
    HWND main = waitForMainWindow(program);
    StatisticsControls view = findStatisticsControls(main);
    if (!view.complete()) return;
    trayClick(main);
    totalsShowTheDetails(program, view);

    HWND log = GetDlgItem(main, jobLogListId), showAll = GetDlgItem(main, showAllButtonId),
         search = GetDlgItem(main, jobSearchEditId);
    check(log && showAll && search, "the Jobs tab has its list, its button and its search box");
    if (!log || !showAll || !search) return;
    // Office is the second row in the query's order, whatever the order shown.
    const std::vector<Cells> groups = listCells(program, view.statsList, 1);
    const int office = groups.size() > 1 && groups[1][0] == L"Office" ? 1 : 0;
    doubleClickRow(program, view.statsList, office);
    check(waitUntil(
              [&] {
                  return listCells(program, log, 11) == expectedLog({4, 1});
              },
              10000),
        "a double-click on a printer opens the Jobs tab with that printer's jobs, newest first");
    check(IsWindowVisible(showAll) != FALSE, "the filter can be removed");
    windowScreenshot(main, L"jobs-1-office");

    PostMessageW(showAll, BM_CLICK, 0, 0);
    check(waitUntil(
              [&] {
                  return listCells(program, log, 11) == expectedLog({4, 3, 2, 1});
              },
              10000),
        "Show all lists every job again");
    check(!IsWindowVisible(showAll), "without a filter the button goes");
    windowScreenshot(main, L"jobs-2-all");

    const std::wstring saved = programFolder() + L"\\jobs log.csv";
    saveLogAsCsv(program, log, saved);
    check(waitUntil([&] { return fileBytes(saved) == expectedCsv(); }, 10000),
        "the log's CSV holds every job, newest first, byte for byte");
    // A script's report of the log beside the window: the same bytes; and
    // for a start, the jobs since then.
    for (const bool since : {false, true}) {
        const std::wstring out = programFolder() + L"\\jobs report.csv";
        Program report(programPath,
            std::wstring(L"/report /by job") + (since ? L" /since 2026-01-06" : L"") + L" /out \"" + out
                + L"\"");
        check(report.ends() && report.exitCode() == 0 && fileBytes(out) == expectedCsv(since),
            since ? "/report /by job /since 2026-01-06 writes that day's jobs and the next"
                  : "/report /by job writes the log's CSV byte for byte");
    }

    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"lab"));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(jobSearchEditId, EN_CHANGE), reinterpret_cast<LPARAM>(search));
    check(waitUntil(
              [&] {
                  return listCells(program, log, 11) == expectedLog({3, 2});
              },
              10000),
        "a search for \"lab\" lists the Colour Lab's jobs");
    windowScreenshot(main, L"jobs-3-search");
    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"jobs-log", theJobsTab);

} // namespace
