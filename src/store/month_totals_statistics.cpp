// The statistics read from the kept month totals: the entries of a period's
// whole months, and the jobs of its first, partial month.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/strings.h"
#include "store/civil_days.h"
#include "store/date_time_text.h"
#include "store/month_totals.h"
#include "store/month_totals_schema.h"
#include "store/schema_terms.h"
#include "store/sqlite_calls.h"

namespace store {

namespace {

// Where the jobs between the start and the next month's first day can lie in
// the text order of trfecha. A readable trfecha that begins with four digits
// and a dash is "YYYY-MM-DD", perhaps with a time up to 24:59:59.999 and a
// zone as far as 14:59 either way, so its day number lies less than two days
// after its date and less than fifteen hours before it; its day may run up
// to the 31st of any month, three days into the next. So every such text
// below `from` falls before the start, and every one at or above `to` after
// the month's end. The other texts come through the index of irregular
// dates, blobs through their own end of the date index.
struct PartialMonth {
    std::u16string from, to;
    bool toEnd = false; // no upper bound: every text
};

std::u16string dayText(std::int64_t year, unsigned month, unsigned day)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d", static_cast<int>(year), month, day);
    return asciiText(text);
}

// The start as julianday() reads it, and the moments that bound the period's
// first, partial month, all from our julianday(): the figures are defined by
// it, and a start whose fields run out of their range (hour 24, a thousand
// milliseconds) is read as the moment julianday() makes of it.
struct PeriodBounds {
    double start = 0, monthEnd = 0;    // julian days; monthEnd: the next month's first moment
    bool atMonthStart = false;         // the start is a month's first moment: no partial month
    sqlite3_int64 firstWholeMonth = 0; // key (year * 100 + month) of the first whole month
    sqlite3_int64 startMonth = 0;      // key of the start's own month
    sqlite3_int64 presentMonth = 0;    // key of the month of julianday('now')
    bool clockCounts = false;          // the present is at or after the start
};

enum class Reading { exact, failed };

// Empty with `exact` when julianday() cannot read the start: no row reaches it.
Reading readBounds(sqlite3* db, const DateTime& since, std::optional<PeriodBounds>& bounds)
{
    // The month is taken from the day number, not from the text, whose day
    // may run past its month's end ('start of month' of 2016-02-31 is
    // February's first).
    Statement query = tryPrepare(db,
        u"SELECT s, b, CAST(strftime('%Y%m', b) AS INTEGER), s = b, CAST(strftime('%Y%m', s) AS INTEGER), "
        u"CAST(strftime('%Y%m', 'now') AS INTEGER), julianday('now') >= s FROM (SELECT s, "
        u"CASE WHEN s = julianday(s, 'start of month') THEN s "
        u"ELSE julianday(s, 'start of month', '+1 month') END AS b FROM (SELECT julianday(?1) AS s));");
    if (!query) return Reading::failed;
    if (!tryBindText(query.get(), 1, formatDateTimeText(since))) return Reading::failed;
    if (untilNotBusy([&] { return sqlite3_step(query.get()); }) != SQLITE_ROW) return Reading::failed;
    bounds.reset();
    if (sqlite3_column_type(query.get(), 0) == SQLITE_NULL) return Reading::exact;
    PeriodBounds b;
    b.start = sqlite3_column_double(query.get(), 0);
    const bool untilEnd = sqlite3_column_type(query.get(), 1) == SQLITE_NULL; // a start in December 9999
    b.monthEnd = untilEnd ? 1e300 : sqlite3_column_double(query.get(), 1);
    b.firstWholeMonth = untilEnd ? INT64_MAX : sqlite3_column_int64(query.get(), 2);
    b.atMonthStart = sqlite3_column_int(query.get(), 3) == 1;
    b.startMonth = sqlite3_column_int64(query.get(), 4);
    b.presentMonth = sqlite3_column_int64(query.get(), 5);
    b.clockCounts = sqlite3_column_int(query.get(), 6) != 0;
    bounds = b;
    return Reading::exact;
}

PartialMonth partialMonth(const PeriodBounds& bounds)
{
    if (bounds.atMonthStart) return {u"", u"", false}; // nothing to read
    // Julian day 2440587.5 is 1970-01-01 at midnight, the day count's origin.
    const auto start = static_cast<std::int64_t>(std::floor(bounds.start - 2440587.5));
    const CivilDate date = civilFromDays(start);

    PartialMonth range;
    // Below the day before the start a text's own date lies two days before
    // it; in a month's first days, the days after the end of the month before
    // (up to its 31st) still reach the start.
    const CivilDate dayBefore = civilFromDays(start - 1);
    if (dayBefore.day >= 4)
        range.from = dayText(dayBefore.year, dayBefore.month, dayBefore.day);
    else if (dayBefore.month == 1)
        range.from = dayText(dayBefore.year - 1, 12, 29);
    else
        range.from = dayText(dayBefore.year, dayBefore.month - 1, 29);
    if (dayBefore.year < 1) range.from.clear();

    const std::int64_t nextMonth
        = date.month == 12 ? daysFromCivil(date.year + 1, 1, 1) : daysFromCivil(date.year, date.month + 1, 1);
    const CivilDate dayAfter = civilFromDays(nextMonth + 1);
    if (dayAfter.year > 9999)
        range.toEnd = true;
    else
        range.to = dayText(dayAfter.year, dayAfter.month, dayAfter.day);
    return range;
}

// The rows of the partial month, each as one entry of the totals: value,
// pages, jobs, rows, odd pages. The three parts never share a row.
std::u16string partialRows(const std::string& value)
{
    const std::string counted = "SELECT " + value + ", " + plainPages("trnumpags")
        + ", trnumpags IS NOT NULL, 1, " + oddPages("trnumpags") + ", " + detailFigures("tbTrabajos", "d")
        + " FROM tbTrabajos LEFT JOIN tbDetalles AS d ON d.dtllapri = trllapri WHERE ";
    const std::string inPeriod
        = " AND julianday(trfecha) >= ?6 AND julianday(trfecha) < ?7 AND NOT " + followsClock("trfecha");
    const std::string irregular = narrow(irregularDateTerm);
    return asciiText(counted + "trfecha >= ?4 AND trfecha < ?5" + inPeriod + " UNION ALL " + counted
        + irregular + " AND NOT (trfecha >= ?4 AND trfecha < ?5)" + inPeriod + " UNION ALL " + counted
        + "trfecha >= x'' AND NOT " + irregular + inPeriod);
}

// The entries of the whole months, of the rows that follow the clock, and
// the rows of the partial month, as (v, pg, jb, fl, od): value, pages, jobs,
// rows, odd pages. `value` is what each row of the jobs counts under,
// `clockValue` what the rows that follow the clock count under.
std::u16string periodEntries(
    const std::string& entryValue, const std::string& clockValue, const std::string& jobValue)
{
    const std::string entry = "SELECT %V AS v, tmpaginas AS pg, tmtrabajos AS jb, tmfilas AS fl, tmraras AS "
                              "od, 0 AS cp, 0 AS sh, "
                              "0 AS co, 0 AS cq FROM tbTotalesMes WHERE tmgrupo = ?1 AND ";
    // The details' entries add their figures to the same groups; only the
    // jobs' entries make a group (fl), as only jobs are counted as rows.
    const std::string detailEntry = "SELECT %V, 0, 0, 0, 0, tdcolor, tdhojas, tdcoste, tdcosteados FROM "
                                    "tbTotalesDetalle WHERE tdgrupo = ?1 AND ";
    auto with = [&](const std::string& form, const std::string& value) {
        std::string text = form;
        text.replace(text.find("%V"), 2, value);
        return text;
    };
    auto ofDetails = [](std::string text) {
        for (const char* name : {"tmnulo", "tmvalor", "tmmes"})
            for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, 2, "td");
        return text;
    };
    const std::string months = "tmmes >= ?2 UNION ALL ";
    const std::string clock = std::string("tmmes = ") + nowMonth + " AND ?3 UNION ALL ";
    return asciiText(with(entry, entryValue) + months + with(entry, clockValue) + clock
               + ofDetails(with(detailEntry, entryValue) + months + with(detailEntry, clockValue) + clock))
        + partialRows(jobValue);
}

