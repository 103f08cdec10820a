// Shipping to the central database, apart from the server: the batches the
// shipper takes from pgwarden.db and what it marks, against a stand-in
// central database that keeps rows by their key, as the real one does; the
// periods "All computers" reads; and what an error text may never show.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "central/central_log.h"
#include "central/central_schema.h"
#include "central/central_setting.h"
#include "central/shipping_cycle.h"
#include "shell/statistics_view.h"
#include "store/shipping_table.h"
#include "store_support.h"

namespace {

std::string bytesOf(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

// Keeps rows by (source, file, row number) like pagewarden_jobs; fails
// connecting while `refusals` lasts, and counts what each batch added.
struct StandInCentral {
    int refusals = 0;
    std::uint64_t* clock = nullptr; // moved on by shipMs at each batch
    std::uint64_t shipMs = 0;
    std::map<std::tuple<std::u16string, std::u16string, std::int64_t>, ShippedRow> rows;
    std::vector<std::size_t> batchSizes;
    std::size_t added = 0;

    static bool connect(void* context, std::u16string& error)
    {
        auto& self = *static_cast<StandInCentral*>(context);
        if (self.refusals == 0) return true;
        --self.refusals;
        error = u"connection refused";
        return false;
    }
    static bool ship(void* context, const ShippingBatch& batch, std::u16string&)
    {
        auto& self = *static_cast<StandInCentral*>(context);
        if (self.clock != nullptr) *self.clock += self.shipMs;
        self.batchSizes.push_back(batch.rows.size());
        for (const ShippedRow& row : batch.rows)
            self.added += self.rows.emplace(std::tuple(batch.source, batch.fileId, row.rowId), row).second;
        return true;
    }
};

struct CentralShipping : StoreFolder {
    StandInCentral central;
    int locksBeforeCrash = -1; // the local work after that many more ends like a killed process
    bool fileHeld = false;     // another program holds pgwarden.db
    std::uint64_t now = 0;
    int refusalsAtStop = 0;     // the server goes away the moment the stop comes
    bool stopAtOnce = true;     // the stop is there at the first look, or comes in the first pause
    std::set<int> busyLocks;    // the holds, counted from 1, that find the file busy
    std::atomic<int> locks = 0; // holds come from a second thread while batches are read ahead
    int busyOwnHolds = 0;       // the next holds of the test's own thread that find the file busy
    std::thread::id ownThread = std::this_thread::get_id();

    ShipperServices services()
    {
        ShipperServices s;
        s.link = {&central, &StandInCentral::connect, &StandInCentral::ship};
        s.underLock = [this](const std::function<void()>& work) {
            if (fileHeld || busyLocks.count(++locks) != 0) return false;
            if (busyOwnHolds > 0 && std::this_thread::get_id() == ownThread) {
                --busyOwnHolds;
                return false;
            }
            if (locksBeforeCrash == 0) throw std::runtime_error("killed");
            if (locksBeforeCrash > 0) --locksBeforeCrash;
            work();
            return true;
        };
        s.nowText = [] { return std::u16string(u"2026-05-04T10:00:00.000"); };
        s.waitForStop = [this](std::uint32_t milliseconds) {
            if (milliseconds == 0 && !stopAtOnce) return false;
            central.refusals = refusalsAtStop;
            return true;
        };
        s.tickMs = [this] { return now; };
        return s;
    }

    void record(int count, const std::u16string& user = u"ann")
    {
        RawDatabase raw(folder);
        raw.exec("BEGIN;");
        for (int i = 0; i < count; ++i)
            raw.exec("INSERT INTO tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) VALUES "
                     "('2026-05-0"
                + std::to_string(1 + i % 3) + "T08:00:00.000', '" + bytesOf(user) + "', 'PC', 'Laser', 2);");
        raw.exec("COMMIT;");
    }
};

} // namespace

TEST_F(CentralShipping, BacklogGoesInOrderedBatchesOnceThroughRefusalsACrashAndANewFile)
{
    closeJobDatabase(openJobDatabase(folder));
    record(12001);
    Shipper shipper(folder, u"SRV-A", services());

    // Another program holds the file: nothing is taken, nothing shipped.
    fileHeld = true;
    EXPECT_EQ(shipper.cycle(), CycleResult::busy);
    fileHeld = false;
    EXPECT_TRUE(central.batchSizes.empty());

    // The server refuses: nothing is lost, the reason and the count are kept.
    central.refusals = 2;
    EXPECT_EQ(shipper.cycle(), CycleResult::failed);
    EXPECT_EQ(shipper.cycle(), CycleResult::failed);
    EXPECT_EQ(shipper.failures(), 2);
    ShippingState state = readShippingState(folder);
    EXPECT_TRUE(state.started);
    EXPECT_EQ(state.lastShipped, 0);
    EXPECT_EQ(state.waiting, 12001);
    EXPECT_EQ(state.lastError, u"connection refused");
    EXPECT_EQ(state.lastShipment, u"");
    const std::u16string fileId = state.fileId;
    EXPECT_EQ(fileId.size(), 32u);

    // Then the batches in row order, small after a failure.
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    EXPECT_EQ(readShippingState(folder).waiting, 11001);
    // Killed between the central commit and the local mark: the next start
    // ships the same rows again, and the central key takes them once.
    locksBeforeCrash = 1;
    EXPECT_THROW(shipper.cycle(), std::runtime_error);
    locksBeforeCrash = -1;
    Shipper restarted(folder, u"SRV-A", services());
    std::vector<std::int64_t> waitingAfterEach;
    while (restarted.cycle() == CycleResult::shipped)
        waitingAfterEach.push_back(readShippingState(folder).waiting);
    // While the backlog lasts each batch is twice the last, read from the
    // file in slices: the last one of 4001 rows in two.
    EXPECT_EQ(central.batchSizes, (std::vector<std::size_t>{1000, 2000, 1000, 2000, 4000, 4001}));
    EXPECT_EQ(waitingAfterEach, (std::vector<std::int64_t>{10001, 8001, 4001, 0}));
    EXPECT_EQ(restarted.batchRows(), shippingFirstBatchRows);
    EXPECT_EQ(central.added, 12001u);
    std::int64_t expected = 1;
    for (const auto& [key, row] : central.rows) EXPECT_EQ(row.rowId, expected++);
    state = readShippingState(folder);
    EXPECT_EQ(state.lastShipped, 12001);
    EXPECT_EQ(state.waiting, 0);
    EXPECT_EQ(state.lastError, u"");
    EXPECT_EQ(state.lastShipment, u"2026-05-04T10:00:00.000");
    EXPECT_EQ(state.fileId, fileId);

    // What each row carries: the day and moment julianday() gives.
    const ShippedRow& first = central.rows.begin()->second;
    EXPECT_EQ(first.date, u"2026-05-01T08:00:00.000");
    EXPECT_EQ(first.pages, 2);
    EXPECT_EQ(first.dayKey, 20260501);
    EXPECT_EQ(first.julianMs, central::julianMs({2026, 5, 0, 1, 8}));

    // pgwarden.db deleted and made again: its row numbers start over under a
    // new identity, and the rows already shipped stay as they are.
    std::filesystem::remove(path / "pgwarden.db");
    closeJobDatabase(openJobDatabase(folder));
    record(3, u"bea");
    EXPECT_EQ(restarted.cycle(), CycleResult::shipped);
    EXPECT_EQ(central.rows.size(), 12004u);
    EXPECT_NE(readShippingState(folder).fileId, fileId);
    EXPECT_EQ(restarted.cycle(), CycleResult::idle);
}

// Read ahead while the server takes a batch: each batch follows the last,
// even one whose mark found the file busy, a refusal drops what was read ahead (the next run starts small
// from the mark), rows that come meanwhile go too, and every row goes once.
TEST_F(CentralShipping, BatchesReadAheadFollowEachOtherAndARefusalDropsTheNext)
{
    closeJobDatabase(openJobDatabase(folder));
    record(15001);
    ShipperServices readingAhead = services();
    readingAhead.readAhead = true;
    Shipper shipper(folder, u"SRV-A", readingAhead);
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    // The file busy at the second batch's mark: the batch read meanwhile
    // follows it all the same, and its mark covers both.
    busyOwnHolds = 1;
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    EXPECT_EQ(readShippingState(folder).lastShipped, 1000);
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    EXPECT_EQ(readShippingState(folder).lastShipped, 7000);
    central.refusals = 1;
    EXPECT_EQ(shipper.cycle(), CycleResult::failed);
    EXPECT_EQ(readShippingState(folder).lastShipped, 7000);
    record(1, u"bea");
    while (shipper.cycle() == CycleResult::shipped) { }
    EXPECT_EQ(central.batchSizes, (std::vector<std::size_t>{1000, 2000, 4000, 1000, 2000, 4000, 1002}));
    EXPECT_EQ(central.added, 15002u);
    std::int64_t expected = 1;
    for (const auto& [key, row] : central.rows) EXPECT_EQ(row.rowId, expected++);
    EXPECT_EQ(readShippingState(folder).lastShipped, 15002);
    EXPECT_EQ(shipper.cycle(), CycleResult::idle);
}

// A batch is read in slices over one kept connection: the slices join into
// what one read gives, and between them the file is free, so another
// program that waits for nothing writes, and its row is read in turn.
TEST_F(CentralShipping, AReadersSlicesJoinIntoOneReadAndLeaveTheFileFreeBetween)
{
    closeJobDatabase(openJobDatabase(folder));
    record(5000);
    ShippingReader reader(folder);
    std::vector<std::int64_t> sliced;
    std::optional<std::int64_t> after;
    for (std::size_t slice : {2000, 2000, 5000}) {
        ShippingWork work = reader.take(u"SRV", u"identity", slice, after);
        for (const ShippedRow& row : work.batch.rows) sliced.push_back(row.rowId);
        after = sliced.back();
        RawDatabase other(folder);
        sqlite3_busy_timeout(other.handle(), 0);
        if (slice == 2000) other.exec("INSERT INTO tbTrabajos (trusuario) VALUES ('bea');");
    }
    const ShippingWork whole = takeShippingWork(folder, u"SRV", u"identity", 10000);
    std::vector<std::int64_t> once;
    for (const ShippedRow& row : whole.batch.rows) once.push_back(row.rowId);
    EXPECT_EQ(sliced, once);
    EXPECT_EQ(sliced.size(), 5002u);
    EXPECT_EQ(whole.batch.rows.back().user, u"bea");
    const WaitingSlice counted = reader.count(0, shippingCountSpan);
    EXPECT_EQ(counted.rows, 5002);
    EXPECT_FALSE(counted.more);
}

TEST_F(CentralShipping, EachRowGoesAsTheFileHoldsItWithNullsWhereItHoldsNone)
{
    closeJobDatabase(openJobDatabase(folder));
    struct Row {
        const char* values; // trfecha, trusuario, trmaquina, trimpresora, trnumpags
        std::optional<std::u16string> date, user, printer;
        std::optional<std::int64_t> pages, dayKey;
    };
    const Row rows[] = {
        {"'2026-05-01T08:00:00.000', 'ann', 'PC', 'Laser', 2", u"2026-05-01T08:00:00.000", u"ann", u"Laser",
            2, 20260501},
        {"NULL, NULL, NULL, NULL, NULL", {}, {}, {}, {}, {}},
        {"'not a date', 'bea', 'PC', 'Ink', 2.5", u"not a date", u"bea", u"Ink", {},
            {}},                                                                       // a fraction: a null
        {"'2026-05-02', '', 'PC', '', 'many'", u"2026-05-02", u"", u"", {}, 20260502}, // text: a null
        {"'2026-05-03T23:59:59.999', 'cy', 'PC', 'Laser', '7'", u"2026-05-03T23:59:59.999", u"cy", u"Laser",
            7, 20260503}, // '7' is stored as the integer 7
    };
    {
        RawDatabase raw(folder);
        for (const Row& row : rows)
            raw.exec(
                std::string("INSERT INTO tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
                            "VALUES (")
                + row.values + ");");
    }

    // At most `limit` rows, in row order, under the identity made for the file.
    ShippingWork work = takeShippingWork(folder, u"SRV", u"first identity", 4);
    EXPECT_EQ(work.batch.source, u"SRV");
    EXPECT_EQ(work.batch.fileId, u"first identity");
    EXPECT_EQ(work.lastShipped, 0);
    EXPECT_EQ(work.waiting, 0); // as the file keeps it: never counted yet
    ASSERT_EQ(work.batch.rows.size(), 4u);
    for (std::size_t i = 0; i < work.batch.rows.size(); ++i) {
        const ShippedRow& shipped = work.batch.rows[i];
        EXPECT_EQ(shipped.rowId, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(shipped.date, rows[i].date) << rows[i].values;
        EXPECT_EQ(shipped.user, rows[i].user) << rows[i].values;
        EXPECT_EQ(shipped.printer, rows[i].printer) << rows[i].values;
        EXPECT_EQ(shipped.pages, rows[i].pages) << rows[i].values;
        EXPECT_EQ(shipped.dayKey, rows[i].dayKey) << rows[i].values;
        EXPECT_EQ(shipped.julianMs.has_value(), rows[i].dayKey.has_value()) << rows[i].values;
    }
    EXPECT_EQ(work.batch.rows[0].julianMs, central::julianMs({2026, 5, 0, 1, 8}));
    // No row has details yet.
    for (const ShippedRow& shipped : work.batch.rows)
        EXPECT_FALSE(shipped.color || shipped.sides || shipped.paper || shipped.sheets || shipped.bytes
            || shipped.document || shipped.cost);
    // Details go with their rows; numbers another program wrote otherwise
    // (text, a fraction, sheets or a cost the totals cannot add) go as nulls.
    RawDatabase(folder).exec(
        "INSERT INTO tbDetalles VALUES (1, 2, 3, 'A4', 1, 40960, 'Q3.pdf', 12500), (2, 'two', 2.5, 'Legal', "
        "2199023255552, 'big', NULL, -2199023255552);");
    work = takeShippingWork(folder, u"SRV", u"first identity", 2);
    ASSERT_EQ(work.batch.rows.size(), 2u);
    const ShippedRow &detailed = work.batch.rows[0], &odd = work.batch.rows[1];
    EXPECT_EQ(std::tuple(detailed.color, detailed.sides, detailed.paper, detailed.sheets, detailed.bytes,
                  detailed.document, detailed.cost),
        std::tuple(std::optional<std::int64_t>(2), std::optional<std::int64_t>(3),
            std::optional<std::u16string>(u"A4"), std::optional<std::int64_t>(1),
            std::optional<std::int64_t>(40960), std::optional<std::u16string>(u"Q3.pdf"),
            std::optional<std::int64_t>(12500)));
    EXPECT_EQ(std::tuple(odd.color, odd.sides, odd.paper, odd.sheets, odd.bytes, odd.document, odd.cost),
        std::tuple(std::optional<std::int64_t>(), std::optional<std::int64_t>(),
            std::optional<std::u16string>(u"Legal"), std::optional<std::int64_t>(),
            std::optional<std::int64_t>(), std::optional<std::u16string>(), std::optional<std::int64_t>()));

    // After a shipment: the rest, the identity kept.
    markShipped(folder, work.batch.fileId, 4, 0, u"2026-05-04T10:00:00.000");
    EXPECT_EQ(readShippingState(folder).waiting, 0);
    work = takeShippingWork(folder, u"SRV", u"second identity", 4);
    EXPECT_EQ(work.batch.fileId, u"first identity");
    EXPECT_EQ(work.lastShipped, 4);
    ASSERT_EQ(work.batch.rows.size(), 1u);
    EXPECT_EQ(work.batch.rows[0].rowId, 5);
    EXPECT_EQ(work.batch.rows[0].pages, 7);
    // Read on from a row of the caller's choice.
    work = takeShippingWork(folder, u"SRV", u"second identity", 4, 2);
    ASSERT_EQ(work.batch.rows.size(), 3u);
    EXPECT_EQ(work.batch.rows[0].rowId, 3);
}

// A backlog is counted a slice of row numbers at a time, each under the lock
// on its own: the count is whole however far apart the row numbers lie.
TEST_F(CentralShipping, ABacklogIsCountedInSlicesAcrossGapsInTheRowNumbers)
{
    closeJobDatabase(openJobDatabase(folder));
    record(static_cast<int>(shippingFirstBatchRows));
    {
        RawDatabase raw(folder);
        for (std::int64_t far : {shippingCountSpan * 3 + 7, shippingCountSpan * 3 + 8, shippingCountSpan * 9})
            raw.exec(
                "INSERT INTO tbTrabajos (trllapri, trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
                "VALUES ("
                + std::to_string(far) + ", '2026-05-01T08:00:00.000', 'ann', 'PC', 'Laser', 1);");
    }
    EXPECT_EQ(countWaitingSlice(folder, 0, shippingCountSpan).rows, 1000);
    EXPECT_TRUE(countWaitingSlice(folder, 0, shippingCountSpan).more);
    EXPECT_EQ(countWaitingSlice(folder, shippingCountSpan * 3, shippingCountSpan).rows, 2);
    EXPECT_FALSE(countWaitingSlice(folder, shippingCountSpan * 9 - 1, shippingCountSpan).more);
    central.refusals = 1;
    Shipper shipper(folder, u"SRV", services());
    EXPECT_EQ(shipper.cycle(), CycleResult::failed);
    EXPECT_EQ(readShippingState(folder).waiting, 1003);
    while (shipper.cycle() == CycleResult::shipped) { }
    EXPECT_EQ(central.added, 1003u);
    EXPECT_EQ(readShippingState(folder).waiting, 0);

    // A quit ships what is waiting in batches of the first size only, so
    // that the last one begun ends well within the time given.
    record(3500);
    central.batchSizes.clear();
    Shipper(folder, u"SRV", services()).run();
    EXPECT_EQ(central.batchSizes, (std::vector<std::size_t>{1000, 1000, 1000, 500}));
    EXPECT_EQ(central.added, 4503u);
}

// A stop ships what waits while the server keeps up, starting no batch
// after shippingQuitMs, and gives up at the first failure; a try that
// failed while the stop came is the last: a quit never waits long on the
// network.
TEST_F(CentralShipping, AStopShipsForAShortWhileAndNotAfterAFailure)
{
    struct Case {
        int refusalsBefore;
        bool stopAtOnce;
        int refusalsAtStop;
        std::uint64_t shipMs;
        int rows;
        std::size_t batches; // of the first size each, the first before the stop
    };
    const Case cases[] = {
        {0, true, 1, 300, 1000, 1},  // the server gone at the stop: no second try
        {0, true, 0, 300, 9000, 6},  // one before the stop, then started at 0.3 s .. 1.2 s after it
        {0, true, 0, 2500, 3000, 2}, // one slow batch takes the whole time
        {0, true, 0, 0, 6000, 6},    // a server that keeps up takes the whole backlog
        {1, false, 0, 0, 2000, 2},   // refused before the stop: tried again at the stop
        {1, true, 0, 0, 1000, 0},    // refused as the stop came: not tried again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        closeJobDatabase(openJobDatabase(folder));
        record(c.rows);
        central = StandInCentral{};
        central.clock = &now;
        central.shipMs = c.shipMs;
        central.refusals = c.refusalsBefore;
        stopAtOnce = c.stopAtOnce;
        refusalsAtStop = c.refusalsAtStop;
        const std::uint64_t start = now;
        Shipper(folder, u"SRV-A", services()).run();
        EXPECT_EQ(central.batchSizes, std::vector<std::size_t>(c.batches, shippingFirstBatchRows));
        EXPECT_LE(now - start, c.shipMs + shippingQuitMs + c.shipMs);
    }
}

// A batch the server took whose mark finds the file busy is neither read nor
// shipped again: the next batch follows it and marks both, and the backlog is
// not counted anew; a busy moment in the middle of a batch's slices ships what
// was read and leaves the backlog's count and growth as they were.
TEST_F(CentralShipping, ABusyMarkOrSliceNeitherShipsAgainNorCountsAgain)
{
    closeJobDatabase(openJobDatabase(folder));
    record(static_cast<int>(shippingFirstBatchRows * 3 + shippingSliceRows + 5));
    // Holds: 1 takes, 2 counts, 3-5 mark (all busy), 6 takes, 7 marks, 8 takes
    // a slice, 9 (busy) the next slice.
    busyLocks = {3, 4, 5, 9};
    Shipper shipper(folder, u"SRV", services());
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    EXPECT_EQ(readShippingState(folder).lastShipped, 0);
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    ShippingState state = readShippingState(folder);
    EXPECT_EQ(state.lastShipped, 3000);
    EXPECT_EQ(state.waiting, static_cast<std::int64_t>(shippingSliceRows) + 5);
    EXPECT_EQ(shipper.cycle(), CycleResult::shipped);
    EXPECT_EQ(shipper.batchRows(), 8000u);
    while (shipper.cycle() == CycleResult::shipped) { }
    EXPECT_EQ(central.batchSizes, (std::vector<std::size_t>{1000, 2000, shippingSliceRows, 5}));
    EXPECT_EQ(central.added, shippingFirstBatchRows * 3 + shippingSliceRows + 5);
    EXPECT_EQ(readShippingState(folder).waiting, 0);
    EXPECT_EQ(locks, 13); // no count after the first
}

TEST(CentralShippingRetry, QuickForHalfAMinuteThenDoublingUpToFiveMinutes)
{
    std::vector<std::uint32_t> waits;
    for (int failures = 1; failures <= 14; ++failures) waits.push_back(shippingRetryMs(failures) / 1000);
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{5, 5, 5, 5, 5, 5, 10, 20, 40, 80, 160, 300, 300, 300}));
}

