// The kept month totals: their schema, the triggers that keep them, the
// checks before they are read, their building and mending, and the
// statistics read from them.
//
// What can put them in doubt, and how each case is met:
// - a program drops a trigger or a table of ours, or changes one: the
//   statements in sqlite_master differ from ours, and everything is made
//   anew and counted from the jobs;
// - rows written while the triggers were dropped, or by a connection that
//   switched triggers off: the highest row number the triggers saw is kept,
//   and SQLite's own sqlite_sequence says whether a higher one was given out
//   since; if so, the totals are counted anew;
// - an insert or an update that replaces a row (INSERT OR REPLACE, or a new
//   trllapri that is taken): SQLite deletes the old row without firing the
//   delete trigger, so a trigger that runs before the change marks the
//   totals as doubtful when the row number is taken, and they are counted
//   anew;
// - another SQLite version: its julianday() reads some texts differently
//   from ours (3.8.5 takes '20160305' for a Julian day number and accepts
//   days after 9999-12-31), so the month it puts a row in may not be ours.
//   Its triggers note every change they make in tbTotalesAjenos, and the
//   next statistics move each noted row to the month our julianday() gives;
// - our own SQLite changed (a newer sqlite3.dll): the totals are counted anew.
#include "store/month_totals.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/strings.h"
#include "store/civil_days.h"
#include "store/schema_terms.h"
#include "store/sqlite_calls.h"

