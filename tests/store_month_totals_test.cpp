// The month totals kept in pgwarden.db stay exactly what the plain
// julianday() query over the jobs gives while other programs insert, delete
// and update rows behind the store's back: with the triggers, under another
// SQLite version that reads dates its own way, and in the ways that get
// past the triggers.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "store_rows_support.h"

namespace {

using StoreMonthTotals = StoreFolder;
using namespace storeRows;

// Some at the first moment of a month, at midnight, in the middle of a
// month, on a day that runs past its month, at 1800-01-01, and a few that
// julianday() cannot read.
std::vector<DateTime> edgeStarts()
{
    return {{1800, 1, 0, 1}, {2016, 3, 0, 1}, {2016, 1, 0, 1}, {2016, 2, 0, 29}, {2016, 3, 0, 5},
        {2016, 3, 0, 5, 12, 30, 15, 250}, {2016, 2, 0, 31, 6}, {2016, 4, 0, 1, 0, 0, 0, 1},
        {2015, 12, 0, 31, 23, 59, 59, 999}, {2000, 1, 0, 1, 10}, {2100, 1, 0, 1}, {2016, 13, 0, 1},
        {2016, 2, 0, 0}, {10000, 1, 0, 1}, {9999, 12, 0, 31, 12}};
}

// A file of its own under `folder`, made by the store, holding three jobs of
// March and February 2016; `before` runs on it next, unless null.
std::u16string threeJobFile(const std::u16string& folder, int round, const char* before = nullptr)
{
    const std::u16string place = folder + u"/" + std::u16string(1, static_cast<char16_t>(u'a' + round));
    std::filesystem::create_directories(std::filesystem::path(place));
    closeJobDatabase(openJobDatabase(place));
    RawDatabase raw(place);
    raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
             "('2016-03-05T09:00:00.000','ann','pc1','laser',2), "
             "('2016-02-07T09:00:00.000','ann','pc1','ink',3), "
             "('2016-03-06T09:00:00.000','bob','pc2','laser',4);");
    if (before) raw.exec(before);
    return place;
}

// Every start against every grouping; returns the number compared.
int expectAllFiguresExact(
    const std::u16string& folder, RawDatabase& raw, const std::vector<DateTime>& starts, const char* when)
{
    int compared = 0;
    for (const DateTime& since : starts) {
        for (GroupingColumn column :
            {GroupingColumn::printer, GroupingColumn::user, GroupingColumn::machine}) {
            std::u16string start = formatDateTimeText(since);
            EXPECT_EQ(storeFigures(folder, since, column), plainFigures(raw, since, column))
                << when << ", since " << std::string(start.begin(), start.end()) << ", grouping "
                << static_cast<int>(column);
            ++compared;
        }
        // The months of every third start: they share the reading of the periods.
        if ((&since - starts.data()) % 3 != 0) continue;
        const std::u16string start = formatDateTimeText(since);
        EXPECT_EQ(storeMonths(folder, since), plainMonths(raw, since))
            << when << ", months since " << std::string(start.begin(), start.end());
    }
    return compared;
}