TEST(CentralPeriods, APeriodReadsWholeMonthsItsFirstMonthsDaysAndItsFirstDaysJobs)
{
    struct Case {
        DateTime since;
        std::int64_t fromMonth, firstDay, lastDay;
        bool jobs;
    };
    const Case cases[] = {
        {{1800, 1, 0, 1}, 180001, 1, 0, false},                // everything: months only
        {{2026, 3, 0, 1}, 202603, 1, 0, false},                // this month
        {{2026, 3, 0, 15}, 202604, 20260315, 20260331, false}, // today
        {{2026, 3, 0, 15, 14, 30}, 202604, 20260316, 20260331, true},
        {{2026, 12, 0, 31, 23, 59, 59, 999}, 202701, 20270101, 20261231, true}, // no days left
        {{2026, 2, 0, 28, 24}, 202603, 1, 0, false}, // hour 24 runs into March's first moment
    };
    for (const Case& c : cases) {
        const central::PeriodPlan plan = central::periodPlan(c.since);
        SCOPED_TRACE(bytesOf(formatDateTimeText(c.since)));
        EXPECT_EQ(plan.fromMonth, c.fromMonth);
        EXPECT_EQ(plan.firstDay, c.firstDay);
        EXPECT_EQ(plan.lastDay, c.lastDay);
        EXPECT_EQ(plan.jobsFrom < plan.jobsTo, c.jobs);
        if (c.jobs) {
            EXPECT_EQ(plan.jobsFrom, central::julianMs(c.since));
            EXPECT_EQ(plan.jobsTo - plan.jobsFrom,
                86400000
                    - ((c.since.hour * 60 + c.since.minute) * 60000 + c.since.second * 1000
                        + c.since.milliseconds));
        }
    }
}

