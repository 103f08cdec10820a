#include "store/sqlite_calls.h"

#include <algorithm>

#include "common/failure.h"
#include "store/date_time_text.h"

namespace store {

namespace {

thread_local sqlite3* currentConnection = nullptr;

} // namespace

void noteConnection(sqlite3* db)
{
    currentConnection = db;
}

void forgetConnection(sqlite3* db)
{
    if (currentConnection == db) currentConnection = nullptr;
}

void storeFailure(const char16_t* line)
{
    if (currentConnection != nullptr) {
        if (auto words = static_cast<const char16_t*>(sqlite3_errmsg16(currentConnection)))
            setFailureDetail(words);
    }
    fatalError(unit::store, line);
}

namespace {

// A step that fails for another reason is asked again this often before the
// operation gives up: a transient I/O error may clear, a broken file will not.
constexpr int failureRetries = 20;

thread_local StoreCallCounts callCounts;

thread_local const std::atomic<bool>* interruptWhen = nullptr;

// The calling thread's limit on each wait for a busy file, if any.
thread_local bool busyLimited = false;
thread_local std::chrono::milliseconds busyLimit{0};

} // namespace

const std::atomic<bool>* interruptFlag()
{
    return interruptWhen;
}

std::chrono::milliseconds busyPause(std::chrono::steady_clock::time_point since)
{
    if (interruptWhen && interruptWhen->load()) throw DatabaseBusy();
    if (!busyLimited) return busyWait;
    const auto waited
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
    if (waited >= busyLimit) throw DatabaseBusy();
    return std::min(busyWait, busyLimit - waited + std::chrono::milliseconds(1));
}

Statement prepare(sqlite3* db, const std::u16string& text, const char16_t* failLine)
{
    Statement statement = tryPrepare(db, text);
    if (!statement) storeFailure(failLine);
    return statement;
}

Statement tryPrepare(sqlite3* db, const std::u16string& text)
{
    sqlite3_stmt* raw = nullptr;
    int result = untilNotBusy([&] { return sqlite3_prepare16_v2(db, text.c_str(), -1, &raw, nullptr); });
    Statement statement(raw);
    if (result != SQLITE_OK) statement.reset();
    return statement;
}

int step(sqlite3_stmt* statement, const char16_t* failLine, bool restartable)
{
    for (int failures = 0;;) {
        int result = untilNotBusy([&] { return sqlite3_step(statement); });
        if (result == SQLITE_ROW || result == SQLITE_DONE) return result;
        if (!restartable || ++failures > failureRetries) storeFailure(failLine);
        std::this_thread::sleep_for(busyWait);
    }
}

bool tryRun(sqlite3* db, const std::u16string& text)
{
    Statement statement = tryPrepare(db, text);
    if (!statement) return false;
    for (;;) {
        int result = untilNotBusy([&] { return sqlite3_step(statement.get()); });
        if (result == SQLITE_DONE) return true;
        if (result != SQLITE_ROW) return false;
    }
}

// SQLite takes a leading U+FEFF or U+FFFE of bound UTF-16 text for a byte
// order mark and drops it (or swaps every unit behind it), whichever byte
// order the call names; bound as UTF-8 instead, U+FFFE would come back as
// U+FFFD. So every text goes in behind a mark of our own, in the machine's
// order: that mark is the one SQLite takes away, and a name that begins with
// either unit is stored exactly.
bool tryBindText(sqlite3_stmt* statement, int index, const std::u16string& text)
{
    std::u16string marked;
    marked.reserve(text.size() + 1);
    marked += u'\uFEFF';
    marked += text;
    int bytes = static_cast<int>(std::min<std::size_t>(marked.size() * 2, 0x7FFFFFFE));
    return sqlite3_bind_text16(statement, index, marked.data(), bytes, SQLITE_TRANSIENT) == SQLITE_OK;
}

void bindText(sqlite3_stmt* statement, int index, const std::u16string& text, const char16_t* failLine)
{
    if (!tryBindText(statement, index, text)) storeFailure(failLine);
}

void beginWriting(sqlite3* db)
{
    if (untilNotBusy([&] { return sqlite3_exec(db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr); })
        != SQLITE_OK)
        storeFailure(u"166");
}

void commitWriting(sqlite3* db)
{
    if (untilNotBusy([&] { return sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr); }) != SQLITE_OK)
        storeFailure(u"166");
}