// A connection whose clock stands at 2016-03-05 12:00 UTC: what it writes
// with a text that follows the clock, it writes a month long past.
class PastClockConnection {
public:
    explicit PastClockConnection(const std::u16string& folder)
    {
        static sqlite3_vfs past = [] {
            sqlite3_vfs copy = *sqlite3_vfs_find(nullptr);
            copy.zName = "pw-past-clock";
            copy.xCurrentTimeInt64 = [](sqlite3_vfs*, sqlite3_int64* now) {
                *now = 212323939200000LL; // julian day 2457453.0 in milliseconds
                return SQLITE_OK;
            };
            sqlite3_vfs_register(&copy, 0);
            return copy;
        }();
        const std::filesystem::path file(jobDatabasePath(folder));
        EXPECT_EQ(sqlite3_open_v2(file.string().c_str(), &db_, SQLITE_OPEN_READWRITE, past.zName), SQLITE_OK);
        sqlite3_busy_timeout(db_, 10000);
    }
    ~PastClockConnection() { sqlite3_close_v2(db_); }
    PastClockConnection(const PastClockConnection&) = delete;
    PastClockConnection& operator=(const PastClockConnection&) = delete;
    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// A connection that behaves as another SQLite version would: its
// sqlite_version() is not ours, and its julianday() disagrees with ours on
// some texts: it cannot read some that we read, reads one that we cannot,
// and puts others more than a month away.
class ForeignConnection {
public:
    explicit ForeignConnection(const std::u16string& folder)
    {
        EXPECT_EQ(sqlite3_open16(jobDatabasePath(folder).c_str(), &db_), SQLITE_OK);
        sqlite3_busy_timeout(db_, 10000);
        EXPECT_EQ(sqlite3_open(":memory:", &reference_), SQLITE_OK);
        sqlite3_create_function(db_, "sqlite_version", 0, SQLITE_UTF8, nullptr, &version, nullptr, nullptr);
        sqlite3_create_function(db_, "julianday", 1, SQLITE_UTF8, reference_, &julianday, nullptr, nullptr);
    }
    ~ForeignConnection()
    {
        sqlite3_close_v2(db_);
        sqlite3_close_v2(reference_);
    }
    ForeignConnection(const ForeignConnection&) = delete;
    ForeignConnection& operator=(const ForeignConnection&) = delete;

    sqlite3* handle() { return db_; }

private:
    static void version(sqlite3_context* context, int, sqlite3_value**)
    {
        sqlite3_result_text(context, "3.8.5", -1, SQLITE_STATIC);
    }
    static void julianday(sqlite3_context* context, int, sqlite3_value** arguments)
    {
        auto reference = static_cast<sqlite3*>(sqlite3_user_data(context));
        sqlite3_stmt* ours = nullptr;
        sqlite3_prepare_v2(reference, "select julianday(?);", -1, &ours, nullptr);
        sqlite3_bind_value(ours, 1, arguments[0]);
        sqlite3_step(ours);
        const bool readable = sqlite3_column_type(ours, 0) != SQLITE_NULL;
        const double day = sqlite3_column_double(ours, 0);
        sqlite3_finalize(ours);
        const int length = sqlite3_value_bytes(arguments[0]);
        if (!readable) {
            if (sqlite3_value_type(arguments[0]) == SQLITE_TEXT && length == 4) // "soon", say
                sqlite3_result_double(context, 2457449.5);
            else
                sqlite3_result_null(context);
        } else if (length % 3 == 0)
            sqlite3_result_null(context);
        else if (length % 3 == 1)
            sqlite3_result_double(context, day + 40);
        else
            sqlite3_result_double(context, day);
    }

    sqlite3* db_ = nullptr;
    sqlite3* reference_ = nullptr;
};

// Changes a connection makes to tbTrabajos, chosen at random: inserts of
// rows in every form, deletes, and updates of any column, the row number
// included.
class RandomWriter {
public:
    explicit RandomWriter(unsigned seed)
        : maker_(seed)
    {
    }

    // With `oddPages`, some rows get page counts the totals cannot add.
    void batch(sqlite3* db, bool oddPages)
    {
        oddPages_ = oddPages;
        const bool transaction = maker_.pick(0, 1) == 0;
        if (transaction) run(db, "begin;");
        for (int operations = maker_.pick(1, 6); operations > 0; --operations) {
            switch (maker_.pick(0, 5)) {
            case 0:
            case 1:
            case 2: insert(db, maker_.pick(1, 25)); break;
            case 3: remove(db, maker_.pick(1, 8)); break;
            case 4: update(db, maker_.pick(1, 8)); break;
            default: renumber(db); break;
            }
        }
        if (transaction) run(db, "commit;");
    }

    void run(sqlite3* db, const std::string& sql)
    {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << sql << ": " << error;
        sqlite3_free(error);
    }

private:
    // Names with quotes, a statement's worth of them, letters beyond ASCII,
    // empty and null names, a blob, and two that differ in case only.
    void bindName(sqlite3_stmt* statement, int index)
    {
        static const char* const names[] = {"ann", "Ann", "O'Neil", "x'); drop table tbTotalesMes; --",
            "\"Bob\"", "\xce\xa9mega", "", "laser", "pc1"};
        int choice = maker_.pick(0, static_cast<int>(std::size(names)) + 1);
        if (choice == static_cast<int>(std::size(names)))
            sqlite3_bind_null(statement, index);
        else if (choice == static_cast<int>(std::size(names)) + 1)
            sqlite3_bind_blob(statement, index, "ann", 3, SQLITE_STATIC);
        else
            sqlite3_bind_text(statement, index, names[choice], -1, SQLITE_STATIC);
    }