TEST(CentralPeriods, StartMomentsAgreeWithSqliteJulianday)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    for (const DateTime& time : {DateTime{1800, 1, 0, 1}, DateTime{2016, 2, 0, 29, 23, 59, 59, 999},
             DateTime{2026, 3, 0, 15, 14, 30, 0, 1}, DateTime{9999, 12, 0, 31, 12}}) {
        sqlite3_stmt* query = nullptr;
        const std::string sql = "SELECT CAST(round(julianday('" + bytesOf(formatDateTimeText(time))
            + "') * 86400000.0) AS INTEGER);";
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(query), SQLITE_ROW);
        EXPECT_EQ(central::julianMs(time), sqlite3_column_int64(query, 0)) << sql;
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
}

TEST(CentralTexts, PasswordsNeverReachAMessageAndTextsTheServerRefusesAreReplaced)
{
    const std::u16string connection
        = u"Driver={PostgreSQL Unicode};Server=db;UID=ann;PWD={se;cr}}et};sslmode=require";
    struct Case {
        std::u16string message, expected;
    };
    const Case cases[] = {
        {u"password authentication failed for user \"ann\"",
            u"password authentication failed for user \"ann\""},
        {u"bad option se;cr}et in " + connection, u"bad option *** in ***"},
        {u"raw {se;cr}}et} seen", u"raw *** seen"},
    };
    for (const Case& c : cases) EXPECT_EQ(withoutSecrets(c.message, connection), c.expected);
    EXPECT_EQ(withoutSecrets(u"x hunter2 y", u"Server=db; Password = hunter2 ;Uid=a"), u"x *** y");

    EXPECT_EQ(central::storableText(std::u16string(u"a\0b", 3)), u"a\uFFFDb");
    EXPECT_EQ(central::storableText(u"\U0001F5A8 \xD800x \xDC00"), u"\U0001F5A8 \uFFFDx \uFFFD");
}

