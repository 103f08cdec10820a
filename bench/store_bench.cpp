// Job store timings on files of 100,000, 1,000,000 and 10,000,000 jobs spread
// over ten years (50 users, 20 machines, 5 printers): recording a job, the
// statistics for the four fixed periods, the pages per month, the check of
// the kept totals against the jobs, one opening, and the first statistics on
// a file that lacks what the store keeps beside the jobs.
// At 100,000 jobs each figure stands beside that of a store with a
// connection per call and a full scan, measured on a file of its own shape
// in the same run; the statistics by printer for everything, which a tray
// click shows, also at 1,000,000.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "store/job_store.h"
#include "support/bench_files.h"
#include "support/full_scan_store.h"
#include "support/results.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Operation> double medianMs(int runs, Operation&& operation)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        operation();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

JobRecord sampleJob()
{
    JobRecord job;
    job.userName = u"user7";
    job.machineName = u"PC3";
    job.printerName = u"printer1";
    job.pagesPrinted = 2;
    DateTime now = todayLocal();
    job.submitted = {now.year, now.month, 0, now.day, 8, 0, 0, 0};
    return job;
}

bool keepTime(const DateTime& utc, DateTime& local)
{
    local = utc;
    return true;
}

struct Period {
    const char* name;
    DateTime since;
};

std::vector<Period> periods()
{
    const DateTime now = todayLocal();
    return {{"everything", {1800, 1, 0, 1}}, {"this year", {now.year, 1, 0, 1}},
        {"this month", {now.year, now.month, 0, 1}}, {"today", now}};
}

void ourStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column)
{
    queryStatistics(folder, since, column, [](const StatisticsRow&) {});
}

struct Operation {
    std::string name;
    int runs;
    std::function<void()> ours;
    std::function<void()> fullScan; // empty where the full-scan store is not measured
};

std::vector<Operation> operations(
    const std::u16string& folder, const std::u16string& fullScanFolder, long rows)
{
    const int scale = rows >= 10000000 ? 4 : rows >= 1000000 ? 2 : 1;
    std::vector<Operation> list;
    auto fullScanOnly = [&](std::function<void()> run) { return fullScanFolder.empty() ? nullptr : run; };
    list.push_back(
        {"record a job", 21 / scale, [folder] { recordJob(folder, sampleJob(), keepTime, todayLocal()); },
            fullScanOnly([fullScanFolder] { fullScan::recordJob(fullScanFolder, sampleJob()); })});
    for (const Period& period : periods()) {
        DateTime since = period.since;
        list.push_back({std::string("statistics ") + period.name + ", by user", 11 / scale,
            [folder, since] { ourStatistics(folder, since, GroupingColumn::user); },
            fullScanOnly(
                [fullScanFolder, since] { fullScan::queryStatistics(fullScanFolder, since, "trusuario"); })});
    }
    // The month chart on everything, and the check a worker makes once per
    // start: a full pass over the jobs, with nothing to count anew.
    list.push_back({"pages per month, everything (the chart)", 11 / scale,
        [folder] {
            queryMonthlyStatistics(folder, {1800, 1, 0, 1});
        },
        nullptr});
    list.push_back(
        {"check of the totals against the jobs", 3, [folder] { checkMonthTotals(folder); }, nullptr});
    list.push_back({"open and close", 21, [folder] { closeJobDatabase(openJobDatabase(folder)); },
        fullScanOnly(
            [fullScanFolder] { fullScan::closeJobDatabase(fullScan::openJobDatabase(fullScanFolder)); })});
    return list;
}

// Every kept object of the store's but the two tables and their indexes:
// the file as an older program leaves it.
void dropKeptTotals(const std::filesystem::path& file)
{
    sqlite3* db = nullptr;
    sqlite3_open16(file.u16string().c_str(), &db);
    std::vector<std::string> drops;
    sqlite3_stmt* list = nullptr;
    sqlite3_prepare_v2(db,
        "select type, name from sqlite_master where type = 'trigger' or type = 'view' or (type = 'table' and "
        "name not in ('tbTrabajos', 'tbFechas', 'sqlite_sequence'));",
        -1, &list, nullptr);
    while (sqlite3_step(list) == SQLITE_ROW)
        drops.push_back(std::string("drop ") + reinterpret_cast<const char*>(sqlite3_column_text(list, 0))
            + " " + reinterpret_cast<const char*>(sqlite3_column_text(list, 1)) + ";");
    sqlite3_finalize(list);
    for (const std::string& drop : drops) sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void measureFirstStatistics(long rows)
{
    const std::filesystem::path source = jobFileFolder(FileShape::store, rows) / "pgwarden.db";
    const std::filesystem::path scratch = scratchFolder("first-statistics");
    std::filesystem::copy_file(source, scratch / "pgwarden.db");
    dropKeptTotals(scratch / "pgwarden.db");
    const std::u16string folder = scratch.u16string();
    double first = medianMs(1, [&] { ourStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::printer); });
    double next = medianMs(5, [&] { ourStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::printer); });
    std::printf("  %-40s %12s\n", "first statistics on a file without totals", milliseconds(first).c_str());
    std::printf("  %-40s %12s\n", "the same statistics afterwards", milliseconds(next).c_str());
    addResult(
        "first statistics of a file without kept totals", std::to_string(rows), milliseconds(first), "-");
    std::filesystem::remove_all(scratch);
}

} // namespace

int main()
{
    std::printf("job store, medians in ms; a connection per call and a full scan beside it at 100000 rows\n");
    for (long rows : {100000L, 1000000L, 10000000L}) {
        const std::u16string folder = jobFileFolder(FileShape::store, rows).u16string();
        const std::u16string fullScanFolder
            = rows == 100000 ? jobFileFolder(FileShape::tableOnly, rows).u16string() : std::u16string();
        std::printf("\n%ld rows\n", rows);
        if (!fullScanFolder.empty()) std::printf("  %-40s %12s %14s\n", "", "ours", "full scan");
        for (const Operation& operation : operations(folder, fullScanFolder, rows)) {
            double ours = medianMs(std::max(operation.runs, 3), operation.ours);
            std::string baseline = "-";
            if (operation.fullScan) baseline = milliseconds(medianMs(3, operation.fullScan));
            std::printf(
                "  %-40s %12s %14s\n", operation.name.c_str(), milliseconds(ours).c_str(), baseline.c_str());
            addResult(operation.name, std::to_string(rows), milliseconds(ours), baseline);
        }
        if (rows == 1000000) measureFirstStatistics(rows);
    }
    // What a tray click shows, on the files bench/wine/tray-click clicks on.
    std::printf("\nstatistics everything, by printer (what a tray click shows)\n");
    for (long rows : {1L, 100000L, 1000000L}) {
        const std::u16string folder = jobFileFolder(FileShape::store, rows).u16string();
        const std::u16string fullScanFolder = jobFileFolder(FileShape::tableOnly, rows).u16string();
        double ours = medianMs(11, [&] { ourStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::printer); });
        double baseline = medianMs(3, [&] {
            fullScan::queryStatistics(fullScanFolder, {1800, 1, 0, 1}, "trimpresora");
        });
        std::printf("  %-40s %12s %14s\n", (std::to_string(rows) + " rows").c_str(),
            milliseconds(ours).c_str(), milliseconds(baseline).c_str());
        addResult("statistics everything, by printer", std::to_string(rows), milliseconds(ours),
            milliseconds(baseline));
    }
    return 0;
}