    // Mostly small counts, some null, and when asked for, now and then one
    // the totals cannot add.
    void bindPages(sqlite3_stmt* statement, int index)
    {
        int choice = maker_.pick(0, 80);
        if (oddPages_ && choice == 0)
            sqlite3_bind_double(statement, index, 2.5);
        else if (oddPages_ && choice == 1)
            sqlite3_bind_text(statement, index, "many", -1, SQLITE_STATIC);
        else if (choice < 40)
            sqlite3_bind_null(statement, index);
        else
            sqlite3_bind_int(statement, index, maker_.pick(-3, 12));
    }

    Cell anyDate()
    {
        std::size_t order = 0;
        return maker_.pick(0, 3) == 0 ? maker_.historyCell() : maker_.dateCell(order);
    }

    std::vector<sqlite3_int64> someRows(sqlite3* db, int count)
    {
        std::vector<sqlite3_int64> all;
        sqlite3_stmt* list = nullptr;
        sqlite3_prepare_v2(db, "select trllapri from tbTrabajos;", -1, &list, nullptr);
        while (sqlite3_step(list) == SQLITE_ROW) all.push_back(sqlite3_column_int64(list, 0));
        sqlite3_finalize(list);
        std::vector<sqlite3_int64> chosen;
        for (int i = 0; i < count && !all.empty(); ++i)
            chosen.push_back(all[static_cast<std::size_t>(maker_.pick(0, static_cast<int>(all.size()) - 1))]);
        return chosen;
    }

    void insert(sqlite3* db, int count)
    {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db,
            "insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values (?,?,?,?,?);",
            -1, &statement, nullptr);
        for (int i = 0; i < count; ++i) {
            bindCell(statement, 1, anyDate());
            for (int name = 2; name <= 4; ++name) bindName(statement, name);
            bindPages(statement, 5);
            EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
            sqlite3_reset(statement);
        }
        sqlite3_finalize(statement);
    }

    void remove(sqlite3* db, int count)
    {
        for (sqlite3_int64 row : someRows(db, count))
            run(db, "delete from tbTrabajos where trllapri = " + std::to_string(row) + ";");
    }

    void update(sqlite3* db, int count)
    {
        static const char* const columns[]
            = {"trfecha", "trusuario", "trmaquina", "trimpresora", "trnumpags"};
        for (sqlite3_int64 row : someRows(db, count)) {
            std::string set;
            std::vector<int> changed;
            for (int column = 0; column < 5; ++column) {
                if (maker_.pick(0, 2) != 0) continue;
                set += std::string(set.empty() ? "" : ", ") + columns[column] + " = ?"
                    + std::to_string(changed.size() + 1);
                changed.push_back(column);
            }
            if (set.empty()) continue;
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db,
                ("update tbTrabajos set " + set + " where trllapri = " + std::to_string(row) + ";").c_str(),
                -1, &statement, nullptr);
            for (std::size_t i = 0; i < changed.size(); ++i) {
                const int index = static_cast<int>(i) + 1;
                if (changed[i] == 0)
                    bindCell(statement, index, anyDate());
                else if (changed[i] == 4)
                    bindPages(statement, index);
                else
                    bindName(statement, index);
            }
            EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
            sqlite3_finalize(statement);
        }
    }

    // A row moves to a row number above all others: no row is replaced.
    void renumber(sqlite3* db)
    {
        for (sqlite3_int64 row : someRows(db, 1))
            run(db,
                "update tbTrabajos set trllapri = (select max(trllapri) + 1 from tbTrabajos) where trllapri "
                "= " + std::to_string(row)
                    + ";");
    }

    RowMaker maker_;
    bool oddPages_ = false;
};

} // namespace

