#include "store/job_log.h"

#include <sqlite3.h>

#include <cstdio>

#include "common/strings.h"
#include "store/date_time_text.h"
#include "store/month_totals.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

// Texts from the start on that begin with a digit: the dates the program
// writes, through the index on trfecha.
constexpr char16_t periodTerm[] = u"trfecha >= ?1 AND trfecha < ':'";

const char16_t* keyOf(LogColumn column)
{
    switch (column) {
    case LogColumn::time: return u"trfecha";
    case LogColumn::user: return u"CAST(ifnull(trusuario, '') AS TEXT)";
    case LogColumn::machine: return u"CAST(ifnull(trmaquina, '') AS TEXT)";
    case LogColumn::printer: return u"CAST(ifnull(trimpresora, '') AS TEXT)";
    case LogColumn::pages: return u"ifnull(CAST(trnumpags AS REAL), -1.0e300)";
    }
    return u"trfecha";
}

// The filter's terms after the period's: ?2 the name, ?3 the search pattern.
std::u16string filterTerms(const LogFilter& filter)
{
    std::u16string terms;
    if (filter.only) terms += u" AND " + std::u16string(groupingColumnName(*filter.only)) + u" = ?2";
    if (!filter.search.empty())
        terms
            += u" AND (trusuario LIKE ?3 ESCAPE '\\' OR trmaquina LIKE ?3 ESCAPE '\\' OR trimpresora LIKE ?3 "
               u"ESCAPE '\\' OR dtdocumento LIKE ?3 ESCAPE '\\')";
    return terms;
}

std::u16string likePattern(const std::u16string& search)
{
    std::u16string pattern = u"%";
    for (char16_t unit : search) {
        if (unit == u'%' || unit == u'_' || unit == u'\\') pattern += u'\\';
        pattern += unit;
    }
    return pattern + u"%";
}

bool bindFilter(sqlite3_stmt* query, const LogFilter& filter)
{
    if (!tryBindText(query, 1, formatDateTimeText(filter.since))) return false;
    if (filter.only && !tryBindText(query, 2, filter.onlyValue)) return false;
    return filter.search.empty() || tryBindText(query, 3, likePattern(filter.search));
}

constexpr char16_t entryColumns[] = u"SELECT trllapri, trfecha, trusuario, trmaquina, trimpresora, "
                                    u"trnumpags, dtdocumento, dtpapel, dtcolor, "
                                    u"dtcaras, dthojas, dtcoste, ";
constexpr char16_t entrySource[] = u" FROM tbTrabajos LEFT JOIN tbDetalles ON dtllapri = trllapri WHERE ";

