// The statistics of a period: from the kept month totals where they can
// answer, from the jobs themselves where they cannot.
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

#include "common/strings.h"
#include "store/civil_days.h"
#include "store/job_store.h"
#include "store/month_totals.h"
#include "store/month_totals_schema.h"
#include "store/schema_terms.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

// Every trfecha that begins with four digits and a dash and that julianday()
// can read at all is a date "YYYY-MM-DD", perhaps a time behind it and a zone
// behind that. Its value lies below its date plus 1 day 16 hours (a time up
// to 24:59:59.999, a zone as far as -14:59) and its day may run up to the
// 31st of any month, three days into the next. So a text below the day five
// days before the start can never reach the start, and the statistics leave
// out by text order alone every such text below this bound. Empty (no text
// is below it) when the start is no date julianday() reads, or too early.
std::u16string narrowingBound(const DateTime& since)
{
    constexpr int marginDays = 5;
    if (since.year > 9999 || since.month < 1 || since.month > 12 || since.day < 1 || since.day > 31)
        return {};
    CivilDate bound = civilFromDays(daysFromCivil(since.year, since.month, since.day) - marginDays);
    if (bound.year < 0) return {};
    char text[32];
    int length = std::snprintf(
        text, sizeof text, "%.4d-%.2d-%.2d", static_cast<int>(bound.year), bound.month, bound.day);
    return std::u16string(text, text + std::clamp(length, 0, static_cast<int>(sizeof text) - 1));
}

// When the month totals cannot answer, which way a period is summed fastest.
// The rows are written in time order, so the share of row numbers at or
// above the first one in the period estimates the share of rows the
// narrowed query would read one by one; past about a third, one pass over
// the whole table is cheaper. Only the speed depends on this guess, never
// the figures.
bool periodIsShort(sqlite3* db, const std::u16string& bound)
{
    Statement probe = prepare(db,
        u"select (select min(trllapri) from tbTrabajos), (select max(trllapri) from tbTrabajos), "
        u"(select trllapri from tbTrabajos where trfecha >= ? order by trfecha limit 1);",
        u"74");
    bindText(probe.get(), 1, bound, u"74");
    if (step(probe.get(), u"74") != SQLITE_ROW) return true;
    if (sqlite3_column_type(probe.get(), 2) == SQLITE_NULL) return true; // nothing at or after the bound
    const sqlite3_int64 first = sqlite3_column_int64(probe.get(), 0);
    const sqlite3_int64 last = sqlite3_column_int64(probe.get(), 1);
    const sqlite3_int64 from = std::clamp<sqlite3_int64>(sqlite3_column_int64(probe.get(), 2), first, last);
    return (last - from) * 3 < last - first;
}

// A group's pages, jobs and jobs of unknown pages, of the page counts `p`,
// as the kept totals give them (StatisticsRow says the rule).
std::u16string groupFigures(const std::string& p)
{
    return asciiText(", CASE WHEN count(" + p + ") = 0 THEN NULL ELSE sum(" + plainPages(p) + ") END, count("
        + p + "), sum(" + oddPages(p) + ")");
}

// The jobs with their details, if any; the figures the details add and
// their sums, as the kept totals define them (month_totals_schema.h).
constexpr char16_t jobsWithDetails[] = u"tbTrabajos left join tbDetalles as d on d.dtllapri = trllapri";
constexpr char16_t jobDetailSums[]
    = u"ifnull(sum(cp), 0), ifnull(sum(sh), 0), case when sum(cq) > 0 then sum(co) end";
std::u16string jobDetailFigures()
{
    return asciiText(detailFigures("tbTrabajos", "d"));
}

// A row of (group, pages, jobs, jobs of unknown pages, colour pages, sheets,
// cost) as groupFigures and jobDetailSums give it.
StatisticsRow figuresRow(sqlite3_stmt* query)
{
    return StatisticsRow{columnText(query, 0), columnText(query, 1), columnText(query, 2),
        columnText(query, 4), columnText(query, 5), columnText(query, 6), sqlite3_column_int64(query, 3)};
}

// Without tbDetalles (a file that could not be given it) the same query
// reads the jobs alone, every detail figure nothing.
std::u16string withoutDetails(std::u16string text)
{
    const std::u16string joined = jobsWithDetails;
    for (std::size_t at; (at = text.find(joined)) != std::u16string::npos;)
        text.replace(at, joined.size(), u"tbTrabajos");
    const std::u16string figures = jobDetailFigures();
    for (std::size_t at; (at = text.find(figures)) != std::u16string::npos;)
        text.replace(at, figures.size(), u"0 as cp, 0 as sh, 0 as co, 0 as cq");
    return text;
}

Statement prepareWithDetails(sqlite3* db, const std::u16string& text)
{
    if (Statement statement = tryPrepare(db, text)) return statement;
    return prepare(db, withoutDetails(text), u"74");
}

// The whole comparison as the figures are defined: every row whose trfecha
// julianday() reads at or after the start.
std::u16string wholeStatisticsText(const std::u16string& column)
{
    return u"select " + column + groupFigures("p") + u", " + jobDetailSums + u" from (select " + column
        + u", trnumpags as p, " + jobDetailFigures() + u" from " + jobsWithDetails
        + u" where julianday(trfecha) >= julianday(?1)) group by " + column + u";";
}

