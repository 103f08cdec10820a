// Job store against real SQLite files: opening and schema, the date-time
// text, recording jobs, the statistics query and the saved dates.
#include <gtest/gtest.h>

#include <fstream>

#include "common/failure.h"
#include "store_support.h"
#include "support/fatal_error.h"

namespace {

using StoreDatabase = StoreFolder;
using StoreRecording = StoreFolder;
using StoreStatistics = StoreFolder;
using StoreSavedDates = StoreFolder;

const char createDatesTableSql[]
    = "create table if not exists tbFechas (fellapri integer primary key autoincrement,fefecha text,fememo "
      "text(261) );";

std::vector<std::string> schemaNames(RawDatabase& raw)
{
    return raw.rows("select name from sqlite_master where name not like 'sqlite%' order by name;");
}

JobRecord job(const char16_t* user, const char16_t* machine, const char16_t* printer, std::uint32_t pages)
{
    JobRecord record;
    record.userName = user;
    record.machineName = machine;
    record.printerName = printer;
    record.pagesPrinted = pages;
    record.submitted = {2016, 3, 0, 5, 9, 7, 2, 45};
    return record;
}

bool oneHourEast(const DateTime& utc, DateTime& local)
{
    local = {2017, 1, 0, 1, 0, 30, 0, 0}; // 2016-12-31 23:30 UTC at UTC+1
    return utc == DateTime{2016, 12, 6, 31, 23, 30, 0, 0};
}

bool conversionFails(const DateTime&, DateTime& local)
{
    local = {1999, 9, 9, 9, 9, 9, 9, 9}; // garbage that must not be used
    return false;
}

std::vector<std::string> statistics(const std::u16string& folder, DateTime since, GroupingColumn column)
{
    std::vector<std::string> rows;
    queryStatistics(folder, since, column, [&](const StatisticsRow& row) {
        auto narrow = [](const std::u16string& s) { return std::string(s.begin(), s.end()); };
        rows.push_back(narrow(row.group) + "|" + narrow(row.pages) + "|" + narrow(row.jobs));
    });
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

// ---- opening -----------------------------------------------------------------------------------------

const std::vector<std::string> completeSchema
    = {"ixTrabajosFecha", "ixTrabajosFechaIrregular", "tbDetalles", "tbFechas", "tbTrabajos"};
// After the first statistics: the month totals and the triggers that keep them.
const std::vector<std::string> schemaWithTotals
    = {"ixTrabajosFecha", "ixTrabajosFechaIrregular", "tbDetalleCuenta", "tbDetalles", "tbFechas",
        "tbTotalesAjenos", "tbTotalesDetalle", "tbTotalesMes", "tbTotalesSello", "tbTrabajos",
        "trDetallesAlta", "trDetallesBaja", "trDetallesCambio", "trDetallesDuda", "trDetallesDudaCambio",
        "trDetallesTrabajoAlta", "trDetallesTrabajoBaja", "trDetallesTrabajoCambio", "trTotalesAlta",
        "trTotalesBaja", "trTotalesCambio", "trTotalesDuda", "trTotalesDudaCambio", "trTotalesDudaMenosUno"};

TEST_F(StoreDatabase, FirstOpeningCreatesTheFileBothTablesAndTheIndexes)
{
    storeCallCounts() = {};
    closeJobDatabase(openJobDatabase(folder + u"/")); // a trailing separator names the same file
    EXPECT_TRUE(std::filesystem::exists(path / "pgwarden.db"));
    EXPECT_EQ(storeCallCounts().schemaStatements, 5u); // three tables, two indexes
    RawDatabase raw(folder);
    EXPECT_EQ(schemaNames(raw), completeSchema);
    EXPECT_EQ(raw.rows("pragma encoding;"), std::vector<std::string>{"UTF-16le"});
}

TEST_F(StoreDatabase, OpeningACompleteFileRunsNoSchemaStatement)
{
    closeJobDatabase(openJobDatabase(folder));
    storeCallCounts() = {};
    closeJobDatabase(openJobDatabase(folder));
    EXPECT_EQ(storeCallCounts().schemaStatements, 0u);
    EXPECT_EQ(storeCallCounts().busyAnswers, 0u);
}

TEST_F(StoreDatabase, MissingJobsTableIsCreatedAndSavedDatesSurvive)
{
    {
        RawDatabase raw(folder);
        raw.exec(createDatesTableSql);
        raw.exec("insert into tbFechas (fefecha, fememo) values ('2016-03-05T14:20:00.000', 'kept');");
    }
    storeCallCounts() = {};
    closeJobDatabase(openJobDatabase(folder));
    EXPECT_EQ(storeCallCounts().schemaStatements, 5u);
    RawDatabase raw(folder);
    EXPECT_EQ(schemaNames(raw), completeSchema);
    EXPECT_EQ(raw.rows("select fememo from tbFechas;"), std::vector<std::string>{"kept"});
}

TEST_F(StoreDatabase, FileWrittenWithoutTheIndexesGetsThemAndStillCounts)
{
    {
        RawDatabase raw(folder);
        raw.exec(createDatesTableSql);
        raw.exec("create table if not exists tbTrabajos (trllapri Integer primary key autoincrement,trfecha "
                 "text,trusuario text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);");
        raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
                 "('2016-01-01T00:00:00.000','ann','pc','laser',4);");
    }
    EXPECT_EQ(statistics(folder, {1800, 1, 0, 1}, GroupingColumn::user), std::vector<std::string>{"ann|4|1"});
    RawDatabase raw(folder);
    EXPECT_EQ(schemaNames(raw), schemaWithTotals);
}

// Older SQLite versions refuse a whole file at the first index on an
// expression; such indexes of earlier builds go (the date index comes back
// plain), and the file keeps every row and its figures. Plain indexes by
// grouping column of earlier builds stay, and so does any index of another
// program.
TEST_F(StoreDatabase, IndexesOnJuliandayGiveWayToPlainOnes)
{
    {
        RawDatabase raw(folder);
        raw.exec(createDatesTableSql);
        raw.exec("create table tbTrabajos (trllapri Integer primary key autoincrement,trfecha "
                 "text,trusuario text(100),trmaquina text(100), trimpresora text(100),trnumpags integer);");
        raw.exec("create index ixTrabajosFecha on tbTrabajos (julianday(trfecha));");
        raw.exec(
            "create index ixTrabajosImpresora on tbTrabajos (trimpresora, julianday(trfecha), trnumpags);");
        raw.exec("create index ixTrabajosUsuario on tbTrabajos (trusuario, julianday(trfecha), trnumpags);");
        raw.exec("create index ixTrabajosMaquina on tbTrabajos (trmaquina, trfecha, trnumpags);");
        raw.exec("create index ixOtherProgram on tbTrabajos (trnumpags);");
        raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
                 "('2016-01-01T00:00:00.000','ann','pc','laser',4);");
    }
    storeCallCounts() = {};
    EXPECT_EQ(
        statistics(folder, {2015, 12, 0, 31}, GroupingColumn::user), std::vector<std::string>{"ann|4|1"});
    // three dropped, one made again, one new; and the details' table
    EXPECT_EQ(storeCallCounts().schemaStatements, 6u);
    {
        RawDatabase raw(folder);
        EXPECT_TRUE(
            raw.rows("select name from sqlite_master where type = 'index' and sql like '%julianday%';")
                .empty());
        EXPECT_EQ(
            raw.rows("select sql from sqlite_master where name in ('ixTrabajosFecha', 'ixTrabajosMaquina', "
                     "'ixTrabajosUsuario') order by name;"),
            (std::vector<std::string>{"CREATE INDEX ixTrabajosFecha on tbTrabajos (trfecha)",
                "CREATE INDEX ixTrabajosMaquina on tbTrabajos (trmaquina, trfecha, trnumpags)"}));
        EXPECT_EQ(raw.rows("select count(*) from sqlite_master where name = 'ixOtherProgram';"),
            std::vector<std::string>{"1"}); // not ours: left alone
    }
    storeCallCounts() = {};
    closeJobDatabase(openJobDatabase(folder));
    EXPECT_EQ(storeCallCounts().schemaStatements, 0u);
}