std::optional<std::int64_t> optionalNumber(sqlite3_stmt* query, int column)
{
    if (sqlite3_column_type(query, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(query, column);
}

std::optional<std::u16string> optionalText(sqlite3_stmt* query, int column)
{
    if (sqlite3_column_type(query, column) == SQLITE_NULL) return std::nullopt;
    return columnText(query, column);
}

LogEntry entryOf(sqlite3_stmt* query)
{
    LogEntry entry;
    entry.row = sqlite3_column_int64(query, 0);
    entry.time = columnText(query, 1);
    entry.user = columnText(query, 2);
    entry.machine = columnText(query, 3);
    entry.printer = columnText(query, 4);
    entry.pages = columnText(query, 5);
    entry.document = optionalText(query, 6);
    entry.paper = optionalText(query, 7);
    entry.colour = optionalNumber(query, 8);
    entry.sides = optionalNumber(query, 9);
    entry.sheets = optionalNumber(query, 10);
    entry.cost = optionalNumber(query, 11);
    if (sqlite3_column_type(query, 12) == SQLITE_FLOAT || sqlite3_column_type(query, 12) == SQLITE_INTEGER)
        entry.numberKey = sqlite3_column_double(query, 12);
    else
        entry.textKey = columnText(query, 12);
    return entry;
}

} // namespace

namespace {

std::vector<LogEntry> readPage(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    const LogEntry* after, std::size_t count, bool fromEnd, std::size_t skip)
{
    const bool descending = order.descending != fromEnd;
    const std::u16string key = keyOf(order.column);
    const std::u16string beyond = descending ? u" < " : u" > ";
    std::u16string text = entryColumns + key + u" AS k" + entrySource + periodTerm + filterTerms(filter);
    // Written so the bound of the key alone narrows the index range.
    if (after)
        text += u" AND " + key + (descending ? u" <= ?4" : u" >= ?4") + u" AND (" + key + beyond
            + u"?4 OR trllapri" + beyond + u"?5)";
    text += u" ORDER BY k" + std::u16string(descending ? u" DESC" : u"") + u", trllapri"
        + (descending ? u" DESC" : u"") + u" LIMIT ?6 OFFSET ?7;";
    Statement query = prepare(db, text, u"75");
    bool bound = bindFilter(query.get(), filter);
    if (after) {
        if (order.column == LogColumn::pages)
            sqlite3_bind_double(query.get(), 4, after->numberKey);
        else
            bound = bound && tryBindText(query.get(), 4, after->textKey);
        sqlite3_bind_int64(query.get(), 5, after->row);
    }
    if (!bound) storeFailure(u"78");
    sqlite3_bind_int64(query.get(), 6, static_cast<sqlite3_int64>(count));
    sqlite3_bind_int64(query.get(), 7, static_cast<sqlite3_int64>(skip));
    std::vector<LogEntry> entries;
    bool delivered = false;
    while (step(query.get(), u"79", !delivered) == SQLITE_ROW) {
        delivered = true;
        entries.push_back(entryOf(query.get()));
    }
    return entries;
}

} // namespace

std::vector<LogEntry> readLogPage(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    const LogEntry* after, std::size_t count, bool fromEnd)
{
    return readPage(db, filter, order, after, count, fromEnd, 0);
}

std::vector<LogEntry> readLogPageAt(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    std::size_t skip, std::size_t count, bool fromEnd)
{
    return readPage(db, filter, order, nullptr, count, fromEnd, skip);
}

namespace {

// The first whole month of the period: its key (year * 100 + month) and its
// first day's text; the start itself when it is a month's first moment.
std::pair<std::int64_t, std::u16string> firstWholeMonth(const DateTime& since)
{
    int year = since.year, month = since.month;
    const bool atStart = since.day == 1 && since.hour == 0 && since.minute == 0 && since.second == 0
        && since.milliseconds == 0;
    if (!atStart && ++month > 12) month = 1, ++year;
    char text[32];
    std::snprintf(text, sizeof text, "%.4d-%.2d-01", year, month);
    return {std::int64_t{year} * 100 + month, asciiText(text)};
}

} // namespace

std::int64_t countLogEntries(sqlite3* db, const LogFilter& filter)
{
    const std::u16string only = filter.only
        ? u" AND " + std::u16string(groupingColumnName(*filter.only)) + u" = ?2"
        : std::u16string();
    LogFilter plain = filter;
    plain.search.clear();
    Statement query;
    const bool quick = filter.since.year >= 1000 && filter.since.year <= 9998 && monthTotalsReady(db);
    const auto [month, monthText] = firstWholeMonth(filter.since);
    if (quick) {
        // tmgrupo 1 (printers) holds every row once.
        const int grouping = filter.only ? (*filter.only == GroupingColumn::printer ? 1
                                     : *filter.only == GroupingColumn::user         ? 2
                                                                                    : 3)
                                         : 1;
        query = prepare(db,
            u"SELECT ifnull((SELECT sum(tmfilas) FROM tbTotalesMes WHERE tmgrupo = " + decimalText(grouping)
                + u" AND tmmes >= ?4" + (filter.only ? u" AND tmnulo = 0 AND tmvalor = ?2" : u"")
                + u"), 0) + (SELECT count(*) FROM tbTrabajos WHERE trfecha >= ?1 AND trfecha < ?5" + only
                + u");",
            u"76");
        sqlite3_bind_int64(query.get(), 4, month);
    } else {
        query = prepare(
            db, u"SELECT count(*) FROM tbTrabajos WHERE " + std::u16string(periodTerm) + only + u";", u"80");
    }
    if (!bindFilter(query.get(), plain) || (quick && !tryBindText(query.get(), 5, monthText)))
        storeFailure(u"81");
    // A count always gives its row.
    if (step(query.get(), u"82") != SQLITE_ROW) return 0;
    return sqlite3_column_int64(query.get(), 0);
}

namespace {

// A search looks at every job of the period: in slices of row numbers, the
// newest first, so it can say how far it got and stop between two slices.
// The period's terms stand behind a unary plus, so that a slice is read by
// its row numbers and never through the index of every date.
bool searchLog(sqlite3* db, const LogFilter& filter, const std::function<bool(const LogEntry&)>& onEntry,
    const std::atomic<bool>* cancel, const std::function<void(int permille)>& onProgress)
{
    constexpr std::int64_t slice = 65536;
    Statement bounds
        = prepare(db, u"SELECT ifnull(min(trllapri), 0), ifnull(max(trllapri), -1) FROM tbTrabajos;", u"77");
    if (step(bounds.get(), u"83") != SQLITE_ROW) return true;
    const std::int64_t lowest = sqlite3_column_int64(bounds.get(), 0),
                       highest = sqlite3_column_int64(bounds.get(), 1);
    Statement query = prepare(db,
        entryColumns + std::u16string(u"0 AS k") + entrySource
            + u"trllapri > ?7 AND trllapri <= ?8 AND +trfecha >= ?1 AND +trfecha < ':'" + filterTerms(filter)
            + u" ORDER BY trllapri DESC;",
        u"84");
    for (std::int64_t top = highest; top >= lowest; top -= slice) {
        if (cancel && cancel->load()) return false;
        sqlite3_reset(query.get());
        if (!bindFilter(query.get(), filter)) storeFailure(u"85");
        sqlite3_bind_int64(query.get(), 7, top - slice);
        sqlite3_bind_int64(query.get(), 8, top);
        bool delivered = false;
        while (step(query.get(), u"86", !delivered) == SQLITE_ROW) {
            delivered = true;
            if (!onEntry(entryOf(query.get()))) return false;
        }
        if (onProgress)
            onProgress(static_cast<int>(
                (highest - std::max(top - slice, lowest - 1)) * 1000 / (highest - lowest + 1)));
    }
    return true;
}

} // namespace

bool forEachLogEntry(sqlite3* db, const LogFilter& filter, const LogOrder& order,
    const std::function<bool(const LogEntry&)>& onEntry, const std::atomic<bool>* cancel,
    const std::function<void(int permille)>& onProgress)
{
    if (!filter.search.empty()) return searchLog(db, filter, onEntry, cancel, onProgress);
    constexpr std::size_t pageSize = 4096;
    const std::int64_t total = std::max<std::int64_t>(countLogEntries(db, filter), 1);
    std::int64_t given = 0;
    std::optional<LogEntry> last;
    for (;;) {
        if (cancel && cancel->load()) return false;
        std::vector<LogEntry> page = readLogPage(db, filter, order, last ? &*last : nullptr, pageSize);
        for (const LogEntry& entry : page)
            if (!onEntry(entry)) return false;
        given += static_cast<std::int64_t>(page.size());
        if (onProgress) onProgress(static_cast<int>(std::min<std::int64_t>(given * 1000 / total, 1000)));
        if (page.size() < pageSize) return true;
        last = page.back();
    }
}
