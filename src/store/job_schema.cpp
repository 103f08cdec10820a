// The jobs and saved-dates tables, and the indexes of the jobs table.
#include "store/job_schema.h"

#include <sqlite3.h>

#include <iterator>
#include <string>

#include "store/schema_terms.h"
#include "store/sqlite_calls.h"

namespace store {

namespace {

constexpr char16_t jobsTableName[] = u"tbTrabajos";
constexpr char16_t datesTableName[] = u"tbFechas";
constexpr char16_t detailsTableName[] = u"tbDetalles";

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
// One row per job that came with a device mode, under its job's row number.
// A file of an earlier version gains the table, empty: its jobs have no details.
constexpr char16_t createDetailsTable[]
    = u"create table if not exists tbDetalles "
      u"(dtllapri integer primary key, dtcolor integer, dtcaras integer, "
      u"dtpapel text, dthojas integer, dtbytes integer, dtdocumento text, "
      u"dtcoste integer);";

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

} // namespace

void ensureTables(sqlite3* db)
{
    bool jobsFound = false, datesFound = false, detailsFound = false;
    {
        Statement query = prepare(db, schemaQuery, u"215");
        while (step(query.get(), u"215") == SQLITE_ROW) {
            std::u16string name = columnText(query.get(), 0);
            if (name == jobsTableName) jobsFound = true;
            if (name == datesTableName) datesFound = true;
            if (name == detailsTableName) detailsFound = true;
        }
    }
    if (!jobsFound || !datesFound) {
        runSchemaStatement(db, createJobsTable, u"252", u"260");
        runSchemaStatement(db, createDatesTable, u"277", u"285");
    }
    // Like an index, the details table is no condition of the file's use: a
    // read-only file of an earlier version still opens, and its jobs are
    // recorded without details where the table cannot be made.
    if (!detailsFound) tryIndexStatement(db, createDetailsTable);
}

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
