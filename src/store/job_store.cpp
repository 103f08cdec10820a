// Job store: connection, schema, date-time text, recording, statistics and
// saved dates, all through SQLite's UTF-16 interface with bound values.
#include "store/job_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/failure.h"
#include "common/strings.h"
#include "store/civil_days.h"
#include "store/month_totals.h"
#include "store/schema_terms.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

// ---- the wait for a busy file ------------------------------------------------------------

// Saved-date operations run on the user-interface thread and give up on a
// busy file after about five seconds.
constexpr int savedDateBusyRetries = 5000 / 90;

// Makes the call while it is busy, but at most `retries` more times.
template <typename Call> int whileBusyAtMost(int retries, Call&& call)
{
    const auto since = std::chrono::steady_clock::now();
    for (;;) {
        int result = call();
        if (!isBusy(result) || retries-- == 0) return result;
        std::this_thread::sleep_for(busyPause(since));
    }
}

// ---- schema ------------------------------------------------------------------------------------

constexpr char16_t jobsTableName[] = u"tbTrabajos";
constexpr char16_t datesTableName[] = u"tbFechas";

// One read of the schema table sees both tables and the indexes, so that
// opening a complete file costs a single query.
constexpr char16_t schemaQuery[]
    = u"Select name, sql from sqlite_master where type = 'table' or type = 'index';";

constexpr char16_t createJobsTable[] = u"create table if not exists tbTrabajos"
                                       u" (trllapri Integer primary key autoincrement,"
                                       u"trfecha text,"
                                       u"trusuario text(100),"
                                       u"trmaquina text(100), trimpresora text(100),"
                                       u"trnumpags integer);";
constexpr char16_t createDatesTable[] = u"create table if not exists tbFechas "
                                        u"(fellapri integer primary key autoincrement,"
                                        u"fefecha text,"
                                        u"fememo text(261) );";

// Plain column indexes only, and a partial index of operators only: a file
// must stay readable by every SQLite 3 another program may open it with, and
// versions before 3.9 refuse the whole file at the first index on an
// expression. The statistics read the jobs of a period's first, partial
// month through them, and the jobs of a short period when the month totals
// cannot answer.
struct IndexDefinition {
    const char16_t* name;
    const char16_t* columns;
    const char16_t* where; // null for a full index
};
constexpr IndexDefinition storeIndexes[] = {
    {u"ixTrabajosFecha", u"(trfecha)", nullptr},
    {u"ixTrabajosFechaIrregular", u"(trfecha)", irregularDateTerm},
};
// Indexes by grouping column of earlier versions, made for long periods that
// the month totals now answer. They are no longer made; a plain one is left
// to the file (it costs nothing to keep and an earlier version would only
// make it again), one on julianday(trfecha) is dropped, since it makes the
// file unreadable for SQLite before 3.9.
constexpr const char16_t* retiredIndexes[]
    = {u"ixTrabajosImpresora", u"ixTrabajosUsuario", u"ixTrabajosMaquina"};

std::u16string createIndexStatement(const IndexDefinition& index)
{
    std::u16string text = u"create index if not exists ";
    text += index.name;
    text += u" on tbTrabajos ";
    text += index.columns;
    if (index.where) {
        text += u" where ";
        text += index.where;
    }
    return text + u";";
}

// Earlier versions of the program indexed julianday(trfecha) under the
// names of our indexes and of the retired ones.
bool isExpressionIndex(const std::u16string& sql)
{
    return sql.find(u"julianday") != std::u16string::npos;
}

void runSchemaStatement(
    sqlite3* db, const char16_t* text, const char16_t* compileLine, const char16_t* stepLine)
{
    ++storeCallCounts().schemaStatements;
    Statement statement = prepare(db, text, compileLine);
    if (step(statement.get(), stepLine) != SQLITE_DONE) storeFailure(stepLine);
}

// The indexes only speed the statistics up: a file in which one cannot be
// built or dropped (a jobs table of another shape, a read-only file) still
// opens, and the operation that needs the missing column reports its own
// failure.
void tryIndexStatement(sqlite3* db, const std::u16string& statementText)
{
    ++storeCallCounts().schemaStatements;
    sqlite3_stmt* raw = nullptr;
    if (untilNotBusy([&] { return sqlite3_prepare16_v2(db, statementText.c_str(), -1, &raw, nullptr); })
        != SQLITE_OK)
        return;
    Statement statement(raw);
    untilNotBusy([&] { return sqlite3_step(statement.get()); });
}

// ---- saved dates share one pattern: open, one statement, close ---------------------------------------