TEST_F(StoreDatabase, ClosingWithAStatementStillOpenIsFatal)
{
    Database db = openJobDatabase(folder);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.get(), "select 1;", -1, &statement, nullptr), SQLITE_OK);
    EXPECT_FATAL(closeJobDatabase(std::move(db)), u"misqlite", u"314");
    sqlite3_finalize(statement);
}

// ---- date-time text
// ----------------------------------------------------------------------------------------

TEST(StoreDateTimeText, WrittenFormIsZeroPaddedIso)
{
    EXPECT_EQ(formatDateTimeText({2016, 3, 6, 5, 9, 7, 2, 45}), u"2016-03-05T09:07:02.045");
    EXPECT_EQ(formatDateTimeText({1800, 1, 0, 1, 0, 0, 0, 0}), u"1800-01-01T00:00:00.000");
    EXPECT_EQ(formatDateTimeText({12345, 10, 0, 31, 23, 59, 59, 1234}), u"12345-10-31T23:59:59.1234");
}

TEST(StoreDateTimeText, ReadFormSetsSevenFieldsAndZeroesWhatItCannotRead)
{
    const std::u16string spaces97(97, u' ');
    struct Case {
        std::u16string text;
        DateTime expected; // dayOfWeek 7 is the caller's value, always kept
    } cases[] = {
        {u"2016-3-5T9:7:2.45", {2016, 3, 7, 5, 9, 7, 2, 45}},
        {u"2016-03-05T14:20:00.000", {2016, 3, 7, 5, 14, 20, 0, 0}},
        {u"2016-03-05", {2016, 3, 7, 5, 0, 0, 0, 0}},
        {u"2016/03/05T14:20:00.000", {2016, 0, 7, 0, 0, 0, 0, 0}}, {u"soon", {0, 0, 7, 0, 0, 0, 0, 0}},
        {u"65537-1-1T0:0:0.-1", {1, 1, 7, 1, 0, 0, 0, 65535}},               // low 16 bits
        {spaces97 + u"2016-03-05T14:20:00.000", {201, 0, 7, 0, 0, 0, 0, 0}}, // cut at 100 units
    };
    for (const Case& c : cases) {
        DateTime time{9, 9, 7, 9, 9, 9, 9, 9};
        parseDateTimeText(c.text.c_str(), time);
        EXPECT_EQ(time, c.expected) << std::string(c.text.begin(), c.text.end());
    }
}

