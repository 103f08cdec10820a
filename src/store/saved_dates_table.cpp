// The saved dates, tbFechas: a start date kept under a name (fememo). Every
// operation opens the file, runs one statement and closes it again.
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "store/job_store.h"
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
