#include "support/full_scan_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace fullScan {

namespace {

constexpr int busy = SQLITE_BUSY;

// The busy retry: the call is made while its result is "busy", and every
// call, the first and a successful one included, is followed by the pause.
template <typename Call> int underBusyRetry(Call&& call)
{
    int result = busy;
    while (result == busy) {
        result = call();
        std::this_thread::sleep_for(std::chrono::milliseconds(90));
    }
    return result;
}

std::u16string widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string dateTimeText(const DateTime& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", t.year, t.month, t.day, t.hour,
        t.minute, t.second, t.milliseconds);
    return widen(text);
}

sqlite3_stmt* prepare(sqlite3* db, const std::u16string& text)
{
    sqlite3_stmt* statement = nullptr;
    int result = underBusyRetry([&] {
        return sqlite3_prepare16_v2(
            db, text.c_str(), static_cast<int>((text.size() + 1) * 2), &statement, nullptr);
    });
    if (result != SQLITE_OK) {
        std::fprintf(stderr, "full-scan store: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    return statement;
}

} // namespace

sqlite3* openJobDatabase(const std::u16string& folder)
{
    const std::u16string path = folder + u"/pgwarden.db";
    sqlite3* db = nullptr;
    underBusyRetry([&] { return sqlite3_open16(path.c_str(), &db); });
    sqlite3_stmt* tables = prepare(db, u"Select name from sqlite_master where type = 'table';");
    bool jobs = false, dates = false;
    for (;;) {
        int result = underBusyRetry([&] { return sqlite3_step(tables); });
        if (result == SQLITE_DONE) break;
        if (result != SQLITE_ROW) continue;
        std::u16string name(static_cast<const char16_t*>(sqlite3_column_text16(tables, 0)));
        jobs |= name == u"tbTrabajos";
        dates |= name == u"tbFechas";
    }
    if (jobs && dates) {
        sqlite3_finalize(tables);
        return db;
    }
    underBusyRetry([&] { return sqlite3_finalize(tables); });
    for (const char16_t* schema :
        {u"create table if not exists tbTrabajos (trllapri Integer primary key autoincrement,trfecha "
         u"text,trusuario text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);",
            u"create table if not exists tbFechas (fellapri integer primary key autoincrement,fefecha "
            u"text,fememo text(261) );"}) {
        sqlite3_stmt* create = prepare(db, schema);
        underBusyRetry([&] { return sqlite3_step(create); });
        underBusyRetry([&] { return sqlite3_finalize(create); });
    }
    return db;
}

void closeJobDatabase(sqlite3* db)
{
    sqlite3_close(db);
}

void recordJob(const std::u16string& folder, const JobRecord& job)
{
    sqlite3* db = openJobDatabase(folder);
    std::int32_t pages = static_cast<std::int16_t>(job.pagesPrinted != 0 ? job.pagesPrinted : job.totalPages);
    if (job.hasDevMode && (job.dmFields & deviceModeCopies) != 0)
        pages = static_cast<std::int16_t>(pages * job.dmCopies);
    std::u16string text
        = u"insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values ('"
        + dateTimeText(job.submitted) + u"','" + job.userName.value_or(u"") + u"','"
        + job.machineName.value_or(u"") + u"','" + job.printerName.value_or(u"") + u"',"
        + widen(std::to_string(pages)) + u");";
    sqlite3_stmt* insert = prepare(db, text);
    underBusyRetry([&] { return sqlite3_step(insert); });
    underBusyRetry([&] { return sqlite3_finalize(insert); });
    closeJobDatabase(db);
}

std::size_t queryStatistics(const std::u16string& folder, const DateTime& since, const char* column)
{
    sqlite3* db = openJobDatabase(folder);
    const std::u16string name = widen(column);
    sqlite3_stmt* query = prepare(db,
        u"select " + name + u", sum(trnumpags), count(trnumpags) from tbTrabajos where julianday(trfecha) "
            + u">= julianday('" + dateTimeText(since) + u"') group by " + name + u";");
    std::size_t groups = 0;
    for (;;) {
        int result = underBusyRetry([&] { return sqlite3_step(query); });
        if (result == SQLITE_DONE) break;
        if (result != SQLITE_ROW) continue;
        for (int cell = 0; cell < 3; ++cell) sqlite3_column_text16(query, cell);
        ++groups;
    }
    sqlite3_finalize(query);
    closeJobDatabase(db);
    return groups;
}

} // namespace fullScan