// ---- recording ---------------------------------------------------------------------------------------

TEST(StoreJobPageCount, PagesTimesCopiesIn64Bits)
{
    struct Case {
        std::uint32_t printed, total;
        bool hasDevMode;
        std::uint32_t fields;
        std::int16_t copies;
        std::int64_t expected;
    } cases[] = {
        {0, 3, true, deviceModeCopies, 2, 6},
        {5, 3, true, 0, 4, 5}, // copies ignored without DM_COPIES
        {200, 0, true, deviceModeCopies, 200, 40000},
        {7, 0, true, deviceModeCopies, 0, 7},
        {7, 0, true, deviceModeCopies, -3, 7},
        {7, 0, false, deviceModeCopies, 5, 7}, // no device mode: one copy
        {4000000000u, 0, true, deviceModeCopies, 32767, 4000000000LL * 32767},
    };
    for (const Case& c : cases) {
        JobRecord record;
        record.pagesPrinted = c.printed;
        record.totalPages = c.total;
        record.hasDevMode = c.hasDevMode;
        record.dmFields = c.fields;
        record.dmCopies = c.copies;
        EXPECT_EQ(jobPageCount(record), c.expected) << c.printed << " pages, " << c.copies << " copies";
    }
}

TEST_F(StoreRecording, RowHoldsLocalTimeNamesAndPagesExactly)
{
    JobRecord east = job(u"ann", u"\\\\PC1", u"laser", 0);
    east.totalPages = 3;
    east.hasDevMode = true;
    east.dmFields = deviceModeCopies;
    east.dmCopies = 2;
    east.submitted = {2016, 12, 6, 31, 23, 30, 0, 0};
    recordJob(folder, east, oneHourEast, leftQueueAt);

    JobRecord quoted = job(u"O'Neil", u"x'); drop table tbTrabajos; --", u"Bob's Laser", 200);
    quoted.hasDevMode = true;
    quoted.dmFields = deviceModeCopies;
    quoted.dmCopies = 200;
    recordJob(folder, quoted, conversionFails, leftQueueAt);

    JobRecord nameless = job(u"", u"pc", u"laser", 1);
    nameless.userName.reset();
    recordJob(folder, nameless, nullptr, leftQueueAt);

    RawDatabase raw(folder);
    EXPECT_EQ(raw.rows("select trfecha, trusuario, trmaquina, trimpresora, trnumpags, typeof(trusuario) from "
                       "tbTrabajos order by trllapri;"),
        (std::vector<std::string>{
            "2017-01-01T00:30:00.000|ann|\\\\PC1|laser|6|text",
            "2016-03-05T09:07:02.045|O'Neil|x'); drop table tbTrabajos; --|Bob's Laser|40000|text",
            "2016-03-05T09:07:02.045||pc|laser|1|text",
        }));
}

