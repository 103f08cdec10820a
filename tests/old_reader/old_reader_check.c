/* Opens a pgwarden.db with an old SQLite (the 3.8.5 amalgamation is linked in)
 * the way another program on the same file would: every row of both tables
 * read, one job and one saved date written, the whole file checked. Two
 * SQLite versions cannot share one program, so this is a program of its own,
 * run by the unit tests.
 *
 * The file's month totals are read too, and every write fires their
 * triggers in this version: a row in a form this version reads unlike newer
 * ones, a row deleted, a row changed.
 *
 * Usage: old_reader_check FILE
 * Prints "sqlite VERSION", then "job|<cells>", "date|<cells>", "detail|<cells>" and
 * "totals|<cells>" for each row, "stamp|<cells>", "noted|<count>" and
 * "shipping|<cells>" as read
 * before the writes, then "integrity ok". On any failure it prints "error:
 * MESSAGE" and ends with 1. */
#include <stdio.h>
#include <string.h>

#include "sqlite3.h"

static int fail(sqlite3* db, const char* what)
{
    printf("error: %s: %s\n", what, db ? sqlite3_errmsg(db) : "no connection");
    sqlite3_close(db);
    return 1;
}

/* Prints each row of the query, cells as text joined by "|", "NULL" for null. */
static int printRows(sqlite3* db, const char* label, const char* sql)
{
    sqlite3_stmt* statement = NULL;
    int result;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, NULL) != SQLITE_OK) return 0;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        int i;
        printf("%s", label);
        for (i = 0; i < sqlite3_column_count(statement); ++i) {
            const unsigned char* text = sqlite3_column_text(statement, i);
            printf("|%s", text ? (const char*)text : "NULL");
        }
        printf("\n");
    }
    sqlite3_finalize(statement);
    return result == SQLITE_DONE;
}

int main(int argc, char** argv)
{
    sqlite3* db = NULL;
    sqlite3_stmt* statement = NULL;
    int integrityOk = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: old_reader_check FILE\n");
        return 2;
    }
    printf("sqlite %s\n", sqlite3_libversion());
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, NULL) != SQLITE_OK) return fail(db, "open");
    /* The first statement reads the schema: an index this version cannot
     * parse makes every statement on the file fail from here on. */
    if (!printRows(db, "schema", "select type, name from sqlite_master order by name;"))
        return fail(db, "schema");
    if (!printRows(db, "job",
            "select trllapri, trfecha, trusuario, trmaquina, trimpresora, trnumpags from tbTrabajos order by "
            "trllapri;"))
        return fail(db, "tbTrabajos");
    if (!printRows(db, "date", "select fellapri, fefecha, fememo from tbFechas order by fellapri;"))
        return fail(db, "tbFechas");
    if (!printRows(db, "detail",
            "select dtllapri, dtcolor, dtcaras, dtpapel, dthojas, dtbytes, dtdocumento, dtcoste from tbDetalles "
            "order by dtllapri;"))
        return fail(db, "tbDetalles");
    if (!printRows(db, "totals",
            "select tmgrupo, tmmes, tmnulo, tmvalor, tmfilas, tmtrabajos, tmpaginas, tmraras "
            "from tbTotalesMes order by tmgrupo, tmmes, tmnulo, tmvalor;")
        || !printRows(db, "stamp", "select tsformato, tsdudosa from tbTotalesSello;")
        || !printRows(db, "noted", "select count(*) from tbTotalesAjenos;"))
        return fail(db, "month totals");
    /* The shipping state of a central database, kept in a table of its own. */
    if (!printRows(db, "shipping", "select length(ecarchivo), ecultima, ecpendientes, ecenvio from tbEnvioCentral;"))
        return fail(db, "tbEnvioCentral");
    /* Another program's rows: a date in another form; a time alone, which
     * only the index of irregular dates finds; a bare 20160305, which this
     * version takes for a Julian day number some 48,000 years ahead and newer
     * ones cannot read at all; a day past February's end; then one row deleted
     * and one changed. */
    if (sqlite3_exec(db,
            "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
            "values ('2016-03-05 10:00', 'old reader', 'PC-OLD', 'Old Laser', 7);"
            "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
            "values ('10:00', 'old reader', 'PC-OLD', 'Old Laser', 5);"
            "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
            "values ('20160305', 'old reader', 'PC-OLD', 'Old Laser', 100);"
            "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
            "values ('2016-02-31T10:00', 'old reader', 'PC-OLD', 'Old Laser', 20);"
            "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
            "values ('2016-03-07', 'gone', 'PC-OLD', 'Old Laser', 1000);"
            "delete from tbTrabajos where trusuario = 'gone';"
            "update tbTrabajos set trnumpags = 30 where trfecha = '2016-02-31T10:00';"
            "insert into tbFechas (fefecha, fememo) values ('2016-03-01T00:00:00.000', 'old reader');",
            NULL, NULL, NULL)
        != SQLITE_OK)
        return fail(db, "insert");
    if (sqlite3_prepare_v2(db, "pragma integrity_check;", -1, &statement, NULL) != SQLITE_OK)
        return fail(db, "integrity_check");
    if (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* verdict = sqlite3_column_text(statement, 0);
        integrityOk = verdict && strcmp((const char*)verdict, "ok") == 0;
        if (!integrityOk) printf("error: integrity_check: %s\n", verdict ? (const char*)verdict : "NULL");
    }
    sqlite3_finalize(statement);
    if (!integrityOk) {
        sqlite3_close(db);
        return 1;
    }
    printf("integrity ok\n");
    if (sqlite3_close(db) != SQLITE_OK) return fail(db, "close");
    return 0;
}
