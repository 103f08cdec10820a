// Opening and closing pgwarden.db: every operation of the job store opens
// its own connection, and closes it checked.
#include <sqlite3.h>

#include "store/job_schema.h"
#include "store/job_store.h"
#include "store/sqlite_calls.h"

using namespace store;

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

    ensureTables(db.get());
    if (work == SchemaWork::tablesAndIndexes) ensureIndexes(db.get());
    return db;
}

void closeJobDatabase(Database db)
{
    if (sqlite3_close(db.get()) != SQLITE_OK) storeFailure(u"314");
    forgetConnection(db.get());
    db.release();
}