namespace {

bool bindNumber(sqlite3_stmt* statement, int index, const std::optional<std::int64_t>& number)
{
    return (number ? sqlite3_bind_int64(statement, index, *number) : sqlite3_bind_null(statement, index))
        == SQLITE_OK;
}

bool bindDetailText(sqlite3_stmt* statement, int index, const std::optional<std::u16string>& text)
{
    return text ? tryBindText(statement, index, *text) : sqlite3_bind_null(statement, index) == SQLITE_OK;
}

// The job's details under the row number its insert was given.
void insertDetails(sqlite3* db, sqlite3_stmt* remove, sqlite3_stmt* insert, const JobDetails& details)
{
    const sqlite3_int64 job = sqlite3_last_insert_rowid(db);
    // Another program may have deleted a job and left its details behind
    // under the number the new job now has: they go first, through their
    // trigger, so the kept totals never count them.
    sqlite3_reset(remove);
    sqlite3_bind_int64(remove, 1, job);
    step(remove, u"168");
    sqlite3_reset(insert);
    const auto optional = [](const std::optional<int>& value) {
        return value ? std::optional<std::int64_t>(*value) : std::nullopt;
    };
    if (!bindNumber(insert, 1, job) || !bindNumber(insert, 2, optional(details.color))
        || !bindNumber(insert, 3, optional(details.sides)) || !bindDetailText(insert, 4, details.paper)
        || !bindNumber(insert, 5, details.sheets) || !bindNumber(insert, 6, details.bytes)
        || !bindDetailText(insert, 7, details.document) || !bindNumber(insert, 8, details.cost))
        storeFailure(u"159");
    step(insert, u"167");
}

} // namespace

void insertJobRows(sqlite3* db, const std::vector<JobRow>& rows)
{
    Statement insert = prepare(db,
        u"insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values (?,?,?,?,?);",
        u"158");
    // Without the table (a file that could not be given it) the jobs go in
    // without their details.
    Statement details = tryPrepare(db,
        u"insert into tbDetalles (dtllapri, dtcolor, dtcaras, dtpapel, dthojas, dtbytes, dtdocumento, "
        u"dtcoste) "
        u"values (?,?,?,?,?,?,?,?);");
    Statement staleDetails = tryPrepare(db, u"delete from tbDetalles where dtllapri = ?;");
    for (const JobRow& row : rows) {
        sqlite3_reset(insert.get());
        bindText(insert.get(), 1, formatDateTimeText(row.submitted), u"158");
        bindText(insert.get(), 2, row.user, u"158");
        bindText(insert.get(), 3, row.machine, u"158");
        bindText(insert.get(), 4, row.printer, u"158");
        if (sqlite3_bind_int64(insert.get(), 5, row.pages) != SQLITE_OK) storeFailure(u"158");
        if (step(insert.get(), u"166") != SQLITE_DONE) storeFailure(u"166");
        if (row.details && details && staleDetails)
            insertDetails(db, staleDetails.get(), details.get(), *row.details);
    }
}

std::u16string columnText(sqlite3_stmt* statement, int column)
{
    auto text = static_cast<const char16_t*>(sqlite3_column_text16(statement, column));
    if (!text) return {};
    return std::u16string(text, static_cast<std::size_t>(sqlite3_column_bytes16(statement, column)) / 2);
}

} // namespace store

InterruptibleBy::InterruptibleBy(const std::atomic<bool>& flag)
    : outer_(store::interruptWhen)
{
    store::interruptWhen = &flag;
}

InterruptibleBy::~InterruptibleBy()
{
    store::interruptWhen = outer_;
}

BusyLimit::BusyLimit(std::chrono::milliseconds limit)
    : outer_(store::busyLimit)
    , hadOuter_(store::busyLimited)
{
    store::busyLimit = hadOuter_ ? std::min(outer_, limit) : limit;
    store::busyLimited = true;
}

BusyLimit::~BusyLimit()
{
    store::busyLimit = outer_;
    store::busyLimited = hadOuter_;
}

StoreCallCounts& storeCallCounts()
{
    return store::callCounts;
}
