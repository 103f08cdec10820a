#include "store/database_move.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>

#include "store/job_store.h"

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

// Opened or made; the existence of the original is checked before.
Connection openFile(const std::u16string& path)
{
    sqlite3* raw = nullptr;
    const int result = sqlite3_open16(path.c_str(), &raw);
    Connection db(raw);
    if (result != SQLITE_OK) return nullptr;
    // A program that still has the file open holds it for moments only.
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

// The jobs of a file that passes SQLite's whole check; -1 when it fails it.
// A file without the jobs table (made by other means) holds no jobs.
std::int64_t checkedJobs(sqlite3* db)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check(1);", -1, &raw, nullptr) != SQLITE_OK) return -1;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> check(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW
        || std::string(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))) != "ok")
        return -1;
    check.reset();
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM tbTrabajos;", -1, &raw, nullptr) != SQLITE_OK)
        return sqlite3_errcode(db) == SQLITE_ERROR ? 0 : -1;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> count(raw, sqlite3_finalize);
    return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
}

bool copyWhole(sqlite3* from, sqlite3* to)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (backup == nullptr) return false;
    const int stepped = sqlite3_backup_step(backup, -1);
    return sqlite3_backup_finish(backup) == SQLITE_OK && stepped == SQLITE_DONE;
}

} // namespace

DatabaseMoveResult moveJobDatabase(const std::u16string& fromFolder, const std::u16string& toFolder)
{
    namespace fs = std::filesystem;
    const fs::path from(jobDatabasePath(fromFolder)), to(jobDatabasePath(toFolder));
    std::error_code error;
    if (!fs::exists(from, error)) return {DatabaseMove::nothingToMove, 0};
    if (fs::exists(to, error)) return {DatabaseMove::alreadyThere, 0};

    // Opened for writing: a journal a crash left is rolled back before
    // anything is read.
    Connection source = openFile(from.u16string());
    const std::int64_t jobs = source ? checkedJobs(source.get()) : -1;
    if (jobs < 0) return {DatabaseMove::unreadable, 0};

    Connection target = openFile(to.u16string());
    bool good = target && copyWhole(source.get(), target.get()) && checkedJobs(target.get()) == jobs;
    // The copy counts once it is closed without a failure.
    good = target && sqlite3_close_v2(target.release()) == SQLITE_OK && good;
    if (!good) {
        fs::remove(to, error);
        fs::remove(fs::path(to.u16string() + u"-journal"), error);
        return {DatabaseMove::copyFailed, 0};
    }
    source.reset();
    fs::remove(from, error);
    fs::remove(fs::path(from.u16string() + u"-journal"), error);
    return {DatabaseMove::moved, jobs};
}
