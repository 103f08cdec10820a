// Jobs that wait for a file another program holds: a write that gives up
// leaves nothing behind, and the pending file carries the jobs to the next
// start whole, once, or not at all.
#include <gtest/gtest.h>

#include <chrono>

#include "common/strings.h"
#include "store/pending_rows.h"
#include "store_support.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

JobRow row(const std::u16string& user, std::int64_t pages, std::uint16_t second = 0)
{
    return JobRow{
        DateTime{2026, 3, 0, 4, 5, 6, second, 789}, user, u"\\\\PC", u"Office", pages, std::nullopt};
}

std::vector<std::string> jobRows(const std::u16string& folder)
{
    RawDatabase raw(folder);
    return raw.rows("select trfecha||'|'||trusuario||'|'||trnumpags from tbTrabajos order by trllapri;");
}

using StorePending = StoreFolder;

} // namespace

// Another program's write lock: within the thread's limit nothing is written
// and the operation says so; once the lock is gone every row goes in at once.
TEST_F(StorePending, AWriteUnderAForeignLockGivesUpWholeWithinItsLimit)
{
    closeJobDatabase(openJobDatabase(folder));
    RawDatabase foreign(folder);
    foreign.exec("BEGIN IMMEDIATE; INSERT INTO tbFechas (fefecha, fememo) VALUES ('x', 'unsaved');");
    const auto start = std::chrono::steady_clock::now();
    {
        BusyLimit limit(50ms);
        EXPECT_THROW(recordRows(folder, {row(u"ana", 1), row(u"ben", 2)}), DatabaseBusy);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    foreign.exec("ROLLBACK;");
    {
        BusyLimit limit(50ms);
        recordRows(folder, {row(u"ana", 1), row(u"ben", 2)});
    }
    EXPECT_EQ(jobRows(folder),
        (std::vector<std::string>{"2026-03-04T05:06:00.789|ana|1", "2026-03-04T05:06:00.789|ben|2"}));
}

TEST(StorePendingFile, NamesOfAnyKindComeBackExactly)
{
    std::u16string hostile = u"O'Neil\t\\\n\r\x01 \u4E2D \U0001F5A8 ";
    hostile += static_cast<char16_t>(0xD800); // a surrogate without its partner
    std::vector<PendingBatch> batches{
        {newBatchId(), {row(hostile, -3), row(u"", 0, 59)}}, {newBatchId(), {}}};
    EXPECT_NE(batches[0].id, batches[1].id);
    std::vector<PendingBatch> read;
    std::string why;
    ASSERT_TRUE(parsePendingFile(formatPendingFile(batches), read, why)) << why;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].id, batches[0].id);
    EXPECT_EQ(read[0].rows, batches[0].rows);
    EXPECT_TRUE(read[1].rows.empty());
}

// A file that is not whole is refused as a whole: none of its jobs is applied.
TEST(StorePendingFile, AnyDamageRefusesTheWholeFile)
{
    const std::string good = formatPendingFile({{newBatchId(), {row(u"ana", 1), row(u"ben", 2)}}});
    auto changed = [&](std::size_t at, std::size_t length, const std::string& by) {
        std::string text = good;
        return text.replace(at, length, by);
    };
    const std::size_t firstRow = good.find('\n', good.find("batch")) + 1;
    const std::string cases[] = {
        good.substr(0, good.size() - 1),          // cut in the middle of its last line
        good.substr(0, firstRow + 5),             // cut in the middle of a row
        changed(firstRow + 25, 3, "bob"),         // a name changed: the CRC no longer matches
        changed(good.find("batch") + 39, 1, "3"), // one row more announced than there is
        changed(0, 10, "Something"),              // not the heading
        changed(firstRow, 1, "x"),                // not a date
        changed(firstRow + 24, 0, "\\q"),         // an escape nobody writes
        good + "batch 123 0\n",                   // a batch without a proper identity
        good + good.substr(good.find("batch")),   // one batch twice: only the first would go in
        good + formatPendingFile({{newBatchId(), {row(u"cai", 3)}}}).substr(good.find("batch")), // fine
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<PendingBatch> batches;
        std::string why;
        bool accepted = parsePendingFile(cases[i], batches, why);
        EXPECT_EQ(accepted, i + 1 == std::size(cases)) << i << ": " << why;
        if (!accepted) {
            EXPECT_TRUE(batches.empty()) << i;
            EXPECT_FALSE(why.empty()) << i;
        }
    }
}

// A batch is written once: applying a file again, as after an end between
// writing it and removing the file, adds nothing.
TEST_F(StorePending, EachBatchIsWrittenOnceHoweverOftenItIsApplied)
{
    std::vector<PendingBatch> batches{{newBatchId(), {row(u"ana", 1)}}, {newBatchId(), {row(u"ben", 2)}}};
    EXPECT_EQ(applyPendingBatches(folder, batches), 2u);
    batches.push_back({newBatchId(), {row(u"cai", 3)}});
    EXPECT_EQ(applyPendingBatches(folder, batches), 1u);
    EXPECT_EQ(applyPendingBatches(folder, batches), 0u);
    EXPECT_EQ(jobRows(folder).size(), 3u);
}