// Braces read as the driver reads them, libpq's options inside pqopt, and
// a password cut where a message was cut: no part of one is ever shown.
TEST(CentralTexts, NoPartOfAnyPasswordReachesAMessage)
{
    const std::u16string longPassword = std::u16string(2100, u'k') + u"tail";
    struct Case {
        std::u16string connection, message, expected;
    };
    const Case cases[] = {
        // An unterminated brace does not swallow the password after it.
        {u"Database={pw;Server=db;Pwd=hunter22", u"bad hunter22 here", u"bad *** here"},
        {u"Database={pw;Server=db;Pwd=hunter22", u"x {pw y", u"x {pw y"},
        // A closing brace inside the value, doubled, and blanks before the next key.
        {u"Pwd={a}}b;c} ;Uid=u", u"seen a}b;c and {a}}b;c}", u"seen *** and ***"},
        // A brace closed by something else than ';' does not end the value.
        {u"Pwd={ab}cd};Uid=u", u"got ab}cd", u"got ***"},
        {u"Server=db;pqopt={password=s3cr3t sslmode=require}", u"password s3cr3t refused",
            u"password *** refused"},
        {u"Server=db;PQOPT={sslmode=require  password = 'two words\\' x'}", u"pw two words' x!", u"pw ***!"},
        {u"Server=db;pqopt={passfile=x password=ab\\ cd}", u"[ab cd]", u"[***]"},
        // Cut at the end of the message, or before the mark of a cut.
        {u"Pwd=hunter22", u"failed for hunt", u"failed for ***"},
        {u"Pwd=hunter22", u"failed for hunt\u2026 (28P01)", u"failed for ***\u2026 (28P01)"},
        {u"Pwd=" + longPassword, u"x " + longPassword.substr(0, 2046), u"x ***"},
        {u"Pwd=" + longPassword, longPassword.substr(0, 10) + u" (08001)", u"*** (08001)"},
        // Short starts that stand in the middle of words stay.
        {u"Pwd=hunter22", u"the hunt is on (08001)", u"the hunt is on (08001)"},
    };
    for (const Case& c : cases) {
        const std::u16string shown = withoutSecrets(c.message, c.connection);
        EXPECT_EQ(shown, c.expected) << std::string(
            c.message.begin(), c.message.begin() + std::min<std::size_t>(40, c.message.size()));
    }
}

