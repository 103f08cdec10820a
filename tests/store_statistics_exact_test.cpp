// The statistics read the kept month totals and only the jobs of a period's
// first, partial month, or, where those cannot answer, only the jobs near
// the period; either way they must give exactly what the plain julianday()
// comparison over the whole table gives, whatever other programs wrote into
// trfecha. Checked on random tables and starts against that plain query.
#include <gtest/gtest.h>

#include "store_rows_support.h"

namespace {

using StoreStatisticsExact = StoreFolder;
using namespace storeRows;

struct PlannedRow {
    std::size_t order;
    Cell date;
    std::string user, machine, printer;
    int pages; // 0 is written as NULL
};

void insertRows(RawDatabase& raw, std::vector<PlannedRow> rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.order < b.order; });
    raw.exec("begin;");
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(raw.handle(),
            "insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values (?,?,?,?,?);",
            -1, &insert, nullptr),
        SQLITE_OK);
    for (const PlannedRow& row : rows) {
        bindCell(insert, 1, row.date);
        sqlite3_bind_text(insert, 2, row.user.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, row.machine.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, row.printer.c_str(), -1, SQLITE_TRANSIENT);
        if (row.pages == 0)
            sqlite3_bind_null(insert, 5);
        else
            sqlite3_bind_int(insert, 5, row.pages);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    raw.exec("commit;");
}

} // namespace

TEST_F(StoreStatisticsExact, FiguresEqualThePlainQueryForEveryStart)
{
    closeJobDatabase(openJobDatabase(folder));
    RowMaker maker(20260311);
    std::vector<PlannedRow> planned;
    static const char* const users[] = {"ann", "Ann", "bob", "cy"};
    static const char* const machines[] = {"pc1", "pc2"};
    static const char* const printers[] = {"laser", "ink", "plot"};
    for (int i = 0; i < 4500; ++i) {
        PlannedRow row;
        row.order = 0;
        row.date = i % 3 == 0 ? maker.dateCell(row.order) : maker.historyCell();
        row.user = users[maker.pick(0, 3)];
        row.machine = machines[maker.pick(0, 1)];
        row.printer = printers[maker.pick(0, 2)];
        row.pages = maker.pick(0, 12) - 2;
        planned.push_back(row);
    }
    RawDatabase raw(folder);
    insertRows(raw, planned);

    std::vector<DateTime> starts = {{1800, 1, 0, 1}, {2000, 1, 0, 1, 9, 59, 59, 999},
        {2000, 1, 0, 1, 10, 0, 0, 0}, {2100, 1, 0, 1}, {2016, 13, 0, 1}, {2016, 2, 0, 0}, {10000, 1, 0, 1}};
    // Right after a month's end, where the days that run past it land.
    for (int day = 1; day <= 6; ++day)
        for (int month : {1, 3, 4})
            starts.push_back(DateTime{2016, static_cast<std::uint16_t>(month), 0,
                static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(maker.pick(0, 23)), 0, 0, 0});
    for (int i = 0; i < 120; ++i) {
        Day d = maker.anyDay();
        starts.push_back(DateTime{static_cast<std::uint16_t>(d.year), static_cast<std::uint16_t>(d.month), 0,
            static_cast<std::uint16_t>(d.day), static_cast<std::uint16_t>(maker.pick(0, 24)),
            static_cast<std::uint16_t>(maker.pick(0, 59)), static_cast<std::uint16_t>(maker.pick(0, 59)),
            static_cast<std::uint16_t>(maker.pick(0, 999))});
    }

    auto compareAll = [&] {
        int queries = 0;
        for (const DateTime& since : starts) {
            for (GroupingColumn column :
                {GroupingColumn::user, GroupingColumn::machine, GroupingColumn::printer}) {
                std::u16string start = formatDateTimeText(since);
                EXPECT_EQ(storeFigures(folder, since, column), plainFigures(raw, since, column))
                    << "since " << std::string(start.begin(), start.end()) << ", column "
                    << static_cast<int>(column);
                ++queries;
            }
        }
        return static_cast<std::uint64_t>(queries);
    };

    // From the month totals, built at the first of these queries.
    storeCallCounts() = {};
    std::uint64_t queries = compareAll();
    EXPECT_EQ(storeCallCounts().totalsStatistics, queries);
    EXPECT_EQ(storeCallCounts().totalsCounted, 1u);

    // A page count of 2.5 in the future is a job of unknown pages: the
    // totals still answer every period, and none is read from the jobs.
    raw.exec("insert into tbTrabajos (trfecha,trusuario,trmaquina, trimpresora,trnumpags) values "
             "('2099-06-01T00:00:00.000','ann','pc1','laser',2.5);");
    storeCallCounts() = {};
    compareAll();
    EXPECT_EQ(storeCallCounts().narrowedStatistics, 0u);
    EXPECT_EQ(storeCallCounts().totalsStatistics, queries);
}