// After every batch of changes, by our own SQLite or by one that reads dates
// its own way, every start and grouping read from the totals equals the plain
// query; once every row is gone, so is every entry of the totals.
TEST_F(StoreMonthTotals, TotalsFollowEveryChangeOfOtherPrograms)
{
    closeJobDatabase(openJobDatabase(folder));
    storeFigures(
        folder, {1800, 1, 0, 1}, GroupingColumn::user); // the totals and their triggers exist from here
    RawDatabase raw(folder);
    ForeignConnection foreign(folder);
    RandomWriter writer(20260412);
    RowMaker startMaker(77);

    storeCallCounts() = {};
    std::uint64_t compared = 0;
    for (int batch = 0; batch < 24; ++batch) {
        const bool byForeign = batch % 3 == 2;
        // Odd page counts come for a while, and go again.
        writer.batch(byForeign ? foreign.handle() : raw.handle(), batch >= 10 && batch < 14);
        if (batch == 16)
            writer.run(
                raw.handle(), "delete from tbTrabajos where typeof(trnumpags) not in ('integer', 'null');");
        std::vector<DateTime> starts = edgeStarts();
        for (int i = 0; i < 4; ++i) {
            Day d = startMaker.anyDay();
            starts.push_back(DateTime{static_cast<std::uint16_t>(d.year), static_cast<std::uint16_t>(d.month),
                0, static_cast<std::uint16_t>(d.day), static_cast<std::uint16_t>(startMaker.pick(0, 23)),
                static_cast<std::uint16_t>(startMaker.pick(0, 59)), 0, 0});
        }
        compared += static_cast<std::uint64_t>(expectAllFiguresExact(
            folder, raw, starts, byForeign ? "after a foreign batch" : "after a batch"));
        if (HasFailure()) break;
    }
    // Each way was taken: rows moved to our months, and most answers from
    // the totals, odd page counts or not.
    EXPECT_GT(storeCallCounts().totalsMoved, 0u);
    EXPECT_GT(storeCallCounts().totalsStatistics, compared / 2);
    EXPECT_EQ(storeCallCounts().totalsCounted, 0u); // nothing here needed counting anew

    writer.run(foreign.handle(), "delete from tbTrabajos where trllapri % 2 = 0;");
    writer.run(raw.handle(), "delete from tbTrabajos;");
    expectAllFiguresExact(folder, raw, {{1800, 1, 0, 1}}, "with every row deleted");
    EXPECT_EQ(raw.rows("select count(*) from tbTotalesMes;"), std::vector<std::string>{"0"});
    EXPECT_EQ(raw.rows("select count(*) from tbTotalesAjenos;"), std::vector<std::string>{"0"});
}

