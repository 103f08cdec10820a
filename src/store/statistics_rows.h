// What the statistics read from the job store: the column a period is grouped
// by, the rows it gives, and what a check of the kept month totals found.
// Portable: no Windows header here.
#pragma once

#include <cstdint>
#include <string>

enum class GroupingColumn { printer, user, machine };
// "trimpresora", "trusuario" or "trmaquina".
const char16_t* groupingColumnName(GroupingColumn column);

// Each cell as SQLite gives it as text: the group's value, its page sum, its
// job count; then what the jobs' details add up to: the pages of the jobs
// printed in colour, the sheets, and the cost in ten-thousandths of the
// currency unit (empty when no job of the group has a cost). A job whose
// page count is not a whole number of pages below 2^40 (a fraction, text, a
// blob, a huge or infinite value another program wrote) counts as a job of
// unknown pages: it adds 0 to the page sum, and `unknownPages` says how many
// of the jobs are such.
struct StatisticsRow {
    std::u16string group, pages, jobs;
    std::u16string colourPages = u"0", sheets = u"0", cost = {};
    std::int64_t unknownPages = 0;
};

// What checkMonthTotals found.
enum class TotalsCheck {
    agreed,     // the totals hold exactly the rows, jobs and pages of the jobs
    recounted,  // they did not, and were counted anew from the jobs
    unavailable // the file cannot hold totals (read-only, tables of another shape)
};
