// How the job store makes its SQLite calls, shared by its files and by no one
// else: owned statements, the wait for a file another connection holds,
// bounded retries of failing steps, and UTF-16 text in and out.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "store/busy_waits.h"
#include "store/job_row.h"
#include "store/store_call_counts.h"

namespace store {

// The connection the thread's operation works on, noted when it is opened
// and forgotten when it is closed: a failure then reports what SQLite says
// about it ("file is not a database", "disk I/O error").
void noteConnection(sqlite3* db);
void forgetConnection(sqlite3* db);
[[noreturn]] void storeFailure(const char16_t* line);

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Another program (or one of the unlocked combo box fills) may hold the file;
// its locks last milliseconds, so the call is simply asked again after this pause.
inline constexpr auto busyWait = std::chrono::milliseconds(90);

inline bool isBusy(int result)
{
    int primary = result & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// The flag the calling thread's connections are interrupted by, if any.
const std::atomic<bool>* interruptFlag();

// The pause before a busy call is made again, for a wait that began at
// `since`: busyWait, or less as the thread's BusyLimit runs out. Throws
// DatabaseBusy once the wait has lasted the limit.
std::chrono::milliseconds busyPause(std::chrono::steady_clock::time_point since);

// Makes the call until the file is free, or until the thread's BusyLimit is
// up. A call that is not busy returns at once: the pause is only ever spent
// waiting for another connection.
template <typename Call> int untilNotBusy(Call&& call)
{
    const auto since = std::chrono::steady_clock::now();
    for (;;) {
        ++storeCallCounts().waitingCalls;
        int result = call();
        // Interrupted because the thread was asked to stop: the operation
        // gives up like one that found the file busy, keeping nothing.
        if ((result & 0xFF) == SQLITE_INTERRUPT && interruptFlag() && interruptFlag()->load())
            throw DatabaseBusy();
        if (!isBusy(result)) return result;
        ++storeCallCounts().busyAnswers;
        std::this_thread::sleep_for(busyPause(since));
    }
}

// Compiles the first statement of a whole, terminated text, waiting out a
// busy file; any other failure is fatal with the line given.
Statement prepare(sqlite3* db, const std::u16string& text, const char16_t* failLine);
// The same, but a failure gives an empty statement instead.
Statement tryPrepare(sqlite3* db, const std::u16string& text);

// SQLITE_ROW or SQLITE_DONE. Busy answers are waited out; other failures are
// retried a bounded number of times and then fatal. A failed step starts the
// statement over, so a query that has already handed out rows must not be
// retried (`restartable` false) or its rows would come twice.
int step(sqlite3_stmt* statement, const char16_t* failLine, bool restartable = true);

// Runs a statement that returns no rows, waiting out a busy file; false when
// it cannot be compiled or fails.
bool tryRun(sqlite3* db, const std::u16string& text);

void bindText(sqlite3_stmt* statement, int index, const std::u16string& text, const char16_t* failLine);

// A write transaction of the operation's own, begun and committed waiting as
// the thread's BusyLimit allows. A commit that finds the file busy leaves the
// transaction open, and the connection's close rolls it back.
void beginWriting(sqlite3* db);
void commitWriting(sqlite3* db);
// The jobs' rows inserted into tbTrabajos, in order, inside the caller's
// transaction ("158" compile, "166" step).
void insertJobRows(sqlite3* db, const std::vector<JobRow>& rows);
// The same, but a failure gives false instead.
bool tryBindText(sqlite3_stmt* statement, int index, const std::u16string& text);
// A null cell (possible in a file written by other means) reads as empty text.
std::u16string columnText(sqlite3_stmt* statement, int column);

} // namespace store
