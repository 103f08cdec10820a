// The job log read a page at a time: every order and filter gives, page by
// page and from either end, exactly the jobs a plain query gives, and its
// counts and searches agree with them.
#include <gtest/gtest.h>

#include "common/strings.h"
#include "store/database_preparation.h"
#include "store/job_log.h"
#include "store_support.h"

namespace {

using StoreJobLog = StoreFolder;

// Ties on every column, a user only in the first month, a null name, a
// document with a percent sign, a job before the period and one of another
// program's with a time that is no date.
constexpr char jobsOfTheLog[] = R"(
insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) values
 ('2026-01-31T23:59:59.999', 'ana', 'PC1', 'Office', 3),
 ('2026-02-01T08:00:00.000', 'Ben', 'PC2', 'Office', 10),
 ('2026-02-01T08:00:00.000', 'ana', 'PC1', 'Lab', 1),
 ('2026-02-01T08:00:00.000', 'cid', NULL, 'Lab', 10),
 ('2026-02-14T12:00:00.000', 'ana', 'PC2', 'Office', 2),
 ('2026-03-02T09:30:00.000', 'dan', 'PC3', 'Lab', NULL),
 ('2025-12-31T10:00:00.000', 'eve', 'PC1', 'Office', 5),
 ('now', 'ana', 'PC1', 'Office', 7),
 ('2026-03-05T10:00:00.000', 'ana', 'PC1', 'Office', 4);
insert into tbDetalles (dtllapri, dtcolor, dtdocumento, dtcoste) values
 (2, 2, 'Budget 100% final', 4000), (5, 1, 'minutes_v2', NULL), (9, NULL, NULL, 1200);
)";

std::u16string rowsOf(const std::vector<LogEntry>& entries)
{
    std::u16string rows;
    for (const LogEntry& entry : entries) rows += (rows.empty() ? u"" : u" ") + decimalText(entry.row);
    return rows;
}

// Every entry, read `size` at a time from the given end.
std::vector<LogEntry> pageByPage(
    sqlite3* db, const LogFilter& filter, const LogOrder& order, std::size_t size, bool fromEnd)
{
    std::vector<LogEntry> all;
    for (;;) {
        std::vector<LogEntry> page
            = readLogPage(db, filter, order, all.empty() ? nullptr : &all.back(), size, fromEnd);
        all.insert(all.end(), page.begin(), page.end());
        if (page.size() < size) return all;
    }
}

TEST_F(StoreJobLog, PagesFromEitherEndGiveEveryJobInTheOrderOnce)
{
    closeJobDatabase(openJobDatabase(folder));
    RawDatabase(folder).exec(jobsOfTheLog);
    const LogFilter period{{2026, 1, 0, 15}, std::nullopt, u"", u""};
    const struct {
        LogOrder order;
        const char16_t* rows;
    } cases[] = {
        {{LogColumn::time, true}, u"9 6 5 4 3 2 1"},
        {{LogColumn::time, false}, u"1 2 3 4 5 6 9"},
        {{LogColumn::user, false}, u"2 1 3 5 9 4 6"}, // by units: 'Ben' before 'ana'
        {{LogColumn::user, true}, u"6 4 9 5 3 1 2"},
        {{LogColumn::machine, false}, u"4 1 3 9 2 5 6"}, // a null name as empty
        {{LogColumn::pages, true}, u"4 2 9 1 5 3 6"},    // no count lowest
        {{LogColumn::printer, false}, u"3 4 6 1 2 5 9"},
    };
    Database db = openJobDatabase(folder);
    for (const auto& c : cases) {
        for (std::size_t size : {1u, 2u, 3u, 100u}) {
            EXPECT_EQ(rowsOf(pageByPage(db.get(), period, c.order, size, false)), c.rows) << size;
            std::vector<LogEntry> backwards = pageByPage(db.get(), period, c.order, size, true);
            std::reverse(backwards.begin(), backwards.end());
            EXPECT_EQ(rowsOf(backwards), c.rows) << "from the end, " << size;
        }
    }
    const std::vector<LogEntry> first = readLogPage(db.get(), period, {}, nullptr, 1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].time, u"2026-03-05T10:00:00.000");
    EXPECT_EQ(first[0].cost, 1200);
    EXPECT_FALSE(first[0].colour.has_value());
    EXPECT_FALSE(first[0].document.has_value());
    closeJobDatabase(std::move(db));
}

