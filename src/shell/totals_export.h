// The totals as the user takes them elsewhere: tab-separated text for the
// clipboard (a spreadsheet pastes it as a table) and a CSV file. Portable.
#pragma once

#include <string>
#include <vector>

#include "common/date_time.h"
#include "store/job_store.h"

// Group, pages, jobs, and where a period holds any, jobs of unknown pages.
using TotalsRow = std::vector<std::u16string>;

// The headers of what the view shows, in the language's words: the month
// chart's, or a list's (whatever its grouping), and its rows as cells.
TotalsRow totalsHeaders(bool months, const std::vector<StatisticsRow>& rows);
std::vector<TotalsRow> totalsCells(const std::vector<StatisticsRow>& rows);

// The header line, then a line per row, CR LF after each line. A cell that
// holds a tab, a line break or a quote is quoted as spreadsheets expect.
std::u16string totalsAsTabSeparated(const TotalsRow& headers, const std::vector<TotalsRow>& rows);

// UTF-8 with a byte order mark, comma-separated, a header line, CR LF line
// ends; a cell with a comma, a quote or a line break between quotes, its
// quotes doubled.
std::string totalsAsCsv(const TotalsRow& headers, const std::vector<TotalsRow>& rows);

// "<stem>-YYYY-MM-DD.csv", e.g. pages-by-user-since-2026-01-01.csv; what
// Windows forbids in a file name is left out of the stem.
std::u16string suggestedCsvName(const std::u16string& stem, const DateTime& since);