// SQLite reads a leading U+FEFF or U+FFFE of bound UTF-16 text as a byte
// order mark: dropped, or the rest byte-swapped. Names that begin with one
// are stored and read back unit for unit, in every name column and memo.
TEST_F(StoreRecording, NamesBeginningWithAByteOrderMarkAreKeptExactly)
{
    const std::u16string names[] = {u"\uFEFFann", u"\uFFFEpc", u"\uFEFF\uFFFEPrinter", u"\uFFFE", u"\uFEFF"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        JobRecord record = job(names[i].c_str(), names[(i + 1) % 5].c_str(), names[(i + 2) % 5].c_str(), 1);
        recordJob(folder, record, keepUtc, leftQueueAt);
    }
    RawDatabase raw(folder);
    for (const char* column : {"trusuario", "trmaquina", "trimpresora"}) {
        std::vector<std::u16string> stored
            = raw.rows16(std::string("select ") + column + " from tbTrabajos order by trllapri;");
        ASSERT_EQ(stored.size(), 5u) << column;
        int offset = column[2] == 'u' ? 0 : column[2] == 'm' ? 1 : 2;
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_EQ(stored[i], names[(i + offset) % 5]) << column << " row " << i;
    }
    // The statistics read them back through sqlite3_column_text16 unchanged.
    std::vector<std::u16string> groups;
    queryStatistics(folder, {1800, 1, 0, 1}, GroupingColumn::user,
        [&](const StatisticsRow& row) { groups.push_back(row.group); });
    std::sort(groups.begin(), groups.end());
    std::vector<std::u16string> expected(std::begin(names), std::end(names));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(groups, expected);

    for (const std::u16string& memo : names) addSavedDate(folder, {2016, 3, 0, 5}, memo);
    DateTime date{};
    EXPECT_FALSE(findSavedDate(folder, date, u"ann"));
    ASSERT_TRUE(findSavedDate(folder, date, u"\uFFFE"));
    std::vector<std::u16string> memos;
    listSavedDateNames(folder, SavedNamesFill::load, [&](const std::u16string& memo) {
        memos.push_back(memo);
        return true;
    });
    // Binary order of the stored UTF-16 LE bytes: FE FF sorts before FF FE.
    EXPECT_EQ(memos,
        (std::vector<std::u16string>{
            u"\uFFFE", u"\uFFFEpc", u"\uFEFF", u"\uFEFFann", u"\uFEFF\uFFFEPrinter"}));
    deleteSavedDate(folder, u"\uFEFF");
    EXPECT_EQ(
        raw.rows16("select fememo from tbFechas where fememo = '' or length(fememo) = 1 order by fememo;"),
        std::vector<std::u16string>{u"\uFFFE"});
}

TEST_F(StoreRecording, StepThatKeepsFailingEndsAfterBoundedRetries)
{
    {
        RawDatabase raw(folder);
        raw.exec(
            "create table tbTrabajos (trllapri integer primary key autoincrement, trfecha text, trusuario "
            "text, trmaquina text, trimpresora text, trnumpags integer check (trnumpags < 100));");
        raw.exec(createDatesTableSql);
    }
    storeCallCounts() = {};
    EXPECT_FATAL(
        recordJob(folder, job(u"ann", u"pc", u"laser", 500), keepUtc, leftQueueAt), u"misqlite", u"166");
    EXPECT_GT(storeCallCounts().waitingCalls, 20u); // it was retried, and then it stopped
}