// Changes that get past the triggers, or leave the totals of another
// version's counting: each is noticed at the next statistics, whose figures
// are counted anew and exact.
TEST_F(StoreMonthTotals, ChangesPastTheTriggersAreCountedAnew)
{
    struct Case {
        const char* what;
        std::function<void(RawDatabase&)> change;
    };
    auto insertSome = [](RawDatabase& raw) {
        raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
                 "('2016-03-09T10:00:00.000','bob','pc2','ink',7), "
                 "('2016-03-10T11:00:00.000','cy','pc3','ink',1);");
    };
    const Case cases[] = {
        {"a row replaced by INSERT OR REPLACE",
            [](RawDatabase& raw) {
                raw.exec(
                    "insert or replace into tbTrabajos (trllapri, trfecha,trusuario,trmaquina, "
                    "trimpresora,trnumpags) values (2, '2016-03-20T08:00:00.000','dee','pc9','plot',11);");
            }},
        {"a row replaced by a new row number",
            [](RawDatabase& raw) {
                raw.exec("update or replace tbTrabajos set trllapri = 1 where trllapri = 3;");
            }},
        {"an insert ignored on a taken row number",
            [](RawDatabase& raw) {
                raw.exec(
                    "insert or ignore into tbTrabajos (trllapri, trfecha,trusuario,trmaquina, "
                    "trimpresora,trnumpags) values (2, '2016-03-20T08:00:00.000','dee','pc9','plot',11);");
            }},
        {"rows written while the triggers were away, and the triggers put back",
            [&](RawDatabase& raw) {
                std::vector<std::string> triggers
                    = raw.rows("select sql from sqlite_master where type = 'trigger' order by name;");
                for (const std::string& name :
                    raw.rows("select name from sqlite_master where type = 'trigger' order by name;"))
                    raw.exec("drop trigger " + name + ";");
                insertSome(raw);
                for (const std::string& sql : triggers) raw.exec(sql + ";");
            }},
        {"rows written by a connection with triggers switched off",
            [&](RawDatabase& raw) {
                sqlite3_db_config(raw.handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
                insertSome(raw);
            }},
        {"a trigger dropped",
            [&](RawDatabase& raw) {
                raw.exec("drop trigger trTotalesBaja;");
                raw.exec("delete from tbTrabajos where trllapri = 1;");
            }},
        {"a trigger of ours rewritten by another program",
            [&](RawDatabase& raw) {
                raw.exec("drop trigger trTotalesAlta;");
                raw.exec("create trigger trTotalesAlta after insert on tbTrabajos begin select 1; end;");
                insertSome(raw);
            }},
        {"totals counted by another SQLite version",
            [](RawDatabase& raw) {
                raw.exec("update tbTotalesSello set tsmotor = '3.8.5';");
                raw.exec("update tbTotalesMes set tmfilas = tmfilas + 1;"); // that version counted otherwise
            }},
        {"totals of an older layout",
            [](RawDatabase& raw) {
                raw.exec("update tbTotalesSello set tsformato = 0;");
                raw.exec("delete from tbTotalesMes where tmgrupo = 1;");
            }},
        {"the stamp deleted", [](RawDatabase& raw) { raw.exec("delete from tbTotalesSello;"); }},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string place = threeJobFile(folder, round++);
        storeFigures(place, {1800, 1, 0, 1}, GroupingColumn::user); // totals built
        RawDatabase raw(place);
        c.change(raw);
        storeCallCounts() = {};
        expectAllFiguresExact(place, raw, {{1800, 1, 0, 1}, {2016, 3, 0, 1}, {2016, 3, 0, 6, 8}}, c.what);
        EXPECT_EQ(storeCallCounts().totalsCounted, 1u);
        EXPECT_EQ(storeCallCounts().totalsStatistics, 9u);
    }
}

// Fractions, text, blobs, huge and infinite counts are jobs of unknown
// pages: a job each, no pages, counted apart; read from the totals like any
// other row, quickly too, and the same from the jobs themselves.
TEST_F(StoreMonthTotals, PageCountsThatAreNoNumberOfPagesCountAsJobsOfUnknownPages)
{
    closeJobDatabase(openJobDatabase(folder));
    storeFigures(folder, {1800, 1, 0, 1}, GroupingColumn::user);
    RawDatabase raw(folder);
    raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
             "('2016-01-05T09:00:00.000','ann','pc1','laser',2.5), "
             "('2016-01-06T09:00:00.000','bob','pc1','laser','many'), "
             "('2016-01-07T09:00:00.000','cy','pc1','laser',2199023255552), "
             "('2016-01-07T10:00:00.000','cy','pc1','laser',1099511627776), "
             "('2016-01-08T09:00:00.000','cy','pc1','laser',NULL), "
             "('2016-01-09T09:00:00.000','eve','pc1','laser',1e308), "
             "('2016-01-09T10:00:00.000','eve','pc1','laser',9e999), "
             "('2016-01-10T09:00:00.000','fay','pc1','laser',x'01'), "
             "('2016-03-05T09:00:00.000','ann','pc1','laser',3), "
             "('2016-03-06T09:00:00.000','dee','pc2','ink',NULL);");
    storeCallCounts() = {};
    expectAllFiguresExact(folder, raw, {{1800, 1, 0, 1}, {2016, 1, 0, 6}}, "with odd page counts");
    EXPECT_EQ(storeCallCounts().totalsStatistics, 6u);
    EXPECT_EQ(storeFigures(folder, {1800, 1, 0, 1}, GroupingColumn::user),
        (std::vector<std::u16string>{
            u"ann|3|2|1", u"bob|0|1|1", u"cy|1099511627776|2|1", u"dee||0|0", u"eve|0|2|2", u"fay|0|1|1"}));
    EXPECT_EQ(storeMonths(folder, {1800, 1, 0, 1}),
        (std::vector<std::u16string>{u"2016-01|1099511627776|7|6", u"2016-03|3|1|0"}));
    std::vector<std::u16string> quick, quickMonths;
    auto cells = [](std::vector<std::u16string>& to) {
        return [&to](const StatisticsRow& row) { to.push_back(figureLine(row)); };
    };
    storeCallCounts() = {};
    EXPECT_TRUE(quickStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::user, cells(quick)));
    EXPECT_TRUE(quickMonthlyStatistics(folder, {1800, 1, 0, 1}, cells(quickMonths)));
    EXPECT_EQ(storeCallCounts().totalsStatistics + storeCallCounts().totalsMonths, 2u);
    EXPECT_EQ(quick, plainFigures(raw, {1800, 1, 0, 1}, GroupingColumn::user));
    EXPECT_EQ(quickMonths, plainMonths(raw, {1800, 1, 0, 1}));
    storeCallCounts() = {};
    expectAllFiguresExact(folder, raw, {{2016, 2, 0, 1}, {2016, 3, 0, 5, 12}}, "after them");
    EXPECT_EQ(storeCallCounts().totalsStatistics, 6u);
}

