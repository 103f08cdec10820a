// Job store: the SQLite file "pgwarden.db" with its jobs table tbTrabajos and
// its saved dates table tbFechas. Every operation opens its own connection,
// runs its statement with bound values and closes the connection again, so
// no connection ever crosses threads. Portable: no Windows header here; the
// list view and combo box fills live in job_store_win32.h.
//
// What the operations share with the store's own SQLite calls is declared
// below them: the waits for a busy file (busy_waits.h), the call counts
// (store_call_counts.h), the date-time text (date_time_text.h), the row a
// job gives (job_row.h) and the statistics' rows (statistics_rows.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/job_record.h"
#include "store/busy_waits.h"
#include "store/date_time_text.h"
#include "store/job_row.h"
#include "store/statistics_rows.h"
#include "store/store_call_counts.h"

struct sqlite3;

inline constexpr char16_t databaseFileName[] = u"pgwarden.db";

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

// ---- recording a finished job ---------------------------------------------------------

// Inserts the rows into tbTrabajos in one transaction, in their order: all of
// them or, when the file stays busy past the thread's BusyLimit, none.
// Other failures are fatal ("158" compile, "166" step).
void recordRows(const std::u16string& folder, const std::vector<JobRow>& rows);
// One job's row and its details, the same way; `leftQueue` as jobRowOf
// takes it.
void recordJob(const std::u16string& folder, const JobRecord& job, LocalTimeConverter toLocal,
    const DateTime& leftQueue, const RecordSettings& settings = {});

// ---- statistics ---------------------------------------------------------------------

// One row per group of the jobs submitted at or after `since`, in the order
// SQLite delivers the groups: the rows of "select column, pages, jobs, jobs
// of unknown pages from tbTrabajos where julianday(trfecha) >=
// julianday(start) group by column" by the rule of StatisticsRow, whatever
// other programs wrote into trfecha and trnumpags. Read from the month
// totals kept in the file (built there first when missing or in doubt, see
// month_totals.h), or from the jobs where those cannot answer. Failures are
// fatal ("74" compile and step).
void queryStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow);
// The same rows, but only when they come quickly at any file size: from the
// kept totals, ready to be read. False, with no row given, when the totals
// must be built or mended first (the file's worker does that).
bool quickStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow);

// Pages and jobs per calendar month of the jobs submitted at or after
// `since`, one row per month that holds one, in month order, the month
// written "YYYY-MM": the rows of queryStatistics grouped by
// strftime('%Y-%m', julianday(trfecha)). Read like queryStatistics; failures
// are fatal ("74").
std::vector<StatisticsRow> queryMonthlyStatistics(const std::u16string& folder, const DateTime& since);
// The same months, but only when they come quickly, as quickStatistics.
bool quickMonthlyStatistics(const std::u16string& folder, const DateTime& since,
    const std::function<void(const StatisticsRow&)>& onRow);

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