// The count of a filter comes from the kept totals once they are ready, and
// agrees with the jobs before.
TEST_F(StoreJobLog, CountsAgreeWithThePagesBeforeAndAfterTheTotalsAreReady)
{
    closeJobDatabase(openJobDatabase(folder));
    RawDatabase(folder).exec(jobsOfTheLog);
    const LogFilter filters[] = {{{1800, 1, 0, 1}, std::nullopt, u"", u""},
        {{2026, 1, 0, 15}, std::nullopt, u"", u""}, {{2026, 2, 0, 1}, GroupingColumn::user, u"ana", u""},
        {{2026, 1, 0, 31, 23, 59, 59, 999}, GroupingColumn::printer, u"Office", u""},
        {{2026, 2, 0, 1, 8}, GroupingColumn::machine, u"PC9", u""}};
    const std::int64_t expected[] = {8, 7, 3, 4, 0};
    for (bool prepared : {false, true}) {
        if (prepared) {
            Preparation preparation;
            ASSERT_EQ(prepareJobDatabase(folder, preparation), PreparationOutcome::ready);
        }
        Database db = openJobDatabase(folder, SchemaWork::tablesOnly);
        for (std::size_t i = 0; i < std::size(filters); ++i) {
            EXPECT_EQ(countLogEntries(db.get(), filters[i]), expected[i])
                << i << (prepared ? " prepared" : "");
            EXPECT_EQ(static_cast<std::int64_t>(pageByPage(db.get(), filters[i], {}, 2, false).size()),
                expected[i]);
        }
        closeJobDatabase(std::move(db));
    }
}

// A search finds a part of a name or a document, ASCII letter case aside,
// with % and _ as plain characters; it reports its progress to the end and
// stops when asked.
TEST_F(StoreJobLog, SearchesFindPartsOfNamesAndDocuments)
{
    closeJobDatabase(openJobDatabase(folder));
    RawDatabase(folder).exec(jobsOfTheLog);
    Database db = openJobDatabase(folder);
    const std::pair<const char16_t*, const char16_t*> searches[] = {{u"ANA", u"9 5 3 1"}, {u"100%", u"2"},
        {u"s_v", u"5"}, {u"lab", u"6 4 3"}, {u"pc2", u"5 2"}, {u"%", u"2"}, {u"nobody", u""}};
    for (const auto& [text, rows] : searches) {
        std::vector<LogEntry> found;
        int lastProgress = -1;
        EXPECT_TRUE(forEachLogEntry(
            db.get(), {{2026, 1, 0, 1}, std::nullopt, u"", text}, {},
            [&](const LogEntry& entry) { return found.push_back(entry), true; }, nullptr,
            [&](int permille) { lastProgress = permille; }));
        EXPECT_EQ(rowsOf(found), rows) << std::string(text, text + 3);
        EXPECT_EQ(lastProgress, 1000);
    }
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(forEachLogEntry(
        db.get(), {{2026, 1, 0, 1}, std::nullopt, u"", u"a"}, {}, [](const LogEntry&) { return true; },
        &cancel));
    std::vector<LogEntry> all;
    EXPECT_TRUE(forEachLogEntry(db.get(), {{2026, 1, 0, 1}, GroupingColumn::user, u"ana", u""},
        {LogColumn::time, false}, [&](const LogEntry& entry) { return all.push_back(entry), true; }));
    EXPECT_EQ(rowsOf(all), u"1 3 5 9");
    closeJobDatabase(std::move(db));
}

} // namespace
