// Totals kept inside pgwarden.db beside the jobs: pages, jobs and rows per
// printer, user and machine per calendar month, so that the statistics of
// any start read a few hundred small rows, plus the jobs between the start
// and the next month's first day, however many jobs the file holds.
//
// The database keeps them right by itself: triggers on tbTrabajos add and
// take away each row written, deleted or changed by any program, old SQLite
// versions included. A file whose totals are missing, of another layout,
// or in doubt (see month_totals.cpp) gets them built anew before they are
// read. Their tables and triggers are in month_totals_schema, the checks and
// the mending in month_totals.cpp, the reads in month_totals_statistics.cpp.
// Portable: no Windows header here.
#pragma once

#include <optional>
#include <vector>

#include "common/date_time.h"
#include "store/statistics_rows.h"

struct sqlite3;

namespace store {

// Fills rows with what "select column, sum(pages), count(trnumpags),
// sum(unknown) from tbTrabajos where julianday(trfecha) >= julianday(start)
// group by column" gives, in the same order, where pages is trnumpags when
// it is a whole number of pages and 0 when it is not, and unknown counts the
// latter (see StatisticsRow), and returns true. Returns false, rows empty,
// when the totals cannot give it: the file cannot hold them (read-only,
// tables of another shape). The caller then asks the jobs themselves.
bool statisticsFromMonthTotals(
    sqlite3* db, const DateTime& since, GroupingColumn column, std::vector<StatisticsRow>& rows);

// Whether the totals may be read as they are, without building or mending.
bool monthTotalsReady(sqlite3* db);
// The statistics of statisticsFromMonthTotals when the totals may be read as
// they are, and nothing is built or mended: quick at any file size.
enum class QuickAnswer { answered, notReady };
QuickAnswer statisticsFromReadyTotals(
    sqlite3* db, const DateTime& since, GroupingColumn column, std::vector<StatisticsRow>& rows);
// Builds or mends them until they may be read; false when the file cannot
// hold them (or the work was interrupted).
bool prepareMonthTotals(sqlite3* db);

// statisticsFromMonthTotals for pages and jobs per month: exactly what "select
// strftime('%Y-%m', julianday(trfecha)), sum(trnumpags), count(trnumpags) from
// tbTrabajos where julianday(trfecha) >= julianday(start) group by 1" gives,
// in month order.
bool monthsFromMonthTotals(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows);
// The same when the totals may be read as they are, as statisticsFromReadyTotals.
QuickAnswer monthsFromReadyTotals(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows);

// Brings the totals to a state they may be read in, then compares the rows,
// jobs and pages they hold with those of tbTrabajos, and counts them anew
// when the two differ.
TotalsCheck checkMonthTotalsAgainstJobs(sqlite3* db);

// ---- the state the totals are in, for the reads of month_totals_statistics.cpp ----------------

enum class TotalsState {
    ready,     // the totals may be read as they are
    reconcile, // another SQLite version changed rows: move them to our months
    recount,   // the objects are sound, their figures are not
    remake,    // an object is missing or not ours: everything anew
};

// Read inside the transaction that goes on to read the totals, so nothing
// can change between the check and the figures. Empty when the file cannot
// even be asked.
std::optional<TotalsState> readState(sqlite3* db);

// Brings the totals to `ready` in a transaction of its own. False when the
// file cannot hold them; whatever was begun is rolled back, so the file is
// never left with half of the objects.
bool mend(sqlite3* db);

} // namespace store