// A file whose tables lack the columns ends each operation in its own compile line.
TEST_F(StoreDatabase, TablesOfAnotherShapeEndInTheOperationsCompileLine)
{
    {
        RawDatabase raw(folder);
        raw.exec("create table tbTrabajos (other text); create table tbFechas (other text);");
    }
    DateTime date{2016, 3, 0, 5};
    auto accept = [](const std::u16string&) { return true; };
    EXPECT_FATAL(recordJob(folder, job(u"a", u"b", u"c", 1), keepUtc, leftQueueAt), u"misqlite", u"158");
    EXPECT_FATAL(
        queryStatistics(folder, date, GroupingColumn::user, [](const StatisticsRow&) {}), u"misqlite", u"74");
    EXPECT_FATAL(findSavedDate(folder, date, u"m"), u"misqlite", u"336");
    EXPECT_FATAL(addSavedDate(folder, date, u"m"), u"misqlite", u"379");
    EXPECT_FATAL(listSavedDateNames(folder, SavedNamesFill::append, accept), u"misqlite", u"398");
    EXPECT_FATAL(listSavedDateNames(folder, SavedNamesFill::load, accept), u"misqlite", u"431");
    EXPECT_FATAL(deleteSavedDate(folder, u"m"), u"misqlite", u"463");
}

// ---- statistics ------------------------------------------------------------------------------------------

TEST_F(StoreStatistics, GroupsCountFromTheStartThroughJulianday)
{
    const char* rows[] = {
        "('2016-03-05T09:07:02.045','ann','pc1','laser',2)", // exactly the start
        "('2016-03-06T10:00:00.000','bob','pc1','laser',3)",
        "('2016-03-07T11:00:00.000','ann','pc1','ink',4)",
        "('2016-03-05T09:07:02.044','Ann','pc2','laser',5)", // a millisecond early
        "('2016-3-8 soon','ann','pc1','laser',1000)",        // never readable as a date
        "(NULL,'ann','pc1','laser',1000)",
    };
    closeJobDatabase(openJobDatabase(folder));
    RawDatabase raw(folder);
    for (const char* row : rows)
        raw.exec(
            std::string("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values ")
            + row + ";");

    const DateTime start{2016, 3, 6, 5, 9, 7, 2, 45};
    EXPECT_EQ(statistics(folder, start, GroupingColumn::machine), std::vector<std::string>{"pc1|9|3"});
    EXPECT_EQ(
        statistics(folder, start, GroupingColumn::user), (std::vector<std::string>{"ann|6|2", "bob|3|1"}));
    EXPECT_EQ(statistics(folder, start, GroupingColumn::printer),
        (std::vector<std::string>{"ink|4|1", "laser|5|2"}));
    EXPECT_EQ(statistics(folder, {1800, 1, 0, 1}, GroupingColumn::user),
        (std::vector<std::string>{"Ann|5|1", "ann|6|2", "bob|3|1"}));
    EXPECT_TRUE(statistics(folder, {2016, 3, 0, 8}, GroupingColumn::user).empty());
    // A start at the oldest job reads the whole table through the grouping
    // column's index: the same groups, the unreadable rows still left out.
    EXPECT_EQ(statistics(folder, {2016, 3, 6, 5, 9, 7, 2, 44}, GroupingColumn::user),
        (std::vector<std::string>{"Ann|5|1", "ann|6|2", "bob|3|1"}));
}

// ---- saved dates
// -------------------------------------------------------------------------------------------