Statement prepareSavedDates(sqlite3* db, const char16_t* text, const char16_t* failLine)
{
    sqlite3_stmt* raw = nullptr;
    int result = whileBusyAtMost(
        savedDateBusyRetries, [&] { return sqlite3_prepare16_v2(db, text, -1, &raw, nullptr); });
    Statement statement(raw);
    if (result != SQLITE_OK || !statement) storeFailure(failLine);
    return statement;
}

int stepSavedDates(sqlite3_stmt* statement)
{
    return whileBusyAtMost(savedDateBusyRetries, [&] { return sqlite3_step(statement); });
}

void finishSavedDates(Statement statement, Database db)
{
    statement.reset();
    closeJobDatabase(std::move(db));
}

} // namespace

namespace store {

void ensureIndexes(sqlite3* db)
{
    bool indexFound[std::size(storeIndexes)] = {};
    bool indexOutdated[std::size(storeIndexes)] = {};
    bool retiredOutdated[std::size(retiredIndexes)] = {};
    {
        Statement query = prepare(db, schemaQuery, u"215");
        while (step(query.get(), u"215") == SQLITE_ROW) {
            std::u16string name = columnText(query.get(), 0);
            for (std::size_t i = 0; i < std::size(storeIndexes); ++i) {
                if (name != storeIndexes[i].name) continue;
                indexFound[i] = true;
                indexOutdated[i] = isExpressionIndex(columnText(query.get(), 1));
            }
            for (std::size_t i = 0; i < std::size(retiredIndexes); ++i)
                if (name == retiredIndexes[i])
                    retiredOutdated[i] = isExpressionIndex(columnText(query.get(), 1));
        }
    }
    auto drop = [&](const char16_t* name) {
        tryIndexStatement(db, std::u16string(u"drop index if exists ") + name + u";");
    };
    for (std::size_t i = 0; i < std::size(storeIndexes); ++i) {
        if (indexOutdated[i]) drop(storeIndexes[i].name);
        if (!indexFound[i] || indexOutdated[i]) tryIndexStatement(db, createIndexStatement(storeIndexes[i]));
    }
    for (std::size_t i = 0; i < std::size(retiredIndexes); ++i)
        if (retiredOutdated[i]) drop(retiredIndexes[i]);
}

int missingIndexes(sqlite3* db)
{
    int missing = static_cast<int>(std::size(storeIndexes));
    Statement query = prepare(db, schemaQuery, u"215");
    while (step(query.get(), u"215") == SQLITE_ROW) {
        std::u16string name = columnText(query.get(), 0);
        for (const IndexDefinition& index : storeIndexes)
            if (name == index.name && !isExpressionIndex(columnText(query.get(), 1))) --missing;
    }
    return missing;
}

} // namespace store

// ---- connection ------------------------------------------------------------------------------------

void DatabaseCloser::operator()(sqlite3* connection) const
{
    forgetConnection(connection);
    // close_v2 also copes with statements still alive on an early exit.
    sqlite3_close_v2(connection);
}

std::u16string jobDatabasePath(const std::u16string& folder)
{
#ifdef _WIN32
    constexpr char16_t separator = u'\\';
#else
    constexpr char16_t separator = u'/';
#endif
    std::u16string path = folder;
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += separator;
    return path + databaseFileName;
}

