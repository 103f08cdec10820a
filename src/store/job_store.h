// Job store: the SQLite file "pgwarden.db" with its jobs table tbTrabajos and
// its saved dates table tbFechas. Every operation opens its own connection,
// runs its statement with bound values and closes the connection again, so
// no connection ever crosses threads. Portable: no Windows header here; the
// list view and combo box fills live in job_store_win32.h.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/job_record.h"

struct sqlite3;

inline constexpr char16_t databaseFileName[] = u"pgwarden.db";

// ---- waiting for another program ----------------------------------------------------

// Thrown by a store operation that found the file held by another connection
// for longer than the calling thread allows (BusyLimit). Every statement and
// connection of the operation is released on the way out, and nothing it
// began is kept: the caller may try the whole operation again later.
struct DatabaseBusy { };

// For its scope, each time one of the calling thread's store operations finds
// the file held by another connection, it waits at most this long for it,
// then throws DatabaseBusy. Without one it waits as long as it takes. A limit
// inside another keeps the shorter of the two.
class BusyLimit {
public:
    explicit BusyLimit(std::chrono::milliseconds limit);
    ~BusyLimit();
    BusyLimit(const BusyLimit&) = delete;
    BusyLimit& operator=(const BusyLimit&) = delete;

private:
    std::chrono::milliseconds outer_;
    bool hadOuter_;
};

// For its scope, every connection the calling thread's store operations open
// is interrupted once `flag` is set: a long count or check stops within
// moments, rolled back, and the operation ends in DatabaseBusy.
class InterruptibleBy {
public:
    explicit InterruptibleBy(const std::atomic<bool>& flag);
    ~InterruptibleBy();
    InterruptibleBy(const InterruptibleBy&) = delete;
    InterruptibleBy& operator=(const InterruptibleBy&) = delete;

private:
    const std::atomic<bool>* outer_;
};

// ---- connection -----------------------------------------------------------------

// Closes without looking at the result: for the paths that leave an operation
// early (a fatal report in the tests, a retried opening).
struct DatabaseCloser {
    void operator()(sqlite3* connection) const;
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

// What an opening does to the schema. Building an index on a large file of
// an earlier version takes minutes, so only the file's preparation does it;
// the program's other operations make the tables of a new file and no more.
enum class SchemaWork { tablesAndIndexes, tablesOnly };

// Opens "pgwarden.db" in the folder (with or without a trailing separator),
// creating the file and its two tables when they are missing, and with
// tablesAndIndexes its indexes too, dropping indexes on expressions that
// older SQLite versions cannot read.
Database openJobDatabase(const std::u16string& folder, SchemaWork work = SchemaWork::tablesAndIndexes);
// Checked close: a failure is fatal ("314").
void closeJobDatabase(Database db);

// The file's path: the folder, one separator and "pgwarden.db".
std::u16string jobDatabasePath(const std::u16string& folder);

// ---- date-time text -------------------------------------------------------------

// Longest date-time text that is read, terminator not counted.
inline constexpr std::size_t dateTimeTextCapacity = 100;

// "2016-03-05T09:07:02.045": zero-padded to 4, 2, 2, 2, 2, 2 and 3 digits.
std::u16string formatDateTimeText(const DateTime& time);
// Reads "%d-%d-%dT%d:%d:%d.%d" from at most the first 100 units into the seven
// fields from year to milliseconds, each taking the number's low 16 bits.
// Fields that the text does not reach become 0; dayOfWeek is left alone.
void parseDateTimeText(const char16_t* text, DateTime& time);

// ---- recording a finished job ---------------------------------------------------------

// Turns the job's UTC submission time into local time; false when it cannot,
// and the row then carries the UTC time unchanged.
using LocalTimeConverter = bool (*)(const DateTime& utc, DateTime& local);

// PagesPrinted, or TotalPages when that is 0, times the device mode's copies
// when it carries them (fewer than one copy counts as one).
std::int64_t jobPageCount(const JobRecord& job);

// The row a finished job gives: all a job waiting to be written needs.
struct JobRow {
    DateTime submitted; // local time
    std::u16string user, machine, printer;
    std::int64_t pages = 0;