namespace store {

namespace {

// Raised whenever the tables or the triggers change meaning; a file of
// another layout has its totals counted anew.
constexpr int totalsLayout = 2;

// The month a trfecha counts in: year * 100 + month of the date julianday()
// makes of it, read back from that day number so that the month always
// agrees with the value the statistics compare (strftime() of the text
// itself keeps the text's own month for a day after the month's end in
// older versions). Null when julianday() cannot read the text: such a row
// never counts. A text that follows the clock has a day that moves on, so
// such rows get a month of their own, counted whenever the start has passed.
constexpr char nowMonth[] = "-1000000000";

// True for the texts julianday() reads as the present moment: 'now', and
// (SQLite 3.42 on) 'subsec' and 'subsecond', in any case. julianday() reads a
// text only up to its first NUL, and so does GLOB, while lower() and = see
// the whole value: 'now' followed by a NUL and anything is the present too.
std::string followsClock(const std::string& date)
{
    return "(" + date + " GLOB '[nN][oO][wW]' OR " + date + " GLOB '[sS][uU][bB][sS][eE][cC]' OR " + date
        + " GLOB '[sS][uU][bB][sS][eE][cC][oO][nN][dD]')";
}

std::string monthOf(const std::string& date)
{
    return "(CASE WHEN " + followsClock(date) + " THEN " + nowMonth + " ELSE CAST(strftime('%Y%m', julianday("
        + date + ")) AS INTEGER) END)";
}

// Page counts the totals add up exactly: integers small enough that no sum
// of them overflows. Anything else (a fraction, text, a blob, a huge count)
// makes SQLite's sum() a floating-point figure, or an error, that only a
// query over the rows themselves reproduces; the totals count such rows
// apart, and a period that holds one is counted from the jobs.
constexpr char plainLimits[] = "BETWEEN -1099511627776 AND 1099511627776";

std::string plainPages(const std::string& pages)
{
    return "(CASE WHEN typeof(" + pages + ") = 'integer' AND " + pages + " " + plainLimits + " THEN " + pages
        + " ELSE 0 END)";
}

std::string oddPages(const std::string& pages)
{
    return "(" + pages + " IS NOT NULL AND NOT (typeof(" + pages + ") = 'integer' AND " + pages + " "
        + plainLimits + "))";
}

struct Grouping {
    int number; // tmgrupo
    const char* column;
};
constexpr Grouping groupings[] = {{1, "trimpresora"}, {2, "trusuario"}, {3, "trmaquina"}};

int groupingNumber(GroupingColumn column)
{
    switch (column) {
    case GroupingColumn::printer: return 1;
    case GroupingColumn::user: return 2;
    case GroupingColumn::machine: return 3;
    }
    return 2;
}

// Adds a row (`row` new) or takes it away (`row` old, sign -1) in its month,
// for the three groupings. The value is kept as it is, text or blob; a null
// value cannot be part of a key, so it is kept as '' with tmnulo set. The
// insert comes first because a row's month and value may have no entry yet,
// and it never conflicts: an OR IGNORE here would take on the conflict rule
// of the statement that fired the trigger.
std::vector<std::string> addRow(const std::string& row, int sign)
{
    const std::string date = row + ".trfecha", pages = row + ".trnumpags", s = std::to_string(sign);
    std::string values;
    for (const Grouping& g : groupings) {
        const std::string value = row + "." + g.column;
        if (!values.empty()) values += " UNION ALL ";
        values += "SELECT " + std::to_string(g.number) + (values.empty() ? " AS g, " : ", ") + value
            + " IS NULL" + (values.empty() ? " AS n, " : ", ") + "ifnull(" + value + ", '')"
            + (values.empty() ? " AS v" : "");
    }
    std::vector<std::string> statements{
        "INSERT INTO tbTotalesMes (tmgrupo, tmmes, tmnulo, tmvalor, tmfilas, tmtrabajos, tmpaginas, tmraras) "
        "SELECT g, b, n, v, 0, 0, 0, 0 FROM (SELECT "
        + monthOf(date) + " AS b) JOIN (" + values
        + ") WHERE b IS NOT NULL AND NOT EXISTS (SELECT 1 FROM tbTotalesMes WHERE tmgrupo = g AND tmmes = b "
          "AND tmnulo = n AND tmvalor = v)"};
    for (const Grouping& g : groupings) {
        const std::string value = row + "." + g.column;
        statements.push_back("UPDATE tbTotalesMes SET tmfilas = tmfilas + " + s
            + ", tmtrabajos = tmtrabajos + " + s + " * (" + pages + " IS NOT NULL), tmpaginas = tmpaginas + "
            + s + " * " + plainPages(pages) + ", tmraras = tmraras + " + s + " * " + oddPages(pages)
            + " WHERE tmgrupo = " + std::to_string(g.number) + " AND tmmes = " + monthOf(date)
            + " AND tmnulo = (" + value + " IS NULL) AND tmvalor = ifnull(" + value + ", '')");
    }
    return statements;
}

// Entries that a row's removal left at nothing go, so the totals stay as
// small as the jobs' months and names.
std::string dropEmptyEntries(const std::string& row)
{
    return "DELETE FROM tbTotalesMes WHERE tmgrupo IN (1, 2, 3) AND tmmes = " + monthOf(row + ".trfecha")
        + " AND tmfilas = 0 AND tmtrabajos = 0 AND tmpaginas = 0 AND tmraras = 0";
}

// Under another SQLite version than the one that counted the totals, each
// change is noted with the month that version gave the row.
std::string noteForeignChange(const std::string& row, int sign)
{
    return "INSERT INTO tbTotalesAjenos (tasigno, tames, tafecha, taimpresora, tausuario, tamaquina, "
           "tapaginas) SELECT "
        + std::to_string(sign) + ", " + monthOf(row + ".trfecha") + ", " + row + ".trfecha, " + row
        + ".trimpresora, " + row + ".trusuario, " + row + ".trmaquina, " + row
        + ".trnumpags WHERE sqlite_version() IS NOT (SELECT tsmotor FROM tbTotalesSello WHERE tsclave = 1)";
}

std::string trigger(const std::string& name, const std::string& when, const std::vector<std::string>& body)
{
    std::string text = "CREATE TRIGGER " + name + " " + when + " BEGIN";
    for (const std::string& statement : body) text += " " + statement + ";";
    return text + " END";
}

template <typename... Lists> std::vector<std::string> joined(const Lists&... lists)
{
    std::vector<std::string> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

struct KeptObject {
    std::string type, name, sql; // sql as sqlite_master holds it: written here in that very form
};

// Only syntax SQLite 3.8.5 reads: every SQLite that opens the file parses
// all of these at its first statement, and fails the whole file if it cannot.
const std::vector<KeptObject>& keptObjects()
{
    static const std::vector<KeptObject> objects = [] {
        const std::string markDoubt = "UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1 AND EXISTS "
                                      "(SELECT 1 FROM tbTrabajos WHERE trllapri = new.trllapri)";
        return std::vector<KeptObject>{
            {"table", "tbTotalesMes",
                "CREATE TABLE tbTotalesMes (tmgrupo integer NOT NULL, tmmes integer NOT NULL, "
                "tmnulo integer NOT NULL, tmvalor NOT NULL, tmfilas integer NOT NULL, "
                "tmtrabajos integer NOT NULL, tmpaginas integer NOT NULL, tmraras integer NOT NULL, "
                "PRIMARY KEY (tmgrupo, tmmes, tmnulo, tmvalor)) WITHOUT ROWID"},
            {"table", "tbTotalesSello",
                "CREATE TABLE tbTotalesSello (tsclave integer PRIMARY KEY, tsformato integer NOT NULL, "
                "tsmotor text NOT NULL, tsultima integer NOT NULL, tsdudosa integer NOT NULL)"},
            {"table", "tbTotalesAjenos",
                "CREATE TABLE tbTotalesAjenos (taorden integer PRIMARY KEY, tasigno integer NOT NULL, tames "
                "integer, tafecha, taimpresora, tausuario, tamaquina, tapaginas)"},
            {"trigger", "trTotalesAlta",
                trigger("trTotalesAlta", "AFTER INSERT ON tbTrabajos",
                    joined(addRow("new", 1),
                        std::vector<std::string>{noteForeignChange("new", 1),
                            "UPDATE tbTotalesSello SET tsultima = new.trllapri WHERE "
                            "tsclave = 1 AND new.trllapri > tsultima"}))},
            {"trigger", "trTotalesBaja",
                trigger("trTotalesBaja", "AFTER DELETE ON tbTrabajos",
                    joined(addRow("old", -1),
                        std::vector<std::string>{dropEmptyEntries("old"), noteForeignChange("old", -1)}))},
            {"trigger", "trTotalesCambio",
                trigger("trTotalesCambio",
                    "AFTER UPDATE OF trfecha, trusuario, trmaquina, trimpresora, trnumpags ON tbTrabajos",
                    joined(addRow("old", -1),
                        std::vector<std::string>{dropEmptyEntries("old"), noteForeignChange("old", -1)},
                        addRow("new", 1), std::vector<std::string>{noteForeignChange("new", 1)}))},
            // A new row number that is taken means the old row goes without its
            // delete trigger (REPLACE), or the insert is dropped (IGNORE): either
            // way the totals can no longer be trusted, so they are counted anew.
            // An automatic row number reads -1 here.
            {"trigger", "trTotalesDuda",
                trigger("trTotalesDuda", "BEFORE INSERT ON tbTrabajos WHEN new.trllapri <> -1", {markDoubt})},
            {"trigger", "trTotalesDudaCambio",
                trigger("trTotalesDudaCambio",
                    "BEFORE UPDATE OF trllapri ON tbTrabajos WHEN new.trllapri IS NOT old.trllapri",
                    {markDoubt})},
            // An explicit row number of -1 reads as an automatic one above, so
            // a row it replaced goes unnoticed there. After the insert the row
            // number is the real one, and only an explicit insert gives -1.
            {"trigger", "trTotalesDudaMenosUno",
                trigger("trTotalesDudaMenosUno", "AFTER INSERT ON tbTrabajos WHEN new.trllapri = -1",
                    {"UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1"})},
        };
    }();
    return objects;
}

std::string narrow(const std::u16string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char16_t unit : text) result += unit < 0x80 ? static_cast<char>(unit) : '?';
    return result;
}

// ---- checks ----------------------------------------------------------------------------------------

enum class TotalsState {
    ready,     // the totals may be read as they are
    reconcile, // another SQLite version changed rows: move them to our months
    recount,   // the objects are sound, their figures are not
    remake,    // an object is missing or not ours: everything anew
};

// Read inside the transaction that goes on to read the totals, so nothing
// can change between the check and the figures. Empty when the file cannot
// even be asked.
std::optional<TotalsState> readState(sqlite3* db)
{
    std::u16string names;
    for (const KeptObject& object : keptObjects())
        names += (names.empty() ? u"'" : u", '") + asciiText(object.name) + u"'";
    Statement schema
        = tryPrepare(db, u"SELECT type, name, sql FROM sqlite_master WHERE name IN (" + names + u");");
    if (!schema) return std::nullopt;
    std::size_t matching = 0;
    for (int result; (result = untilNotBusy([&] { return sqlite3_step(schema.get()); })) != SQLITE_DONE;) {
        if (result != SQLITE_ROW) return std::nullopt;
        const std::string type = narrow(columnText(schema.get(), 0)),
                          name = narrow(columnText(schema.get(), 1));
        const std::u16string sql = columnText(schema.get(), 2);
        for (const KeptObject& object : keptObjects())
            if (object.name == name && object.type == type && sql == asciiText(object.sql)) ++matching;
    }
    if (matching != keptObjects().size()) return TotalsState::remake;

    Statement stamp = tryPrepare(db,
        u"SELECT tsformato = " + decimalText(totalsLayout)
            + u" AND tsmotor = sqlite_version() AND tsdudosa = 0 AND tsultima = ifnull((SELECT seq FROM "
              u"sqlite_sequence WHERE name = 'tbTrabajos'), 0), EXISTS (SELECT 1 FROM tbTotalesAjenos) FROM "
              u"tbTotalesSello WHERE tsclave = 1;");
    if (!stamp) return std::nullopt;
    int result = untilNotBusy([&] { return sqlite3_step(stamp.get()); });
    if (result == SQLITE_DONE) return TotalsState::recount;
    if (result != SQLITE_ROW) return std::nullopt;
    if (sqlite3_column_int(stamp.get(), 0) != 1) return TotalsState::recount;
    return sqlite3_column_int(stamp.get(), 1) != 0 ? TotalsState::reconcile : TotalsState::ready;
}

// ---- building and mending, each inside a write transaction -----------------------------------

// Counts every row from scratch with our julianday(). One pass over the jobs
// sums them by month and all three names at once (a few rows per month and
// combination of names); the three groupings are summed from those.
bool recount(sqlite3* db)
{
    ++storeCallCounts().totalsCounted;
    if (!tryRun(db, u"DELETE FROM tbTotalesMes;") || !tryRun(db, u"DELETE FROM tbTotalesAjenos;")
        || !tryRun(db, u"DROP TABLE IF EXISTS temp.tbTotalesCuenta;")
        // Columns without a type, so every value keeps its storage class.
        || !tryRun(db, u"CREATE TEMP TABLE tbTotalesCuenta (b, i, u, m, f, j, g, o);")
        || !tryRun(db,
            asciiText("INSERT INTO temp.tbTotalesCuenta SELECT b, i, u, m, count(*), count(p), sum("
                + plainPages("p") + "), sum(" + oddPages("p") + ") FROM (SELECT " + monthOf("trfecha")
                + " AS b, trimpresora AS i, trusuario AS u, trmaquina AS m, trnumpags AS p FROM tbTrabajos) "
                  "WHERE b IS NOT NULL GROUP BY b, i, u, m;")))
        return false;
    for (const char* column : {"i", "u", "m"}) {
        const int grouping = column[0] == 'i' ? 1 : column[0] == 'u' ? 2 : 3;
        const std::string v = column;
        if (!tryRun(db,
                asciiText("INSERT INTO tbTotalesMes (tmgrupo, tmmes, tmnulo, tmvalor, tmfilas, tmtrabajos, "
                          "tmpaginas, tmraras) SELECT "
                    + std::to_string(grouping) + ", b, " + v + " IS NULL, ifnull(" + v
                    + ", ''), sum(f), sum(j), sum(g), sum(o) FROM temp.tbTotalesCuenta GROUP BY b, " + v
                    + ";")))
            return false;
    }
    return tryRun(db, u"DROP TABLE temp.tbTotalesCuenta;")
        && tryRun(db,
            u"INSERT OR REPLACE INTO tbTotalesSello (tsclave, tsformato, tsmotor, tsultima, tsdudosa) "
            u"VALUES (1, "
                + decimalText(totalsLayout)
                + u", sqlite_version(), "
                  u"ifnull((SELECT seq FROM sqlite_sequence WHERE name = 'tbTrabajos'), 0), 0);");
}

bool remake(sqlite3* db)
{
    const auto& objects = keptObjects();
    // Triggers first: a trigger left on tbTrabajos without its tables would
    // make every later insert fail, in every program.
    for (auto object = objects.rbegin(); object != objects.rend(); ++object) {
        const std::string drop = "DROP " + std::string(object->type == "table" ? "TABLE" : "TRIGGER")
            + " IF EXISTS " + object->name + ";";
        if (!tryRun(db, asciiText(drop))) return false;
    }
    for (const KeptObject& object : objects)
        if (!tryRun(db, asciiText(object.sql + ";"))) return false;
    return recount(db);
}

// Every change another version made went to the month that version gave the
// row; it moves to the month ours gives, where the two differ. Each note is
// complete in itself (the row's values at the time), so the notes may be
// applied in any order, also after our own triggers changed the same rows.
bool reconcile(sqlite3* db)
{
    const std::string noted = monthOf("tafecha");
    Statement moves = tryPrepare(db,
        asciiText("SELECT tames, " + noted + ", tasigno, tasigno * (tapaginas IS NOT NULL), tasigno * "
            + plainPages("tapaginas") + ", tasigno * " + oddPages("tapaginas")
            + ", taimpresora, tausuario, tamaquina FROM tbTotalesAjenos WHERE tames IS NOT " + noted + ";"));
    Statement ensure = tryPrepare(db,
        u"INSERT INTO tbTotalesMes (tmgrupo, tmmes, tmnulo, tmvalor, tmfilas, tmtrabajos, "
        u"tmpaginas, tmraras) SELECT ?1, ?2, ?3 IS NULL, ifnull(?3, ''), 0, 0, 0, 0 "
        u"WHERE NOT EXISTS (SELECT 1 FROM tbTotalesMes WHERE tmgrupo = ?1 AND tmmes = ?2 "
        u"AND tmnulo = (?3 IS NULL) AND tmvalor = ifnull(?3, ''));");
    Statement add = tryPrepare(db,
        u"UPDATE tbTotalesMes SET tmfilas = tmfilas + ?4, tmtrabajos = tmtrabajos + ?5, "
        u"tmpaginas = tmpaginas + ?6, tmraras = tmraras + ?7 WHERE tmgrupo = ?1 AND tmmes = ?2 "
        u"AND tmnulo = (?3 IS NULL) AND tmvalor = ifnull(?3, '');");
    if (!moves || !ensure || !add) return false;

    auto apply = [&](int grouping, sqlite3_value* month, sqlite3_value* value, int sign) {
        for (sqlite3_stmt* statement : {ensure.get(), add.get()}) {
            sqlite3_reset(statement);
            sqlite3_bind_int(statement, 1, grouping);
            sqlite3_bind_value(statement, 2, month);
            sqlite3_bind_value(statement, 3, value);
        }
        for (int delta = 0; delta < 4; ++delta)
            sqlite3_bind_int64(add.get(), 4 + delta, sign * sqlite3_column_int64(moves.get(), 2 + delta));
        return sqlite3_step(ensure.get()) == SQLITE_DONE && sqlite3_step(add.get()) == SQLITE_DONE;
    };
    for (int result; (result = sqlite3_step(moves.get())) != SQLITE_DONE;) {
        if (result != SQLITE_ROW) return false;
        ++storeCallCounts().totalsMoved;
        for (const Grouping& g : groupings) {
            sqlite3_value* value = sqlite3_column_value(moves.get(), 6 + (g.number - 1));
            if (sqlite3_column_type(moves.get(), 0) != SQLITE_NULL
                && !apply(g.number, sqlite3_column_value(moves.get(), 0), value, -1))
                return false;
            if (sqlite3_column_type(moves.get(), 1) != SQLITE_NULL
                && !apply(g.number, sqlite3_column_value(moves.get(), 1), value, 1))
                return false;
        }
    }
    moves.reset();
    ensure.reset();
    add.reset();
    return tryRun(db, u"DELETE FROM tbTotalesAjenos;")
        && tryRun(db,
            u"DELETE FROM tbTotalesMes "
            u"WHERE tmfilas = 0 AND tmtrabajos = 0 AND tmpaginas = 0 AND tmraras = 0;");
}

// Brings the totals to `ready` in a transaction of its own. False when the
// file cannot hold them; whatever was begun is rolled back, so the file is
// never left with half of the objects.
bool mend(sqlite3* db)
{
    if (!tryRun(db, u"BEGIN IMMEDIATE;")) return false;
    std::optional<TotalsState> state = readState(db); // another program may have mended them meanwhile
    bool done = state.has_value();
    if (done && *state == TotalsState::remake) done = remake(db);
    if (done && *state == TotalsState::recount) done = recount(db);
    if (done && *state == TotalsState::reconcile) done = reconcile(db);
    if (done && tryRun(db, u"COMMIT;")) return true;
    tryRun(db, u"ROLLBACK;");
    return false;
}

// ---- the statistics ---------------------------------------------------------------------------------------

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

enum class Reading { exact, needsJobs, failed };

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
        + ", trnumpags IS NOT NULL, 1, " + oddPages("trnumpags") + " FROM tbTrabajos WHERE ";
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
    const std::string entry
        = "SELECT %V AS v, tmpaginas AS pg, tmtrabajos AS jb, tmfilas AS fl, tmraras AS od "
          "FROM tbTotalesMes WHERE tmgrupo = ?1 AND ";
    auto with = [&](const std::string& value) {
        std::string text = entry;
        text.replace(text.find("%V"), 2, value);
        return text;
    };
    return asciiText(with(entryValue) + "tmmes >= ?2 UNION ALL " + with(clockValue) + "tmmes = " + nowMonth
               + " AND ?3 UNION ALL ")
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

// Steps the query, rows of (cell, pages, jobs, odd pages), into rows; a row
// with odd pages means the jobs must answer.
Reading collectRows(sqlite3_stmt* query, std::vector<StatisticsRow>& rows)
{
    for (int result; (result = untilNotBusy([&] { return sqlite3_step(query); })) != SQLITE_DONE;) {
        if (result != SQLITE_ROW) return Reading::failed;
        if (sqlite3_column_int64(query, 3) != 0) return Reading::needsJobs;
        rows.push_back(StatisticsRow{columnText(query, 0), columnText(query, 1), columnText(query, 2)});
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
        u"SELECT v, CASE WHEN sum(jb) = 0 THEN NULL ELSE sum(pg) END, sum(jb), sum(od) FROM ("
            + periodEntries(value, value, narrow(groupingColumnName(column)))
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
        u"SELECT v, CASE WHEN sum(jb) = 0 THEN NULL ELSE sum(pg) END, sum(jb), sum(od) FROM ("
            + periodEntries("tmmes", "?8", "?9") + u") GROUP BY v HAVING sum(fl) > 0 ORDER BY v;");
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

} // namespace

bool monthTotalsReady(sqlite3* db)
{
    if (!tryRun(db, u"BEGIN;")) return false;
    std::optional<TotalsState> state = readState(db);
    tryRun(db, u"COMMIT;");
    return state == TotalsState::ready;
}

namespace {

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
    return reading == Reading::needsJobs ? QuickAnswer::needsJobs : QuickAnswer::notReady;
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

bool prepareMonthTotals(sqlite3* db)
{
    for (int round = 0; round < 3; ++round) {
        if (monthTotalsReady(db)) return true;
        if (!mend(db)) return false;
    }
    return monthTotalsReady(db);
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

TotalsCheck checkMonthTotalsAgainstJobs(sqlite3* db)
{
    // Rows written, deleted or changed by a connection with triggers switched
    // off pass every check of the stamp: only the jobs themselves tell. One
    // pass over them, beside the sum of one grouping's entries.
    const std::string jobs = "SELECT count(*) AS f, count(p) AS j, ifnull(sum(" + plainPages("p")
        + "), 0) AS g, ifnull(sum(" + oddPages("p") + "), 0) AS o FROM (SELECT " + monthOf("trfecha")
        + " AS b, trnumpags AS p FROM tbTrabajos) WHERE b IS NOT NULL";
    const std::string kept = "SELECT ifnull(sum(tmfilas), 0) AS f, ifnull(sum(tmtrabajos), 0) AS j, "
                             "ifnull(sum(tmpaginas), 0) AS g, ifnull(sum(tmraras), 0) AS o FROM tbTotalesMes "
                             "WHERE tmgrupo = 1";
    for (int round = 0; round < 3; ++round) {
        if (!tryRun(db, u"BEGIN;")) return TotalsCheck::unavailable;
        std::optional<TotalsState> state = readState(db);
        if (state != TotalsState::ready) {
            tryRun(db, u"ROLLBACK;");
            if (!state || !mend(db)) return TotalsCheck::unavailable;
            continue; // mended, perhaps counted afresh: compared all the same
        }
        Statement compare = tryPrepare(db,
            asciiText("SELECT a.f = k.f AND a.j = k.j AND a.g = k.g AND a.o = k.o FROM (" + jobs + ") AS a, ("
                + kept + ") AS k;"));
        const bool agree = compare && untilNotBusy([&] { return sqlite3_step(compare.get()); }) == SQLITE_ROW
            && sqlite3_column_int(compare.get(), 0) == 1;
        const bool compared = compare != nullptr;
        compare.reset();
        tryRun(db, u"COMMIT;");
        if (!compared) return TotalsCheck::unavailable;
        if (agree) return TotalsCheck::agreed;
        if (!tryRun(db, u"BEGIN IMMEDIATE;")) return TotalsCheck::unavailable;
        if (recount(db) && tryRun(db, u"COMMIT;")) return TotalsCheck::recounted;
        tryRun(db, u"ROLLBACK;");
        return TotalsCheck::unavailable;
    }
    return TotalsCheck::unavailable;
}

} // namespace store