Database openJobDatabase(const std::u16string& folder, SchemaWork work)
{
    const std::u16string path = jobDatabasePath(folder);
    Database db;
    int result = untilNotBusy([&] {
        sqlite3* raw = nullptr;
        int opened = sqlite3_open16(path.c_str(), &raw);
        db.reset(raw); // even a failed opening hands back a handle to release
        noteConnection(raw);
        return opened;
    });
    if (result != SQLITE_OK) storeFailure(u"205");
    if (const std::atomic<bool>* flag = interruptFlag()) {
        // Every few thousand steps: a long statement stops soon after the flag is set.
        sqlite3_progress_handler(
            db.get(), 10000,
            [](void* context) { return static_cast<const std::atomic<bool>*>(context)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(flag));
    }

    bool jobsFound = false, datesFound = false;
    {
        Statement query = prepare(db.get(), schemaQuery, u"215");
        while (step(query.get(), u"215") == SQLITE_ROW) {
            std::u16string name = columnText(query.get(), 0);
            if (name == jobsTableName) jobsFound = true;
            if (name == datesTableName) datesFound = true;
        }
    }
    if (!jobsFound || !datesFound) {
        runSchemaStatement(db.get(), createJobsTable, u"252", u"260");
        runSchemaStatement(db.get(), createDatesTable, u"277", u"285");
    }
    if (work == SchemaWork::tablesAndIndexes) ensureIndexes(db.get());
    return db;
}

void closeJobDatabase(Database db)
{
    if (sqlite3_close(db.get()) != SQLITE_OK) storeFailure(u"314");
    forgetConnection(db.get());
    db.release();
}

// ---- date-time text --------------------------------------------------------------------------------

std::u16string formatDateTimeText(const DateTime& time)
{
    char text[64];
    int length = std::snprintf(text, sizeof text, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", time.year, time.month,
        time.day, time.hour, time.minute, time.second, time.milliseconds);
    return std::u16string(text, text + std::clamp(length, 0, static_cast<int>(sizeof text) - 1));
}

void parseDateTimeText(const char16_t* text, DateTime& time)
{
    std::uint16_t* const fields[]
        = {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second, &time.milliseconds};
    constexpr char16_t separators[] = {u'-', u'-', u'T', u':', u':', u'.'};
    for (std::uint16_t* field : fields) *field = 0;

    // The text is read as if copied into a 100-unit buffer: nothing past it counts.
    std::size_t length = 0;
    while (text && length < dateTimeTextCapacity && text[length] != 0) ++length;
    std::size_t at = 0;
    for (std::size_t index = 0; index < std::size(fields); ++index) {
        if (index > 0) {
            if (at >= length || text[at] != separators[index - 1]) return;
            ++at;
        }
        // As %d reads: white space, an optional sign, at least one digit.
        while (at < length && wstrIsSpace(text[at])) ++at;
        bool negative = false;
        if (at < length && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
        std::size_t digitsFrom = at;
        std::uint16_t value = 0; // unsigned arithmetic keeps the low 16 bits of any length of digits
        while (at < length && text[at] >= u'0' && text[at] <= u'9')
            value = static_cast<std::uint16_t>(value * 10u + static_cast<unsigned>(text[at++] - u'0'));
        if (at == digitsFrom) return;
        *fields[index] = negative ? static_cast<std::uint16_t>(0u - value) : value;
    }
}

// ---- recording a finished job ---------------------------------------------------------------------

std::int64_t jobPageCount(const JobRecord& job)
{
    std::int64_t pages = job.pagesPrinted != 0 ? job.pagesPrinted : job.totalPages;
    std::int64_t copies = 1;
    if (job.hasDevMode && (job.dmFields & deviceModeCopies) != 0)
        copies = std::max<std::int64_t>(job.dmCopies, 1);
    return pages * copies;
}

JobRow jobRowOf(const JobRecord& job, LocalTimeConverter toLocal)
{
    JobRow row;
    if (!toLocal || !toLocal(job.submitted, row.submitted)) row.submitted = job.submitted;
    row.user = job.userName.value_or(u"");
    row.machine = job.machineName.value_or(u"");
    row.printer = job.printerName.value_or(u"");
    row.pages = jobPageCount(job);
    return row;
}

void recordRows(const std::u16string& folder, const std::vector<JobRow>& rows)
{
    if (rows.empty()) return;
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    // One transaction: every row or, should the file stay busy, none.
    beginWriting(db.get());
    insertJobRows(db.get(), rows);
    commitWriting(db.get());
    closeJobDatabase(std::move(db));
}

void recordJob(const std::u16string& folder, const JobRecord& job, LocalTimeConverter toLocal)
{
    recordRows(folder, {jobRowOf(job, toLocal)});
}

// ---- statistics ------------------------------------------------------------------------------------

const char16_t* groupingColumnName(GroupingColumn column)
{
    switch (column) {
    case GroupingColumn::printer: return u"trimpresora";
    case GroupingColumn::user: return u"trusuario";
    case GroupingColumn::machine: return u"trmaquina";
    }
    return u"trusuario";
}

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

// The whole comparison as the figures are defined: every row whose trfecha
// julianday() reads at or after the start.
std::u16string wholeStatisticsText(const std::u16string& column)
{
    return u"select " + column
        + u", sum(trnumpags), count(trnumpags) from tbTrabajos where julianday(trfecha) >= julianday(?1) "
          u"group by "
        + column + u";";
}

// The same figures from fewer rows: the rows at or above the bound in text
// order, and below it only those of the irregular index (the term is the
// index's own). The two halves never share a row, and each keeps the exact
// julianday() comparison.
std::u16string narrowedStatisticsText(const std::u16string& column)
{
    std::u16string text = u"select " + column + u", sum(p), count(p) from (select " + column
        + u", trnumpags as p from tbTrabajos where trfecha >= ?2 and julianday(trfecha) >= julianday(?1) "
          u"union all select "
        + column + u", trnumpags from tbTrabajos where trfecha < ?2 and ";
    text += irregularDateTerm;
    text += u" and julianday(trfecha) >= julianday(?1)) group by " + column + u";";
    return text;
}

} // namespace

namespace {

// Every row's group from the jobs themselves, where the totals cannot answer:
// the narrowed query for a short period, the whole one for a long one.
void statisticsFromJobs(sqlite3* db, const DateTime& since, GroupingColumn column,
    const std::function<void(const StatisticsRow&)>& onRow)
{
    const std::u16string bound = narrowingBound(since);
    const std::u16string name = groupingColumnName(column);
    const bool narrowed = periodIsShort(db, bound);
    if (narrowed) ++storeCallCounts().narrowedStatistics;
    Statement query = prepare(db, narrowed ? narrowedStatisticsText(name) : wholeStatisticsText(name), u"74");
    bindText(query.get(), 1, formatDateTimeText(since), u"74");
    if (narrowed) bindText(query.get(), 2, bound, u"74");
    bool delivered = false;
    while (step(query.get(), u"74", !delivered) == SQLITE_ROW) {
        delivered = true;
        onRow(StatisticsRow{
            columnText(query.get(), 0), columnText(query.get(), 1), columnText(query.get(), 2)});
    }
}

// Every row's month from the jobs themselves.
void monthsFromJobs(sqlite3* db, const DateTime& since, std::vector<StatisticsRow>& rows)
{
    Statement query = prepare(db,
        u"select strftime('%Y-%m', julianday(trfecha)), sum(trnumpags), count(trnumpags) from tbTrabajos "
        u"where julianday(trfecha) >= julianday(?1) group by 1;",
        u"74");
    bindText(query.get(), 1, formatDateTimeText(since), u"74");
    bool delivered = false;
    while (step(query.get(), u"74", !delivered) == SQLITE_ROW) {
        delivered = true;
        rows.push_back(StatisticsRow{
            columnText(query.get(), 0), columnText(query.get(), 1), columnText(query.get(), 2)});
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
    // Page counts only the jobs add up exactly stay in the file whatever is
    // prepared: they are read from the jobs, or the view would wait for ever.
    if (answer == QuickAnswer::needsJobs)
        statisticsFromJobs(db.get(), since, column, [&](const StatisticsRow& row) { kept.push_back(row); });
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
    if (answer == QuickAnswer::needsJobs) monthsFromJobs(db.get(), since, rows);
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

// ---- saved dates ---------------------------------------------------------------------------------

bool findSavedDate(const std::u16string& folder, DateTime& date, const std::u16string& memo)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    Statement query = prepareSavedDates(db.get(), u"select fefecha from tbFechas where fememo = ?;", u"336");
    bindText(query.get(), 1, memo, u"336");
    int result = stepSavedDates(query.get());
    if (result != SQLITE_ROW && result != SQLITE_DONE) storeFailure(u"359");
    bool found = result == SQLITE_ROW;
    if (found) {
        // Only the first row of a memo counts; a text of any length is cut to the read buffer.
        std::u16string saved = columnText(query.get(), 0);
        if (saved.size() > dateTimeTextCapacity) saved.resize(dateTimeTextCapacity);
        parseDateTimeText(saved.c_str(), date);
    }
    finishSavedDates(std::move(query), std::move(db));
    return found;
}

void addSavedDate(const std::u16string& folder, const DateTime& date, const std::u16string& memo)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    Statement insert
        = prepareSavedDates(db.get(), u"insert into tbFechas (fefecha, fememo) values (?, ?);", u"379");
    bindText(insert.get(), 1, formatDateTimeText(date), u"379");
    bindText(insert.get(), 2, memo, u"379");
    if (stepSavedDates(insert.get()) != SQLITE_DONE) storeFailure(u"382");
    finishSavedDates(std::move(insert), std::move(db));
}

void listSavedDateNames(const std::u16string& folder, SavedNamesFill fill,
    const std::function<bool(const std::u16string&)>& onName)
{
    const bool append = fill == SavedNamesFill::append;
    const char16_t* compileLine = append ? u"398" : u"431";
    const char16_t* refusedLine = append ? u"411" : u"444";
    const char16_t* stepLine = append ? u"414" : u"447";

    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    Statement query
        = prepareSavedDates(db.get(), u"select fememo from tbFechas order by fememo;", compileLine);
    for (bool delivered = false;; delivered = true) {
        // Only the first step can meet a busy file; later ones read under the lock it took.
        int result = delivered ? sqlite3_step(query.get()) : stepSavedDates(query.get());
        if (result == SQLITE_DONE) break;
        if (result != SQLITE_ROW) storeFailure(stepLine);
        if (!onName(columnText(query.get(), 0))) storeFailure(refusedLine);
    }
    finishSavedDates(std::move(query), std::move(db));
}

void deleteSavedDate(const std::u16string& folder, const std::u16string& memo)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    Statement remove = prepareSavedDates(db.get(), u"delete from tbFechas where fememo = ?;", u"463");
    bindText(remove.get(), 1, memo, u"463");
    if (stepSavedDates(remove.get()) != SQLITE_DONE) storeFailure(u"466");
    finishSavedDates(std::move(remove), std::move(db));
}