// Binds ?1 to ?7 of periodEntries.
bool bindPeriod(sqlite3_stmt* query, int grouping, const PeriodBounds& bounds)
{
    const PartialMonth range = partialMonth(bounds);
    sqlite3_bind_int(query, 1, grouping);
    sqlite3_bind_int64(query, 2, bounds.firstWholeMonth);
    sqlite3_bind_int(query, 3, bounds.clockCounts ? 1 : 0);
    if (!tryBindText(query, 4, range.from)) return false;
    if (range.toEnd)
        sqlite3_bind_zeroblob(query, 5, 0); // above every text
    else if (!tryBindText(query, 5, range.to))
        return false;
    sqlite3_bind_double(query, 6, bounds.start);
    sqlite3_bind_double(query, 7, bounds.monthEnd);
    return true;
}

// The detail figures of a group: colour pages, sheets, and the cost when a
// job of the group has one.
constexpr char16_t detailSums[] = u"sum(cp), sum(sh), CASE WHEN sum(cq) > 0 THEN sum(co) END";

// Steps the query, rows of (cell, pages, jobs, jobs of unknown pages, colour
// pages, sheets, cost), into rows.
Reading collectRows(sqlite3_stmt* query, std::vector<StatisticsRow>& rows)
{
    for (int result; (result = untilNotBusy([&] { return sqlite3_step(query); })) != SQLITE_DONE;) {
        if (result != SQLITE_ROW) return Reading::failed;
        rows.push_back(StatisticsRow{columnText(query, 0), columnText(query, 1), columnText(query, 2),
            columnText(query, 4), columnText(query, 5), columnText(query, 6),
            sqlite3_column_int64(query, 3)});
    }
    return Reading::exact;
}

