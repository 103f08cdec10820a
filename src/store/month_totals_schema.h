// The kept month totals' schema: their tables and the triggers that keep
// them (month_totals_schema.cpp), and the pieces of SQL that the triggers,
// the checks and the statistics must spell alike. Portable: no Windows
// header here.
#pragma once

#include <string>
#include <vector>

#include "store/statistics_rows.h"

namespace store {

// Raised whenever the tables or the triggers change meaning; a file of
// another layout has its totals counted anew.
inline constexpr int totalsLayout = 2;

// The month a trfecha counts in: year * 100 + month of the date julianday()
// makes of it, read back from that day number so that the month always
// agrees with the value the statistics compare (strftime() of the text
// itself keeps the text's own month for a day after the month's end in
// older versions). Null when julianday() cannot read the text: such a row
// never counts. A text that follows the clock has a day that moves on, so
// such rows get a month of their own, counted whenever the start has passed.
inline constexpr char nowMonth[] = "-1000000000";
std::string monthOf(const std::string& date);

// True for the texts julianday() reads as the present moment: 'now', and
// (SQLite 3.42 on) 'subsec' and 'subsecond', in any case. julianday() reads a
// text only up to its first NUL, and so does GLOB, while lower() and = see
// the whole value: 'now' followed by a NUL and anything is the present too.
std::string followsClock(const std::string& date);

// Page counts the totals add up exactly: integers small enough that no sum
// of them overflows. Anything else (a fraction, text, a blob, a huge count)
// would make SQLite's sum() a floating-point figure, or an error: such a row
// counts as a job of unknown pages, which adds 0 pages and is counted apart
// (tmraras), by the totals and by the queries over the jobs alike.
std::string plainPages(const std::string& pages); // the count where plain, else 0
std::string oddPages(const std::string& pages);   // true where a count is there but not plain

// What one job with its details adds to the detail totals, as the columns
// cp (colour pages: the plain pages of a colour job), sh (sheets), co (cost)
// and cq (1 when it has a cost), from `job` (tbTrabajos) and `detail`
// (tbDetalles, whose cells may be null throughout).
std::string detailFigures(const std::string& job, const std::string& detail);

struct Grouping {
    int number; // tmgrupo
    const char* column;
};
inline constexpr Grouping groupings[] = {{1, "trimpresora"}, {2, "trusuario"}, {3, "trmaquina"}};
int groupingNumber(GroupingColumn column);

struct KeptObject {
    std::string type, name, sql; // sql as sqlite_master holds it: written here in that very form
};
// The tables and triggers of the totals, in the order they are made.
const std::vector<KeptObject>& keptObjects();

// Text of our own SQL read back from SQLite: ASCII, anything else as '?'.
std::string narrow(const std::u16string& text);

} // namespace store