    friend bool operator==(const JobRow&, const JobRow&) = default;
};
JobRow jobRowOf(const JobRecord& job, LocalTimeConverter toLocal);

// Inserts the rows into tbTrabajos in one transaction, in their order: all of
// them or, when the file stays busy past the thread's BusyLimit, none.
// Other failures are fatal ("158" compile, "166" step).
void recordRows(const std::u16string& folder, const std::vector<JobRow>& rows);
// One job's row, the same way.
void recordJob(const std::u16string& folder, const JobRecord& job, LocalTimeConverter toLocal);

// ---- statistics ---------------------------------------------------------------------

enum class GroupingColumn { printer, user, machine };
// "trimpresora", "trusuario" or "trmaquina".
const char16_t* groupingColumnName(GroupingColumn column);

// Each cell as SQLite gives it as text: the group's value, its page sum, its job count.
struct StatisticsRow {
    std::u16string group, pages, jobs;
};
// One row per group of the jobs submitted at or after `since`, in the order
// SQLite delivers the groups: exactly the rows of "select column,
// sum(trnumpags), count(trnumpags) from tbTrabajos where julianday(trfecha) >=
// julianday(start) group by column", whatever other programs wrote into
// trfecha. Read from the month totals kept in the file (built there first
// when missing or in doubt, see month_totals.h), or from the jobs where those
// cannot answer. Failures are fatal ("74" compile and step).
void queryStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow);
// The same rows, but only when they come quickly at any file size: from the
// kept totals, ready to be read. False, with no row given, when the totals
// must be built or mended first (the file's worker does that). A period
// holding page counts only the jobs add up exactly is read from the jobs:
// no preparation would ever make it quick.
bool quickStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow);

// Pages and jobs per calendar month of the jobs submitted at or after
// `since`, one row per month that holds one, in month order, the month
// written "YYYY-MM": exactly the rows of "select strftime('%Y-%m',
// julianday(trfecha)), sum(trnumpags), count(trnumpags) from tbTrabajos where
// julianday(trfecha) >= julianday(start) group by 1". Read like
// queryStatistics; failures are fatal ("74").
std::vector<StatisticsRow> queryMonthlyStatistics(const std::u16string& folder, const DateTime& since);
// The same months, but only when they come quickly, as quickStatistics.
bool quickMonthlyStatistics(const std::u16string& folder, const DateTime& since,
    const std::function<void(const StatisticsRow&)>& onRow);

// What checkMonthTotals found.
enum class TotalsCheck {
    agreed,     // the totals hold exactly the rows, jobs and pages of the jobs
    recounted,  // they did not, and were counted anew from the jobs
    unavailable // the file cannot hold totals (read-only, tables of another shape)
};
// Once per start, on a thread that may take its time (a full pass over the
// jobs): a program that deletes or changes rows with its triggers switched
// off leaves no other trace. Built or mended first where needed, the totals
// are compared with tbTrabajos in one pass, and counted anew when the row
// count or the page sums differ. Holds the file's write lock only while it
// counts.
TotalsCheck checkMonthTotals(const std::u16string& folder);

// ---- saved dates ---------------------------------------------------------------------

// True and the seven fields set when the memo is saved; otherwise the date is untouched.
bool findSavedDate(const std::u16string& folder, DateTime& date, const std::u16string& memo);
void addSavedDate(const std::u16string& folder, const DateTime& date, const std::u16string& memo);

// Which fill of a combo box is running; each has its own fatal lines.
enum class SavedNamesFill { append, load };
// Hands each memo, ordered by fememo, to onName; onName returns false when the
// combo box refused it, which is fatal ("411" append, "444" load).
void listSavedDateNames(const std::u16string& folder, SavedNamesFill fill,
    const std::function<bool(const std::u16string&)>& onName);
// Removes every row saved under the memo; an unknown memo removes nothing.
void deleteSavedDate(const std::u16string& folder, const std::u16string& memo);

// ---- what an operation did, for tests and measurements --------------------------------------

struct StoreCallCounts {
    std::uint64_t waitingCalls = 0;       // openings, compiles and steps made under the busy wait
    std::uint64_t busyAnswers = 0;        // of those, the ones that found the file busy
    std::uint64_t schemaStatements = 0;   // table and index creations and drops run while opening
    std::uint64_t narrowedStatistics = 0; // statistics that read only the rows near their period
    std::uint64_t totalsStatistics = 0;   // statistics read from the kept month totals
    std::uint64_t totalsMonths = 0;       // pages per month read from the kept month totals
    std::uint64_t totalsCounted = 0;      // times the month totals were counted from every job
    std::uint64_t totalsMoved = 0;        // rows another SQLite version had put in another month
    std::uint64_t totalsReadSteps = 0;    // virtual machine steps of the reads of the totals
};
// The counts of the calling thread.
StoreCallCounts& storeCallCounts();