// 'now' is the one trfecha whose day moves on: it counts in every period
// that has begun, and in none that has not.
TEST_F(StoreMonthTotals, NowCountsInEveryPeriodThatHasBegun)
{
    closeJobDatabase(openJobDatabase(folder));
    storeFigures(folder, {1800, 1, 0, 1}, GroupingColumn::user);
    RawDatabase raw(folder);
    raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
             "('now','ann','pc1','laser',2), ('NOW','bob','pc1','laser',3), "
             "('2016-03-05T09:00:00.000','ann','pc1','laser',4);");
    storeCallCounts() = {};
    EXPECT_EQ(storeFigures(folder, {2016, 3, 0, 5, 12}, GroupingColumn::user),
        (std::vector<std::u16string>{u"ann|2|1|0", u"bob|3|1|0"}));
    EXPECT_EQ(storeFigures(folder, {1800, 1, 0, 1}, GroupingColumn::printer),
        (std::vector<std::u16string>{u"laser|9|3|0"}));
    EXPECT_TRUE(storeFigures(folder, {9999, 1, 0, 1}, GroupingColumn::user).empty());
    EXPECT_EQ(storeCallCounts().totalsStatistics, 3u);
}

// The three ways past the stamp and the triggers, each closed: a row
// replaced on row number -1, texts that follow the clock other than a plain
// 'now' (written while the clock stood in another month), and deletes and
// updates made with triggers switched off, which only the check against the
// jobs finds. Afterwards every figure equals the plain query, and a second
// check finds nothing to count.
TEST_F(StoreMonthTotals, WaysPastTheStampAreClosed)
{
    struct Case {
        const char* what;
        const char* before; // run before the totals are built
        std::function<void(RawDatabase&, const std::u16string&)> change;
        TotalsCheck check;     // what the check then finds
        bool exactBeforeCheck; // the statistics see the change by themselves
    };
    auto exec
        = [](const char* sql) { return [sql](RawDatabase& raw, const std::u16string&) { raw.exec(sql); }; };
    auto withoutTriggers = [](const char* sql) {
        return [sql](RawDatabase& raw, const std::u16string&) {
            sqlite3_db_config(raw.handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
            raw.exec(sql);
            sqlite3_db_config(raw.handle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
        };
    };
    const Case cases[] = {
        {"INSERT OR REPLACE on row number -1",
            "insert into tbTrabajos (trllapri, trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
            "(-1, '2016-03-07T09:00:00.000','eve','pc4','laser',6);",
            exec("insert or replace into tbTrabajos (trllapri, trfecha,trusuario,trmaquina, "
                 "trimpresora,trnumpags) "
                 "values (-1, '2016-02-20T08:00:00.000','dee','pc9','plot',11);"),
            TotalsCheck::agreed, true},
        {"texts that follow the clock, written while it stood in March 2016", nullptr,
            [](RawDatabase&, const std::u16string& place) {
                PastClockConnection past(place);
                for (const char* date : {"'subsec'", "'SubSecond'", "'SUBSEC'", "'now' || char(0) || 'later'",
                         "'Now'", "x'6E006F007700'", "'subsec' || char(0)"}) {
                    const std::string sql
                        = std::string("insert into tbTrabajos (trfecha,trusuario,trmaquina, "
                                      "trimpresora,trnumpags) values (")
                        + date + ", 'clock', 'pc1', 'laser', 5);";
                    EXPECT_EQ(sqlite3_exec(past.handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                        << date << ": " << sqlite3_errmsg(past.handle());
                }
            },
            TotalsCheck::agreed, true},
        {"a row deleted with triggers off", nullptr,
            withoutTriggers("delete from tbTrabajos where trllapri = 2;"), TotalsCheck::recounted, false},
        {"a page count changed with triggers off", nullptr,
            withoutTriggers("update tbTrabajos set trnumpags = 40 where trllapri = 3;"),
            TotalsCheck::recounted, false},
        {"nothing past the triggers", nullptr,
            exec("delete from tbTrabajos where trllapri = 1; update tbTrabajos set trnumpags = 9 where "
                 "trllapri = 2;"),
            TotalsCheck::agreed, true},
    };
    const std::vector<DateTime> starts
        = {{1800, 1, 0, 1}, {2016, 3, 0, 1}, {2016, 3, 0, 6, 8}, {2016, 2, 0, 15}, {2100, 1, 0, 1}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string place = threeJobFile(folder, round++, c.before);
        EXPECT_EQ(checkMonthTotals(place), TotalsCheck::agreed); // the totals built, as they stand
        RawDatabase raw(place);
        c.change(raw, place);
        if (c.exactBeforeCheck) expectAllFiguresExact(place, raw, starts, "before the check");
        EXPECT_EQ(checkMonthTotals(place), c.check);
        expectAllFiguresExact(place, raw, starts, "after the check");
        EXPECT_EQ(checkMonthTotals(place), TotalsCheck::agreed);
    }
}

// A saved date whose fields run out of their range still reads, as
// julianday() reads it, only the jobs near its first month: no more steps
// than an ordinary start of the same month, with 20,000 jobs a year before.
TEST_F(StoreMonthTotals, StartsOutOfRangeReadOnlyTheirFirstMonth)
{
    closeJobDatabase(openJobDatabase(folder));
    {
        RawDatabase raw(folder);
        raw.exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
                 "insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) "
                 "select strftime('%Y-%m-%dT%H:%M:%f', '2015-01-01', '+' || (i * 25) || ' minutes'), "
                 "'user' || (i % 7), 'pc' || (i % 5), 'printer' || (i % 3), 1 + i % 9 from n;");
        raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
                 "('2016-03-05T23:00:00.000','ann','pc1','laser',2), "
                 "('2016-03-06T00:10:00.000','bob','pc1','ink',3), "
                 "('2016-03-31T23:59:00.000','cy','pc2','laser',4), "
                 "('2016-04-01T00:00:00.000','dee','pc2','ink',5);");
    }
    RawDatabase raw(folder);
    storeFigures(folder, {1800, 1, 0, 1}, GroupingColumn::user); // the totals built
    auto steps = [&](const DateTime& since) {
        storeCallCounts() = {};
        storeFigures(folder, since, GroupingColumn::user);
        EXPECT_EQ(storeCallCounts().totalsStatistics, 1u);
        return storeCallCounts().totalsReadSteps;
    };
    const std::uint64_t ordinary = steps({2016, 3, 0, 5, 23, 30});
    const struct {
        const char* what;
        DateTime since;
    } cases[] = {
        {"hour 24", {2016, 3, 0, 5, 24, 30}},
        {"a thousand milliseconds", {2016, 3, 0, 5, 23, 59, 59, 1000}},
        {"hour 24 on a month's last day", {2016, 3, 0, 31, 24, 0}},
        {"day 0", {2016, 3, 0, 0, 24}},
        {"month 0", {2016, 0, 0, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_LE(steps(c.since), ordinary * 2);
        expectAllFiguresExact(folder, raw, {c.since}, c.what);
    }
    EXPECT_LT(ordinary, 20000u);
}