Reading readTotals(
    sqlite3* db, const DateTime& since, GroupingColumn column, std::vector<StatisticsRow>& rows)
{
    std::optional<PeriodBounds> bounds;
    if (Reading reading = readBounds(db, since, bounds); reading != Reading::exact || !bounds) return reading;
    const std::string value = "CASE WHEN tmnulo THEN NULL ELSE tmvalor END";
    Statement query = tryPrepare(db,
        std::u16string(u"SELECT v, CASE WHEN sum(jb) = 0 THEN NULL ELSE sum(pg) END, sum(jb), sum(od), ")
            + detailSums + u" FROM (" + periodEntries(value, value, narrow(groupingColumnName(column)))
            + u") GROUP BY v HAVING sum(fl) > 0;");
    if (!query || !bindPeriod(query.get(), groupingNumber(column), *bounds)) return Reading::failed;
    const Reading reading = collectRows(query.get(), rows);
    storeCallCounts().totalsReadSteps
        += static_cast<std::uint64_t>(sqlite3_stmt_status(query.get(), SQLITE_STMTSTATUS_VM_STEP, 0));
    return reading;
}

// The months as "YYYY-MM", as strftime('%Y-%m') writes them (four digits at
// least, a sign before a year before 0).
std::string monthText(sqlite3_int64 key)
{
    char text[32];
    const sqlite3_int64 year = key / 100, month = key % 100;
    std::snprintf(text, sizeof text, "%04lld-%02lld", static_cast<long long>(year),
        static_cast<long long>(month < 0 ? -month : month));
    return text;
}

Reading readMonths(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows)
{
    std::optional<PeriodBounds> bounds;
    if (Reading reading = readBounds(db, since, bounds); reading != Reading::exact || !bounds) return reading;
    // Every grouping holds every row once; the printers' is read. The rows
    // that follow the clock count in the present month, the partial month's
    // in the start's.
    Statement query = tryPrepare(db,
        std::u16string(u"SELECT v, CASE WHEN sum(jb) = 0 THEN NULL ELSE sum(pg) END, sum(jb), sum(od), ")
            + detailSums + u" FROM (" + periodEntries("tmmes", "?8", "?9")
            + u") GROUP BY v HAVING sum(fl) > 0 ORDER BY v;");
    if (!query || !bindPeriod(query.get(), 1, *bounds)) return Reading::failed;
    sqlite3_bind_int64(query.get(), 8, bounds->presentMonth);
    sqlite3_bind_int64(query.get(), 9, bounds->startMonth);
    const Reading reading = collectRows(query.get(), rows);
    for (StatisticsRow& row : rows) {
        const std::string key(row.group.begin(), row.group.end());
        row.group = asciiText(monthText(std::stoll(key)));
    }
    return reading;
}

// Reads inside a transaction that first makes sure the totals are ready;
// false, rows empty, when they cannot answer.
template <typename Read>
bool readReady(sqlite3* db, std::vector<StatisticsRow>& rows, std::uint64_t& answered, Read&& read)
{
    // A mend can be undone by another program before the totals are read
    // again; after a few rounds the jobs themselves answer.
    for (int round = 0; round < 3; ++round) {
        rows.clear();
        if (!tryRun(db, u"BEGIN;")) return false;
        std::optional<TotalsState> state = readState(db);
        if (state == TotalsState::ready) {
            Reading reading = read();
            tryRun(db, u"COMMIT;");
            if (reading != Reading::exact) {
                rows.clear();
                return false;
            }
            ++answered;
            return true;
        }
        tryRun(db, u"ROLLBACK;");
        if (!state || !mend(db)) return false;
    }
    return false;
}

template <typename Read>
QuickAnswer readIfReady(std::vector<StatisticsRow>& rows, std::uint64_t& answered, sqlite3* db, Read&& read)
{
    rows.clear();
    if (!tryRun(db, u"BEGIN;")) return QuickAnswer::notReady;
    if (readState(db) != TotalsState::ready) {
        tryRun(db, u"ROLLBACK;");
        return QuickAnswer::notReady;
    }
    Reading reading = read();
    tryRun(db, u"COMMIT;");
    if (reading == Reading::exact) {
        ++answered;
        return QuickAnswer::answered;
    }
    rows.clear();
    return QuickAnswer::notReady;
}

} // namespace

QuickAnswer statisticsFromReadyTotals(
    sqlite3* db, const DateTime& since, GroupingColumn column, std::vector<StatisticsRow>& rows)
{
    return readIfReady(
        rows, storeCallCounts().totalsStatistics, db, [&] { return readTotals(db, since, column, rows); });
}

QuickAnswer monthsFromReadyTotals(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows)
{
    return readIfReady(rows, storeCallCounts().totalsMonths, db, [&] { return readMonths(db, since, rows); });
}

bool statisticsFromMonthTotals(
    sqlite3* db, const DateTime& since, GroupingColumn column, std::vector<StatisticsRow>& rows)
{
    return readReady(
        db, rows, storeCallCounts().totalsStatistics, [&] { return readTotals(db, since, column, rows); });
}

bool monthsFromMonthTotals(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows)
{
    return readReady(db, rows, storeCallCounts().totalsMonths, [&] { return readMonths(db, since, rows); });
}

} // namespace store
