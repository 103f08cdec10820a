#include "store/shipping_table.h"

#include <random>

#include "store/job_store.h"
#include "store/sqlite_calls.h"

using namespace store;

namespace {

// Plain syntax only: SQLite 3.8.5 must read the file's whole schema.
constexpr char16_t createShippingTable[]
    = u"CREATE TABLE IF NOT EXISTS tbEnvioCentral (ecclave integer PRIMARY KEY, ecarchivo text NOT NULL, "
      u"ecultima integer NOT NULL, ecpendientes integer NOT NULL, ecenvio text, ecerror text, ecfechaerror "
      u"text);";

bool shippingTableExists(sqlite3* db)
{
    Statement query = prepare(
        db, u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'tbEnvioCentral';", u"801");
    return step(query.get(), u"802") == SQLITE_ROW;
}

// The row, made with a new identity when the file has none.
void ensureShippingRow(sqlite3* db, const std::u16string& newIdentity)
{
    {
        Statement create = prepare(db, createShippingTable, u"803");
        if (step(create.get(), u"804") != SQLITE_DONE) storeFailure(u"805");
    }
    Statement insert = prepare(db,
        u"INSERT INTO tbEnvioCentral (ecclave, ecarchivo, ecultima, ecpendientes) SELECT 1, ?, 0, 0 "
        u"WHERE NOT EXISTS (SELECT 1 FROM tbEnvioCentral WHERE ecclave = 1);",
        u"806");
    bindText(insert.get(), 1, newIdentity, u"807");
    if (step(insert.get(), u"808") != SQLITE_DONE) storeFailure(u"809");
}

std::optional<std::u16string> optionalText(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return columnText(statement, column);
}

std::optional<std::int64_t> optionalInteger(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(statement, column);
}

} // namespace

ShippingState readShippingState(const std::u16string& folder)
{
    ShippingState state;
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    if (shippingTableExists(db.get())) {
        Statement query = prepare(db.get(),
            u"SELECT ecarchivo, ecultima, ecpendientes, ecenvio, ecerror, ecfechaerror FROM tbEnvioCentral "
            u"WHERE ecclave = 1;",
            u"810");
        if (step(query.get(), u"811") == SQLITE_ROW) {
            state.started = true;
            state.fileId = columnText(query.get(), 0);
            state.lastShipped = sqlite3_column_int64(query.get(), 1);
            state.waiting = sqlite3_column_int64(query.get(), 2);
            state.lastShipment = columnText(query.get(), 3);
            state.lastError = columnText(query.get(), 4);
            state.lastErrorTime = columnText(query.get(), 5);
        }
    }
    closeJobDatabase(std::move(db));
    return state;
}

namespace {

// The file's identity and the last row shipped, made first when the file has
// none; returns the count of rows waiting as the last attempt left it. Read
// first: an idle look every few seconds writes nothing.
std::int64_t readShippingMark(sqlite3* db, const std::u16string& newIdentity, ShippingWork& work)
{
    std::int64_t storedWaiting = -1;
    for (int attempt = 0; attempt < 2 && work.batch.fileId.empty(); ++attempt) {
        if (attempt > 0 || !shippingTableExists(db)) ensureShippingRow(db, newIdentity);
        if (!shippingTableExists(db)) continue;
        Statement state = prepare(
            db, u"SELECT ecarchivo, ecultima, ecpendientes FROM tbEnvioCentral WHERE ecclave = 1;", u"812");
        if (step(state.get(), u"813") != SQLITE_ROW) continue;
        work.batch.fileId = columnText(state.get(), 0);
        work.lastShipped = sqlite3_column_int64(state.get(), 1);
        storedWaiting = sqlite3_column_int64(state.get(), 2);
    }
    if (work.batch.fileId.empty()) storeFailure(u"814");
    return storedWaiting;
}

bool detailsTableExists(sqlite3* db)
{
    Statement query
        = prepare(db, u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'tbDetalles';", u"841");
    return step(query.get(), u"842") == SQLITE_ROW;
}

// The rows after `after`, at most `limit`, into the batch, each with its
// details where the file holds them.
void readRowsToShip(sqlite3* db, std::int64_t after, std::size_t limit, ShippingWork& work)
{
    // The day and the moment julianday() gives, read in one statement
    // so that both agree; the moment as its whole milliseconds.
    const std::u16string details = detailsTableExists(db)
        // Numbers another program may have written otherwise: only whole
        // ones go, and sheets and cost only where the totals add them.
        ? u"CASE WHEN typeof(dtcolor) = 'integer' THEN dtcolor END AS dtcolor, CASE WHEN typeof(dtcaras) = "
          u"'integer' THEN dtcaras END AS dtcaras, dtpapel, CASE WHEN typeof(dthojas) = 'integer' AND "
          u"dthojas "
          u"BETWEEN -1099511627776 AND 1099511627776 THEN dthojas END AS dthojas, CASE WHEN typeof(dtbytes) "
          u"= "
          u"'integer' THEN dtbytes END AS dtbytes, dtdocumento, CASE WHEN typeof(dtcoste) = 'integer' AND "
          u"dtcoste BETWEEN -1099511627776 AND 1099511627776 THEN dtcoste END AS dtcoste FROM tbTrabajos "
          u"LEFT "
          u"JOIN tbDetalles ON dtllapri = trllapri"
        : u"NULL AS dtcolor, NULL AS dtcaras, NULL AS dtpapel, NULL AS dthojas, NULL AS dtbytes, NULL AS "
          u"dtdocumento, NULL AS dtcoste FROM tbTrabajos";
    Statement rows = prepare(db,
        u"SELECT trllapri, trfecha, trusuario, trmaquina, trimpresora, CASE WHEN typeof(trnumpags) = "
        u"'integer' THEN trnumpags END, CAST(round(j * 86400000.0) AS INTEGER), CAST(strftime('%Y%m%d', j) "
        u"AS INTEGER), dtcolor, dtcaras, dtpapel, dthojas, dtbytes, dtdocumento, dtcoste FROM (SELECT "
        u"tbTrabajos.*, julianday(trfecha) AS j, "
            + details + u" WHERE trllapri > ?1 ORDER BY trllapri LIMIT ?2);",
        u"815");
    work.batch.rows.reserve(work.batch.rows.size() + limit);
    if (sqlite3_bind_int64(rows.get(), 1, after) != SQLITE_OK
        || sqlite3_bind_int64(rows.get(), 2, static_cast<sqlite3_int64>(limit)) != SQLITE_OK)
        storeFailure(u"816");
    for (bool delivered = false; step(rows.get(), u"817", !delivered) == SQLITE_ROW; delivered = true) {
        sqlite3_stmt* row = rows.get();
        ShippedRow shipped{sqlite3_column_int64(row, 0), optionalText(row, 1), optionalText(row, 2),
            optionalText(row, 3), optionalText(row, 4), optionalInteger(row, 5), optionalInteger(row, 6),
            optionalInteger(row, 7), optionalInteger(row, 8), optionalInteger(row, 9), optionalText(row, 10),
            optionalInteger(row, 11), optionalInteger(row, 12), optionalText(row, 13),
            optionalInteger(row, 14)};
        work.batch.rows.push_back(std::move(shipped));
    }
}

// Rows read through the file mapped in memory: no call into the system per
// page, so a slice of a long backlog is read in a few milliseconds. The
// mapping goes with the connection.
void readMapped(sqlite3* db)
{
    Statement mapped = prepare(db, u"PRAGMA mmap_size = 268435456;", u"839");
    while (step(mapped.get(), u"840") == SQLITE_ROW) { }
}

} // namespace

namespace {

ShippingWork takeFrom(sqlite3* db, const std::u16string& source, const std::u16string& newIdentity,
    std::size_t limit, std::optional<std::int64_t> after)
{
    ShippingWork work;
    work.batch.source = source;
    work.waiting = readShippingMark(db, newIdentity, work);
    readRowsToShip(db, after.value_or(work.lastShipped), limit, work);
    return work;
}

WaitingSlice countFrom(sqlite3* db, std::int64_t after, std::int64_t span)
{
    WaitingSlice slice;
    Statement count = prepare(db,
        u"SELECT count(*), EXISTS (SELECT 1 FROM tbTrabajos WHERE trllapri > ?2) FROM tbTrabajos WHERE "
        u"trllapri > ?1 AND trllapri <= ?2;",
        u"818");
    if (sqlite3_bind_int64(count.get(), 1, after) != SQLITE_OK
        || sqlite3_bind_int64(count.get(), 2, after + span) != SQLITE_OK)
        storeFailure(u"819");
    if (step(count.get(), u"820") != SQLITE_ROW) storeFailure(u"821");
    slice.rows = sqlite3_column_int64(count.get(), 0);
    slice.more = sqlite3_column_int64(count.get(), 1) != 0;
    return slice;
}

} // namespace

ShippingWork takeShippingWork(const std::u16string& folder, const std::u16string& source,
    const std::u16string& newIdentity, std::size_t limit, std::optional<std::int64_t> after)
{
    ShippingReader reader(folder);
    return reader.take(source, newIdentity, limit, after);
}

sqlite3* ShippingReader::connection()
{
    if (!db_) {
        db_ = openJobDatabase(folder_, SchemaWork::tablesOnly);
        readMapped(db_.get());
    }
    noteConnection(db_.get());
    return db_.get();
}

WaitingSlice ShippingReader::count(std::int64_t after, std::int64_t span)
{
    return countFrom(connection(), after, span);
}

ShippingWork ShippingReader::take(const std::u16string& source, const std::u16string& newIdentity,
    std::size_t limit, std::optional<std::int64_t> after)
{
    return takeFrom(connection(), source, newIdentity, limit, after);
}

WaitingSlice countWaitingSlice(const std::u16string& folder, std::int64_t after, std::int64_t span)
{
    ShippingReader reader(folder);
    return reader.count(after, span);
}

void noteWaiting(const std::u16string& folder, const std::u16string& fileId, std::int64_t waiting)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    if (shippingTableExists(db.get())) {
        Statement note = prepare(db.get(),
            u"UPDATE tbEnvioCentral SET ecpendientes = ?2 WHERE ecclave = 1 AND ecarchivo = ?1 AND "
            u"ecpendientes <> ?2;",
            u"822");
        bindText(note.get(), 1, fileId, u"823");
        if (sqlite3_bind_int64(note.get(), 2, waiting) != SQLITE_OK) storeFailure(u"824");
        if (step(note.get(), u"825") != SQLITE_DONE) storeFailure(u"838");
    }
    closeJobDatabase(std::move(db));
}

void markShipped(const std::u16string& folder, const std::u16string& fileId, std::int64_t lastRow,
    std::int64_t waiting, const std::u16string& when)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    if (shippingTableExists(db.get())) {
        Statement update = prepare(db.get(),
            u"UPDATE tbEnvioCentral SET ecultima = max(ecultima, ?2), ecpendientes = ?3, ecenvio = ?4, "
            u"ecerror = NULL, ecfechaerror = NULL WHERE ecclave = 1 AND ecarchivo = ?1;",
            u"826");
        bindText(update.get(), 1, fileId, u"827");
        if (sqlite3_bind_int64(update.get(), 2, lastRow) != SQLITE_OK
            || sqlite3_bind_int64(update.get(), 3, std::max<std::int64_t>(waiting, 0)) != SQLITE_OK)
            storeFailure(u"828");
        bindText(update.get(), 4, when, u"829");
        if (step(update.get(), u"830") != SQLITE_DONE) storeFailure(u"831");
    }
    closeJobDatabase(std::move(db));
}

void noteShippingFailure(const std::u16string& folder, const std::u16string& fileId,
    const std::u16string& words, const std::u16string& when)
{
    Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
    if (shippingTableExists(db.get())) {
        Statement update = prepare(db.get(),
            u"UPDATE tbEnvioCentral SET ecerror = ?2, ecfechaerror = ?3 WHERE ecclave = 1 AND ecarchivo = "
            u"?1;",
            u"832");
        bindText(update.get(), 1, fileId, u"833");
        bindText(update.get(), 2, words, u"834");
        bindText(update.get(), 3, when, u"835");
        if (step(update.get(), u"836") != SQLITE_DONE) storeFailure(u"837");
    }
    closeJobDatabase(std::move(db));
}

std::u16string randomFileIdentity()
{
    std::random_device source;
    constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string identity;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = source();
        for (int nibble = 0; nibble < 8; ++nibble, bits >>= 4) identity += digits[bits & 0xF];
    }
    return identity;
}
