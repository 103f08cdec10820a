#include "support/bench_files.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "store/job_store.h"

namespace {

// Raised whenever the store's file layout changes, so kept files of an older
// layout are built again rather than measured; folders of other tags go.
constexpr const char* dataTag = "t3";

const std::filesystem::path dataRoot = PW_BENCH_DATA;

void exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "bench files: %s: %s\n", sql, error ? error : "?");
        std::exit(1);
    }
}

// The jobs table alone, as a store that keeps nothing beside it creates it.
void createTables(sqlite3* db)
{
    exec(db,
        "create table if not exists tbTrabajos (trllapri Integer primary key autoincrement,trfecha "
        "text,trusuario text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);");
    exec(db,
        "create table if not exists tbFechas (fellapri integer primary key autoincrement,fefecha text,fememo "
        "text(261) );");
}

// One statement in one transaction: the rows come from a recursive count, so
// nothing crosses between this program and SQLite per row.
void fillRows(const std::filesystem::path& file, long rows)
{
    sqlite3* db = nullptr;
    // Opened through the UTF-16 interface, so the file gets the text encoding
    // the program gives it.
    if (sqlite3_open16(file.u16string().c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "bench files: cannot open %s\n", file.string().c_str());
        std::exit(1);
    }
    createTables(db);
    exec(db, "pragma cache_size = -262144;");
    exec(db, "begin;");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < ?1 - 1) "
        "insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
        "select strftime('%Y-%m-%dT%H:%M:%f', julianday('now', 'localtime') - (?1 - 1 - i) * 3652.5 / ?1), "
        "'user' || (i * 7 % 50), 'PC' || (i % 20), 'printer' || (i % 5), 1 + i % 9 from n;",
        -1, &insert, nullptr);
    sqlite3_bind_int64(insert, 1, rows);
    if (sqlite3_step(insert) != SQLITE_DONE) {
        std::fprintf(stderr, "bench files: filling: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    sqlite3_finalize(insert);
    // Every job with details, as a device mode gives them: a quarter in
    // colour, half two-sided, A4 or Letter, each with a cost.
    exec(db,
        "create table if not exists tbDetalles (dtllapri integer primary key, dtcolor integer, dtcaras "
        "integer, "
        "dtpapel text, dthojas integer, dtbytes integer, dtdocumento text, dtcoste integer);");
    exec(db,
        "insert into tbDetalles select trllapri, 1 + (trllapri % 4 = 0), 1 + trllapri % 2, "
        "case when trllapri % 3 then 'A4' else 'Letter' end, trnumpags, 1000 * trnumpags, "
        "'document ' || (trllapri % 1000), trnumpags * 500 from tbTrabajos;");
    exec(db, "commit;");
    sqlite3_close(db);
}

void removeOtherTags()
{
    std::error_code ignored;
    if (!std::filesystem::exists(dataRoot, ignored)) return;
    for (const auto& entry : std::filesystem::directory_iterator(dataRoot, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(dataTag, 0) != 0) std::filesystem::remove_all(entry.path(), ignored);
    }
}

} // namespace

std::filesystem::path jobFileFolder(FileShape shape, long rows)
{
    static const bool cleaned = (removeOtherTags(), true);
    (void)cleaned;
    const std::filesystem::path folder = dataRoot
        / (std::string(dataTag) + (shape == FileShape::store ? "-store-" : "-table-only-")
            + std::to_string(rows));
    const std::filesystem::path done = folder / "complete";
    if (std::filesystem::exists(done)) return folder;

    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    auto start = std::chrono::steady_clock::now();
    fillRows(folder / "pgwarden.db", rows);
    if (shape == FileShape::store) {
        // The store adds its indexes to a file that lacks them, and builds what
        // else it keeps at its first statistics: both happen here, once.
        const std::u16string name = folder.u16string();
        closeJobDatabase(openJobDatabase(name));
        queryStatistics(name, DateTime{1800, 1, 0, 1}, GroupingColumn::printer, [](const StatisticsRow&) {});
    }
    std::printf("  (built %s with %ld rows in %.1f s)\n", folder.filename().string().c_str(), rows,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::ofstream(done) << rows << "\n";
    return folder;
}

std::filesystem::path scratchFolder(const std::string& name)
{
    const std::filesystem::path folder = dataRoot / (std::string(dataTag) + "-scratch-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

DateTime todayLocal()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateTime{static_cast<std::uint16_t>(local.tm_year + 1900),
        static_cast<std::uint16_t>(local.tm_mon + 1), 0, static_cast<std::uint16_t>(local.tm_mday)};
}