TEST(CentralTexts, AReasonReadsDownTheListInLinesOfWholeWords)
{
    struct Case {
        std::u16string text;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"connection to server failed:\n\tConnection refused",
            {u"connection to", u"server failed:", u"Connection refused"}},
        {u"averyveryverylongword x", {u"averyveryverylongword", u"x"}},
        {u"  ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(wrappedLines(c.text, 18), c.lines);
}

// A batch is one statement with an array per shipped column: the markers
// match the parameters, and each value reads back from its array literal as
// written, whatever it holds.
TEST(CentralBatch, ArraysCarryEveryValueAsWrittenAndNullsAsNulls)
{
    struct Case {
        std::vector<std::optional<std::u16string>> values;
        bool quoted;
        std::u16string literal;
    };
    const Case cases[] = {
        {{}, true, u"{}"},
        {{u"ann", std::nullopt, u""}, true, u"{\"ann\",NULL,\"\"}"},
        {{u"NULL", u" a, b ", u"{x}"}, true, u"{\"NULL\",\" a, b \",\"{x}\"}"},
        {{u"say \"hi\"", u"\\\\PC-1\\"}, true, u"{\"say \\\"hi\\\"\",\"\\\\\\\\PC-1\\\\\"}"},
        {{u"12", std::nullopt, u"-3"}, false, u"{12,NULL,-3}"},
        // A pair goes whole; what PostgreSQL's text cannot hold goes as U+FFFD.
        {{u"\U0001F5A8", u"\xD800x\xDC00", std::u16string(u"\0", 1)}, true,
            u"{\"\U0001F5A8\",\"\uFFFDx\uFFFD\",\"\uFFFD\"}"},
    };
    for (const Case& c : cases) EXPECT_EQ(central::arrayLiteral(c.values, c.quoted), c.literal);

    ShippingBatch batch{u"SRV\"1", u"id", {}};
    // The first with every detail, the second with none (a job without a
    // device mode, or a row of an earlier version).
    batch.rows.push_back({7, u"2026-05-01T08:00:00.000", u"a\"b", u"PC", u"Laser", 2, 5, 20260501, 2, 3,
        u"A4", 1, 40960, u"Q3 \"final\".pdf", 12500});
    batch.rows.push_back({9, u"never", std::nullopt, u"PC", u"x\0y", std::nullopt, std::nullopt, 20260502, {},
        {}, {}, {}, {}, {}, {}});
    batch.rows[1].printer = std::u16string(u"x\0y", 3);
    const std::vector<std::u16string> expected
        = {u"SRV\"1", u"id", u"{7,9}", u"{\"2026-05-01T08:00:00.000\",\"never\"}", u"{\"a\\\"b\",NULL}",
            u"{\"PC\",\"PC\"}", u"{\"Laser\",\"x\uFFFDy\"}", u"{2,NULL}",
            // A row without its moment counts in no period: neither goes.
            u"{5,NULL}", u"{20260501,NULL}", u"{2,NULL}", u"{3,NULL}", u"{\"A4\",NULL}", u"{1,NULL}",
            u"{40960,NULL}", u"{\"Q3 \\\"final\\\".pdf\",NULL}", u"{12500,NULL}"};
    // A server whose tables have no details' columns yet gets the same
    // batch without them.
    for (bool details : {true, false}) {
        const auto parameters = central::batchParameters(batch, details);
        const std::u16string statement = central::batchStatement(details);
        EXPECT_EQ(parameters.size(), details ? expected.size() : expected.size() - 7);
        EXPECT_EQ(static_cast<std::size_t>(std::count(statement.begin(), statement.end(), u'?')),
            parameters.size());
        EXPECT_EQ(statement.find(u"dtcoste") != std::u16string::npos, details);
        EXPECT_EQ(statement.find(u"colour_pages") != std::u16string::npos, details);
        for (std::size_t i = 0; i < parameters.size(); ++i) EXPECT_EQ(parameters[i], expected[i]) << i;
    }
}

// Every computer's log: each statement, whatever its filter, order, end and
// keyset, binds one parameter per mark, pages the same way as it orders,
// and reads nothing the role was not granted.
TEST(CentralLog, StatementsBindEveryMarkAndReadOnlyWhatIsGranted)
{
    LogEntry after;
    after.textKey = u"2461000000000";
    after.source = u"SRV-A";
    after.fileId = u"file";
    after.row = 7;
    struct Case {
        bool only, search, documents, keyset, fromEnd;
        LogColumn column;
        bool descending;
        const char16_t* order; // the ORDER BY's first key and direction
    };
    const Case cases[] = {
        {false, false, false, false, false, LogColumn::time, true, u"julian_ms DESC"},
        {true, false, false, true, false, LogColumn::time, true, u"julian_ms DESC"},
        {false, true, true, true, true, LogColumn::time, true, u"julian_ms,"},
        {true, true, false, false, true, LogColumn::user, false, u"coalesce(trusuario, '') DESC"},
        {false, false, true, true, false, LogColumn::pages, true,
            u"coalesce(trnumpags, -9223372036854775808) DESC"},
    };
    for (const Case& c : cases) {
        LogFilter filter;
        filter.since = {2026, 1, 1, 0, 0, 0, 0, 0};
        if (c.only) filter.only = GroupingColumn::user, filter.onlyValue = u"ana";
        if (c.search) filter.search = u"50%_off\\";
        const central::LogColumnsGranted granted{true, true, c.documents};
        const central::LogQuery page = central::logPageQuery(
            filter, {c.column, c.descending}, c.keyset ? &after : nullptr, 64, c.fromEnd, 3, granted);
        const central::LogQuery count = central::logCountQuery(filter, granted);
        for (const central::LogQuery* query : {&page, &count}) {
            SCOPED_TRACE(utf8Of(query->statement));
            EXPECT_EQ(
                static_cast<std::size_t>(std::count(query->statement.begin(), query->statement.end(), u'?')),
                query->parameters.size());
            // The page shows documents, and a search looks in them, only when granted.
            EXPECT_EQ(query->statement.find(u"dtdocumento") != std::u16string::npos,
                c.documents && (query == &page || c.search));
        }
        EXPECT_NE(page.statement.find(u"ORDER BY " + std::u16string(c.order)), std::u16string::npos);
        if (c.search) {
            EXPECT_EQ(count.parameters.back(), u"%50\\%\\_off\\\\%");
        }
        if (c.keyset) {
            EXPECT_NE(page.statement.find(c.descending != c.fromEnd ? u"row_id) < (" : u"row_id) > ("),
                std::u16string::npos);
        }
    }
    const LogEntry read = central::logEntryOfRow({u"SRV-B", u"f", u"42", u"2026-03-01T10:00:00.000", u"ann",
        std::nullopt, u"Laser", u"3", std::nullopt, u"A4", u"2", u"1", u"2", std::nullopt, u"2461000000000"});
    EXPECT_EQ(read.source, u"SRV-B");
    EXPECT_EQ(read.row, 42);
    EXPECT_EQ(read.machine, u"");
    EXPECT_EQ(read.paper, std::optional<std::u16string>(u"A4"));
    EXPECT_EQ(read.colour, std::optional<std::int64_t>(2));
    EXPECT_EQ(read.cost, std::nullopt);
    EXPECT_EQ(read.textKey, u"2461000000000");
}
