// The jobs' details and the job log on files of 100,000, 1,000,000 and
// 10,000,000 jobs with details: recording a job with its details, the Jobs
// tab's first screen and its end, the log of one user, a search that finds
// nothing (its first progress and its whole pass), and the statistics of
// everything with the details' columns, which must not grow with the file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "store/job_log.h"
#include "store/job_store.h"
#include "support/bench_files.h"
#include "support/results.h"

namespace {

using Clock = std::chrono::steady_clock;

double medianMs(int runs, const std::function<void()>& operation)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        operation();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool keepTime(const DateTime& utc, DateTime& local)
{
    local = utc;
    return true;
}

JobRecord colourJob()
{
    JobRecord job;
    job.userName = u"user7";
    job.machineName = u"PC3";
    job.printerName = u"printer1";
    job.pagesPrinted = 4;
    job.hasDevMode = true;
    job.dmFields = deviceModeColor | deviceModeDuplex | deviceModePaperSize;
    job.details = {2, 2, 9, u""};
    job.size = 123456;
    const DateTime now = todayLocal();
    job.submitted = {now.year, now.month, 0, now.day, 8, 0, 0, 0};
    return job;
}

// The Jobs tab's reads as the window makes them: a connection, the count,
// a screen of rows.
void screen(const std::u16string& folder, const LogFilter& filter, bool fromEnd)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    countLogEntries(db.get(), filter);
    if (fromEnd)
        readLogPageAt(db.get(), filter, {}, 0, 64, true);
    else
        readLogPage(db.get(), filter, {}, nullptr, 64);
    closeJobDatabase(std::move(db));
}

void report(const char* name, long rows, double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ms);
    std::printf("  %-44s %10s ms\n", name, text);
    addResult(name, std::to_string(rows), text, "-");
}

void searchNothing(const std::u16string& folder, long rows)
{
    const LogFilter search{{1800, 1, 0, 1}, std::nullopt, u"", u"no such name"};
    double firstProgress = -1;
    const auto start = Clock::now();
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    forEachLogEntry(
        db.get(), search, {}, [](const LogEntry&) { return true; }, nullptr,
        [&](int) {
            if (firstProgress < 0)
                firstProgress = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        });
    closeJobDatabase(std::move(db));
    report("search finding nothing, first progress", rows, firstProgress);
    report("search finding nothing, whole pass", rows,
        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
}

} // namespace

int main()
{
    std::printf("jobs' details and the job log, medians in ms\n");
    for (long rows : {100000L, 1000000L, 10000000L}) {
        const std::u16string folder = jobFileFolder(FileShape::store, rows).u16string();
        std::printf("\n%ld rows\n", rows);
        const int runs = rows >= 10000000 ? 5 : 11;
        RecordSettings prices;
        prices.prices.colour = 4000;
        report("record a job with its details", rows,
            medianMs(runs, [&] { recordJob(folder, colourJob(), keepTime, todayLocal(), prices); }));
        const LogFilter everything{{1800, 1, 0, 1}, std::nullopt, u"", u""};
        report("Jobs tab, first screen", rows, medianMs(runs, [&] { screen(folder, everything, false); }));
        report("Jobs tab, jump to the end", rows, medianMs(runs, [&] { screen(folder, everything, true); }));
        const LogFilter oneUser{{1800, 1, 0, 1}, GroupingColumn::user, u"user7", u""};
        report("Jobs tab of one user, first screen", rows,
            medianMs(runs, [&] { screen(folder, oneUser, false); }));
        report("statistics everything with details, by user", rows, medianMs(runs, [&] {
            quickStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::user, [](const StatisticsRow&) {});
        }));
        searchNothing(folder, rows);
    }
    return 0;
}
