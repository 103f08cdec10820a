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

#include <optional>
#include <string>

#include "common/strings.h"
#include "store/month_totals_schema.h"
#include "store/sqlite_calls.h"

namespace store {

// ---- checks ----------------------------------------------------------------------------------------

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

namespace {

// ---- building and mending, each inside a write transaction -----------------------------------

// The details of every job that has them, counted from scratch: one pass
// over tbDetalles, each row's job found by its number.
bool recountDetails(sqlite3* db)
{
    const std::string pairs = "(SELECT " + monthOf("j.trfecha")
        + " AS b, j.trimpresora AS c1, j.trusuario AS c2, j.trmaquina AS c3, " + detailFigures("j", "d")
        + " FROM tbDetalles AS d JOIN tbTrabajos AS j ON j.trllapri = d.dtllapri)";
    return tryRun(db, u"DELETE FROM tbTotalesDetalle;")
        && tryRun(db,
            asciiText(
                "INSERT INTO tbTotalesDetalle (tdgrupo, tdmes, tdnulo, tdvalor, tdcolor, tdhojas, tdcoste, "
                "tdcosteados) SELECT g, b, v IS NULL, ifnull(v, ''), sum(cp), sum(sh), sum(co), sum(cq) FROM "
                "(SELECT 1 AS g, b, c1 AS v, cp, sh, co, cq FROM "
                + pairs + " UNION ALL SELECT 2, b, c2, cp, sh, co, cq FROM " + pairs
                + " UNION ALL SELECT 3, b, c3, cp, sh, co, cq FROM " + pairs
                + ") WHERE b IS NOT NULL GROUP BY g, b, v;"));
}

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
    return tryRun(db, u"DROP TABLE temp.tbTotalesCuenta;") && recountDetails(db)
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

} // namespace

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

bool monthTotalsReady(sqlite3* db)
{
    if (!tryRun(db, u"BEGIN;")) return false;
    std::optional<TotalsState> state = readState(db);
    tryRun(db, u"COMMIT;");
    return state == TotalsState::ready;
}

bool prepareMonthTotals(sqlite3* db)
{
    for (int round = 0; round < 3; ++round) {
        if (monthTotalsReady(db)) return true;
        if (!mend(db)) return false;
    }
    return monthTotalsReady(db);
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