TEST_F(StoreSavedDates, SavedDateIsFoundWithItsSevenFieldsUnderItsExactMemo)
{
    const std::u16string memo = u"x'); drop table tbTrabajos; --";
    DateTime date{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(findSavedDate(folder, date, memo));
    EXPECT_EQ(date, (DateTime{1, 2, 3, 4, 5, 6, 7, 8}));

    addSavedDate(folder, {2016, 3, 6, 5, 14, 20, 0, 0}, memo);
    EXPECT_FALSE(findSavedDate(folder, date, u"X'); drop table tbTrabajos; --"));
    ASSERT_TRUE(findSavedDate(folder, date, memo));
    EXPECT_EQ(date, (DateTime{2016, 3, 3, 5, 14, 20, 0, 0}));
    RawDatabase raw(folder);
    EXPECT_EQ(raw.rows("select fefecha from tbFechas;"), std::vector<std::string>{"2016-03-05T14:20:00.000"});
}

TEST_F(StoreSavedDates, NamesComeInBinaryOrderAndDeleteRemovesEveryCopy)
{
    for (const char16_t* memo : {u"Zebra", u"audit", u"Easter", u"audit"})
        addSavedDate(folder, {2016, 1}, memo);
    auto names = [&](SavedNamesFill fill) {
        std::vector<std::u16string> seen;
        listSavedDateNames(folder, fill, [&](const std::u16string& name) {
            seen.push_back(name);
            return true;
        });
        return seen;
    };
    EXPECT_EQ(names(SavedNamesFill::append),
        (std::vector<std::u16string>{u"Easter", u"Zebra", u"audit", u"audit"}));
    deleteSavedDate(folder, u"audit");
    deleteSavedDate(folder, u"missing");
    EXPECT_EQ(names(SavedNamesFill::load), (std::vector<std::u16string>{u"Easter", u"Zebra"}));

    auto refuse = [](const std::u16string&) { return false; };
    EXPECT_FATAL(listSavedDateNames(folder, SavedNamesFill::append, refuse), u"misqlite", u"411");
    EXPECT_FATAL(listSavedDateNames(folder, SavedNamesFill::load, refuse), u"misqlite", u"444");
}

TEST_F(StoreSavedDates, OverlongOrUnreadableSavedTextLeavesUnreadFieldsZero)
{
    closeJobDatabase(openJobDatabase(folder));
    {
        RawDatabase raw(folder);
        raw.exec("insert into tbFechas (fefecha, fememo) values ('2016-03-05T14:20:00.000' || "
                 "substr(hex(zeroblob(200)), 1, 200), 'long');");
        raw.exec("insert into tbFechas (fefecha, fememo) values ('2016-03', 'short');");
    }
    DateTime date{9, 9, 4, 9, 9, 9, 9, 9};
    ASSERT_TRUE(findSavedDate(folder, date, u"long"));
    EXPECT_EQ(date, (DateTime{2016, 3, 4, 5, 14, 20, 0, 0}));
    ASSERT_TRUE(findSavedDate(folder, date, u"short"));
    EXPECT_EQ(date, (DateTime{2016, 3, 4, 0, 0, 0, 0, 0}));
}

// A file that is not a database ends every operation in its opening's report,
// which says so in SQLite's words: the user then knows the file is the trouble.
TEST_F(StoreDatabase, ADamagedFileIsReportedInSqlitesWords)
{
    {
        std::ofstream damaged(path / "pgwarden.db", std::ios::binary);
        damaged << std::string(8192, 'x');
    }
    takeFailureDetail();
    EXPECT_FATAL(openJobDatabase(folder), u"misqlite", u"215");
    EXPECT_EQ(takeFailureDetail(), u"file is not a database");
}

// A file another program made in UTF-8 holds our UTF-16 names converted: a
// surrogate without its partner becomes U+FFFD, and the character after it
// stays (SQLite built with SQLITE_REPLACE_INVALID_UTF).
TEST(StoreText, ALoneSurrogateKeepsTheCharacterAfterIt)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK); // UTF-8
    sqlite3_stmt* query = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT ?1 || '';", -1, &query, nullptr), SQLITE_OK);
    const std::u16string cases[][2] = {
        {u"a\xD800xb", u"a\uFFFDxb"},
        {u"a\xDC00xb", u"a\uFFFDxb"},
        {u"ab\xD800", u"ab\uFFFD"},
        {u"a\U0001F5A8b", u"a\U0001F5A8b"},
    };
    for (const auto& c : cases) {
        sqlite3_reset(query);
        sqlite3_bind_text16(query, 1, c[0].data(), static_cast<int>(c[0].size() * 2), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(query), SQLITE_ROW);
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(query, 0));
        EXPECT_EQ(std::u16string(text, static_cast<std::size_t>(sqlite3_column_bytes16(query, 0)) / 2), c[1]);
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
}
