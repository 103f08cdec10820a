// Job store operations meeting other connections: they wait for a lock held
// elsewhere instead of failing, and concurrent writers lose no row.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "store_support.h"

namespace {

using StoreConcurrency = StoreFolder;

JobRecord jobOf(const std::u16string& user)
{
    JobRecord record;
    record.userName = user;
    record.machineName = u"pc";
    record.printerName = u"laser";
    record.pagesPrinted = 1;
    record.submitted = {2016, 3, 0, 5, 9, 7, 2, 45};
    return record;
}

} // namespace

// Another program writes for a second: "begin immediate" blocks writers only,
// "begin exclusive" (once it has written) blocks readers as well.
TEST_F(StoreConcurrency, OperationWaitsForAnotherWriterAndItsRowLands)
{
    struct Case {
        const char* lock;
        bool savedDate; // addSavedDate rather than recordJob
    } cases[] = {{"begin immediate;", false}, {"begin exclusive;", false}, {"begin exclusive;", true}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lock) + (c.savedDate ? " addSavedDate" : " recordJob"));
        std::u16string memo = u"memo";
        memo += static_cast<char16_t>(u'0' + round);
        closeJobDatabase(openJobDatabase(folder));
        RawDatabase other(folder);
        other.exec(c.lock);
        other.exec("insert into tbFechas (fefecha, fememo) values ('2016-01-01T00:00:00.000', 'other');");

        std::atomic<bool> done{false};
        std::uint64_t busyAnswers = 0;
        std::thread writer([&] {
            if (c.savedDate)
                addSavedDate(folder, {2016, 3, 0, 5}, memo);
            else
                recordJob(folder, jobOf(memo), nullptr, leftQueueAt);
            busyAnswers = storeCallCounts().busyAnswers;
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_FALSE(done);
        other.exec("commit;");
        writer.join();
        EXPECT_GT(busyAnswers, 0u);

        std::string name = "'memo";
        name += static_cast<char>('0' + round);
        name += "'";
        EXPECT_EQ(other.rows("select (select count(*) from tbTrabajos where trusuario = " + name
                      + ") + (select count(*) from tbFechas where fememo = " + name + ");"),
            std::vector<std::string>{"1"});
        EXPECT_EQ(
            other.rows("select count(*) from tbFechas where fememo = 'other';")[0], std::to_string(++round));
    }
}

TEST_F(StoreConcurrency, RecordersOnSeveralThreadsEachLandExactlyOneRow)
{
    constexpr int threadCount = 8;
    std::vector<std::thread> recorders;
    for (int i = 0; i < threadCount; ++i) {
        // No lock between them: the file itself is all they share, from its very creation.
        recorders.emplace_back([this, i] {
            std::u16string user = u"user";
            user += static_cast<char16_t>(u'A' + i);
            recordJob(folder, jobOf(user), nullptr, leftQueueAt);
        });
    }
    for (int i = 0; i < 20; ++i) {
        DateTime since{1800, 1, 0, 1};
        queryStatistics(folder, since, GroupingColumn::machine, [](const StatisticsRow&) {});
    }
    for (std::thread& recorder : recorders) recorder.join();

    RawDatabase raw(folder);
    std::vector<std::string> expected;
    for (int i = 0; i < threadCount; ++i) {
        std::string row = "user";
        row += static_cast<char>('A' + i);
        expected.push_back(row + "|1");
    }
    EXPECT_EQ(raw.rows("select trusuario, count(*) from tbTrabajos group by trusuario order by trusuario;"),
        expected);
}
