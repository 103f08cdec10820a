// Job store timings on files of 10,000, 100,000 and 1,000,000 jobs spread over
// ten years and 50 users: recording a job, the statistics for the four fixed
// periods, and one opening; then the same operations priced as a design that
// pauses 90 ms after every call it makes under the busy wait.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "store/job_store.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double pauseOfOldDesignMs = 90.0;

struct Sample {
    double ms;           // measured
    std::uint64_t calls; // calls made under the busy wait
};

template <typename Operation> Sample timeOnce(Operation&& operation)
{
    storeCallCounts() = {};
    auto start = Clock::now();
    operation();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return {ms, storeCallCounts().waitingCalls};
}

struct Figures {
    double medianMs;
    double oldDesignMedianMs; // the same runs with 90 ms added per call
};

template <typename Operation> Figures median(int runs, Operation&& operation)
{
    std::vector<double> now, old;
    for (int i = 0; i < runs; ++i) {
        Sample sample = timeOnce(operation);
        now.push_back(sample.ms);
        old.push_back(sample.ms + pauseOfOldDesignMs * static_cast<double>(sample.calls));
    }
    std::sort(now.begin(), now.end());
    std::sort(old.begin(), old.end());
    return {now[now.size() / 2], old[old.size() / 2]};
}

DateTime today()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return DateTime{static_cast<std::uint16_t>(local.tm_year + 1900),
        static_cast<std::uint16_t>(local.tm_mon + 1), 0, static_cast<std::uint16_t>(local.tm_mday)};
}

// Rows in submission order, ending today, the way years of recording leave them.
void fill(const std::u16string& folder, int rows)
{
    closeJobDatabase(openJobDatabase(folder));
    sqlite3* db = nullptr;
    sqlite3_open16(jobDatabasePath(folder).c_str(), &db);
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
        "insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) "
        "values (strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime', ?),?,?,?,?);",
        -1, &insert, nullptr);
    constexpr double tenYearsSeconds = 10 * 365.25 * 86400;
    for (int i = 0; i < rows; ++i) {
        double secondsAgo = tenYearsSeconds * (rows - 1 - i) / rows;
        std::string offset = std::to_string(-static_cast<long long>(secondsAgo));
        offset += " seconds";
        std::string user = "user";
        user += std::to_string(i * 7 % 50);
        std::string machine = "PC";
        machine += std::to_string(i % 20);
        std::string printer = "printer";
        printer += std::to_string(i % 5);
        sqlite3_bind_text(insert, 1, offset.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, user.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, machine.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, printer.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 5, 1 + i % 9);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

JobRecord sampleJob()
{
    JobRecord job;
    job.userName = u"user7";
    job.machineName = u"PC3";
    job.printerName = u"printer1";
    job.pagesPrinted = 2;
    DateTime now = today();
    job.submitted = {now.year, now.month, 0, now.day, 8, 0, 0, 0};
    return job;
}

bool keepTime(const DateTime& utc, DateTime& local)
{
    local = utc;
    return true;
}

struct Measure {
    const char* name;
    int runs;
    std::function<void()> operation;
};

std::vector<Measure> measures(const std::u16string& folder, int runScale)
{
    DateTime now = today();
    auto byUser = [folder](DateTime since) {
        return [folder, since] {
            std::size_t groups = 0;
            queryStatistics(folder, since, GroupingColumn::user, [&](const StatisticsRow&) { ++groups; });
        };
    };
    return {
        {"recordJob", 21, [folder] { recordJob(folder, sampleJob(), keepTime); }},
        {"statistics everything", std::max(3, 11 / runScale), byUser({1800, 1, 0, 1})},
        {"statistics this year", 11, byUser({now.year, 1, 0, 1})},
        {"statistics this month", 21, byUser({now.year, now.month, 0, 1})},
        {"statistics today", 21, byUser({now.year, now.month, 0, now.day})},
        {"open and close", 51, [folder] { closeJobDatabase(openJobDatabase(folder)); }},
    };
}

} // namespace

int main()
{
    const std::filesystem::path root
        = std::filesystem::temp_directory_path() / ("pw_store_bench_" + std::to_string(std::time(nullptr)));
    std::printf("job store, files in %s, medians in ms\n", root.string().c_str());

    for (int rows : {10000, 100000, 1000000}) {
        const std::filesystem::path place = root / std::to_string(rows);
        std::filesystem::create_directories(place);
        const std::u16string folder = place.u16string();
        auto start = Clock::now();
        fill(folder, rows);
        std::printf("\n%d rows (filled in %.0f ms)\n", rows,
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());

        const bool compare = rows == 10000;
        if (compare) std::printf("  %-24s %10s %16s %8s\n", "", "now", "90 ms per call", "ratio");
        for (const Measure& measure : measures(folder, rows / 100000 + 1)) {
            Figures figures = median(measure.runs, measure.operation);
            if (compare)
                std::printf("  %-24s %10.3f %16.1f %7.0fx\n", measure.name, figures.medianMs,
                    figures.oldDesignMedianMs, figures.oldDesignMedianMs / figures.medianMs);
            else
                std::printf("  %-24s %10.3f\n", measure.name, figures.medianMs);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