// The same figures from fewer rows: the rows at or above the bound in text
// order, and below it only those of the irregular index (the term is the
// index's own). The two halves never share a row, and each keeps the exact
// julianday() comparison.
std::u16string narrowedStatisticsText(const std::u16string& column)
{
    std::u16string text = u"select " + column + groupFigures("p") + u", " + jobDetailSums + u" from (select "
        + column + u", trnumpags as p, " + jobDetailFigures() + u" from " + jobsWithDetails
        + u" where trfecha >= ?2 and julianday(trfecha) >= julianday(?1) union all select " + column
        + u", trnumpags, " + jobDetailFigures() + u" from " + jobsWithDetails + u" where trfecha < ?2 and ";
    text += irregularDateTerm;
    text += u" and julianday(trfecha) >= julianday(?1)) group by " + column + u";";
    return text;
}

// Every row's group from the jobs themselves, where the totals cannot answer:
// the narrowed query for a short period, the whole one for a long one.
void statisticsFromJobs(sqlite3* db, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow)
{
    const std::u16string bound = narrowingBound(since);
    const std::u16string name = groupingColumnName(column);
    const bool narrowed = periodIsShort(db, bound);
    if (narrowed) ++storeCallCounts().narrowedStatistics;
    Statement query
        = prepareWithDetails(db, narrowed ? narrowedStatisticsText(name) : wholeStatisticsText(name));
    bindText(query.get(), 1, formatDateTimeText(since), u"74");
    if (narrowed) bindText(query.get(), 2, bound, u"74");
    bool delivered = false;
    while (step(query.get(), u"74", !delivered) == SQLITE_ROW) {
        delivered = true;
        onRow(figuresRow(query.get()));
    }
}

// Every row's month from the jobs themselves.
void monthsFromJobs(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows)
{
    Statement query = prepareWithDetails(db,
        u"select m" + groupFigures("p") + u", " + jobDetailSums
            + u" from (select strftime('%Y-%m', julianday(trfecha)) as m, trnumpags as p, "
            + jobDetailFigures() + u" from " + jobsWithDetails
            + u" where julianday(trfecha) >= julianday(?1)) group by 1;");
    bindText(query.get(), 1, formatDateTimeText(since), u"74");
    bool delivered = false;
    while (step(query.get(), u"74", !delivered) == SQLITE_ROW) {
        delivered = true;
        rows.push_back(figuresRow(query.get()));
    }
}

// In month order; the years before 0 carry a sign, so that text order is not it.
void sortByMonth(std::vector<StatisticsRow>& rows)
{
    auto key = [](const std::u16string& month) {
        const std::string text(month.begin(), month.end());
        long long year = 0, number = 0;
        std::sscanf(text.c_str(), "%lld-%lld", &year, &number);
        return year * 12 + number;
    };
    std::stable_sort(rows.begin(), rows.end(),
        [&](const StatisticsRow& a, const StatisticsRow& b) { return key(a.group) < key(b.group); });
}

} // namespace

bool quickStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    std::vector<StatisticsRow> kept;
    const QuickAnswer answer = statisticsFromReadyTotals(db.get(), since, column, kept);
    if (answer == QuickAnswer::notReady) return false;
    closeJobDatabase(std::move(db)); // before the rows go on screen: no lock is held meanwhile
    for (const StatisticsRow& row : kept) onRow(row);
    return true;
}

void queryStatistics(const std::u16string& folder, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow)
{
    Database db = openJobDatabase(folder);
    std::vector<StatisticsRow> kept;
    if (statisticsFromMonthTotals(db.get(), since, column, kept)) {
        closeJobDatabase(std::move(db)); // before the rows go on screen: no lock is held meanwhile
        for (const StatisticsRow& row : kept) onRow(row);
        return;
    }
    statisticsFromJobs(db.get(), since, column, onRow);
    closeJobDatabase(std::move(db));
}

std::vector<StatisticsRow> queryMonthlyStatistics(const std::u16string& folder, const DateTime& since)
{
    Database db = openJobDatabase(folder);
    std::vector<StatisticsRow> rows;
    if (!monthsFromMonthTotals(db.get(), since, rows)) monthsFromJobs(db.get(), since, rows);
    closeJobDatabase(std::move(db));
    sortByMonth(rows);
    return rows;
}

bool quickMonthlyStatistics(const std::u16string& folder, const DateTime& since,
    const std::function<void(const StatisticsRow&)>& onRow)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    std::vector<StatisticsRow> rows;
    const QuickAnswer answer = monthsFromReadyTotals(db.get(), since, rows);
    if (answer == QuickAnswer::notReady) return false;
    closeJobDatabase(std::move(db));
    sortByMonth(rows);
    for (const StatisticsRow& row : rows) onRow(row);
    return true;
}

TotalsCheck checkMonthTotals(const std::u16string& folder)
{
    Database db = openJobDatabase(folder);
    const TotalsCheck found = checkMonthTotalsAgainstJobs(db.get());
    closeJobDatabase(std::move(db));
    return found;
}