// Rows far beyond the size of one file go into several, each within the
// limit and each read back whole; a file over the limit is refused whatever
// it holds.
TEST(StorePendingFile, RowsAreCutIntoFilesWithinTheLimit)
{
    const std::u16string longName(30000, u'n');
    std::vector<JobRow> rows;
    for (int i = 0; i < 700; ++i) rows.push_back(row(longName + asciiText(std::to_string(i)), i));
    std::vector<PendingBatch> read, all;
    std::string why;
    const std::string whole = formatPendingFile({{newBatchId(), rows}});
    ASSERT_GT(whole.size(), pendingFileLimit);
    EXPECT_FALSE(parsePendingFile(whole, read, why));
    EXPECT_NE(why.find("larger than 16 MB"), std::string::npos) << why;

    const std::vector<PendingBatch> batches = pendingBatchesOf(rows);
    EXPECT_GE(batches.size(), 2u);
    std::vector<JobRow> back;
    for (const PendingBatch& batch : batches) {
        const std::string text = formatPendingFile({batch});
        EXPECT_LE(text.size(), pendingFileLimit);
        ASSERT_TRUE(parsePendingFile(text, read, why)) << why;
        back.insert(back.end(), read[0].rows.begin(), read[0].rows.end());
    }
    EXPECT_EQ(back, rows);
    EXPECT_TRUE(pendingBatchesOf({}).empty());
}

TEST(StorePendingFile, NamesOfPendingFiles)
{
    const std::string id = newBatchId();
    EXPECT_TRUE(isPendingFileName(pendingBatchFileName(id)));
    EXPECT_TRUE(isPendingFileName(u"pgwarden-pending.txt")); // of an earlier version
    for (const std::u16string& name : {u"pgwarden-pending-damaged-20260101-101010.txt"s,
             pendingBatchFileName(id) + u".new", u"pgwarden-pending-" + asciiText(id.substr(1)) + u".txt",
             u"pgwarden-pending-" + asciiText("G" + id.substr(1)) + u".txt", u"pgwarden-pending.txt.new"s})
        EXPECT_FALSE(isPendingFileName(name)) << std::string(name.begin(), name.end());
}

// A submission time that gives no date a row can hold is replaced by the
// moment the job left its queue; the other rows keep their own, and a
// pending file of an earlier version holding such a date spoils nothing.
TEST_F(StorePending, AJobWhoseDateNoRowCanHoldIsRecordedWhenItLeftItsQueue)
{
    struct Case {
        DateTime local;
        bool writable;
    } cases[] = {
        {{10000, 1, 0, 1, 0, 30, 0, 0}, false}, // 9999-12-31 23:30 UTC, an hour east
        {{2025, 13, 0, 1}, false},
        {{2025, 4, 0, 31}, false},
        {{2025, 2, 0, 29}, false},
        {{2024, 2, 0, 29, 23, 59, 59, 999}, true},
        {{2100, 2, 0, 29}, false},
        {{2000, 2, 0, 29}, true},
        {{2026, 1, 0, 0}, false},
        {{2026, 1, 0, 1, 24}, false},
        {{2026, 1, 0, 1, 0, 60}, false},
        {{2026, 1, 0, 1, 0, 0, 60}, false},
        {{2026, 1, 0, 1, 0, 0, 0, 1000}, false},
        {{0, 1, 0, 1}, true},
        {{9999, 12, 0, 31, 23, 59, 59, 999}, true},
    };
    static DateTime converted;
    const LocalTimeConverter toLocal = [](const DateTime&, DateTime& local) {
        local = converted;
        return true;
    };
    JobRecord job;
    job.userName = u"ana";
    job.pagesPrinted = 1;
    for (const Case& c : cases) {
        converted = c.local;
        const JobRow made = jobRowOf(job, toLocal, leftQueueAt);
        EXPECT_EQ(made.submitted, c.writable ? c.local : leftQueueAt) << formatDateTimeText(c.local).size();
        EXPECT_EQ(isWritableDateTime(c.local), c.writable);
    }

    JobRow far = row(u"far", 1);
    far.submitted = cases[0].local;
    const std::string earlier = formatPendingFile({{newBatchId(), {row(u"ana", 2), far, row(u"ben", 3)}}});
    std::vector<PendingBatch> read;
    std::string why;
    ASSERT_TRUE(parsePendingFile(earlier, read, why)) << why;
    EXPECT_EQ(applyPendingBatches(folder, read), 3u);
    EXPECT_EQ(jobRows(folder),
        (std::vector<std::string>{"2026-03-04T05:06:00.789|ana|2", "10000-01-01T00:30:00.000|far|1",
            "2026-03-04T05:06:00.789|ben|3"}));
}
