// The following rules one step at a time: which jobs a queue reading or an
// enumeration hands to recorders, and how passes are paced.
#include <gtest/gtest.h>

#include "monitor/job_tracking.h"

namespace {

JobRecord job(std::uint32_t id, std::uint32_t status, std::uint32_t printed = 0)
{
    JobRecord record;
    record.jobId = id;
    record.status = status;
    record.pagesPrinted = printed;
    return record;
}

std::vector<std::uint32_t> idsOf(const std::vector<JobRecord>& jobs)
{
    std::vector<std::uint32_t> ids;
    for (const JobRecord& j : jobs) ids.push_back(j.jobId);
    return ids;
}

} // namespace

TEST(MonitorFollowJobs, MarksFollowTheStatusOfEachPoll)
{
    struct Case {
        std::uint32_t status;
        bool printing;
    };
    const Case cases[] = {{0x0, false}, {0x8, false}, {0x1, false}, {0x2, false}, {0x4, false}, {0x10, true},
        {0x80, true}, {0x1000, true}, {0x11, true}, {0x400, false}};
    for (const Case& c : cases) {
        PrinterEntry entry;
        followJobs(entry, {job(1, c.status, 6)});
        ASSERT_EQ(entry.marks.size(), 1u);
        EXPECT_EQ(entry.marks[0], c.printing ? 7u : 0u) << std::hex << c.status;
        EXPECT_EQ(entry.flags[0], c.printing ? -1 : 0) << std::hex << c.status;
        EXPECT_EQ(seenPrinting(entry, 0), c.printing);
    }
}

TEST(MonitorFollowJobs, OnlyJobsGoneAfterPrintingAreRecordedAsLastSeen)
{
    PrinterEntry entry;
    EXPECT_TRUE(followJobs(entry, {job(1, 0x10, 1), job(2, 0x8), job(3, 0x10, 4), job(4, 0x10, 2)}).empty());

    // 1 stays, 2 left without printing, 3 left printing, 4 stopped printing and stays.
    std::vector<JobRecord> gone = followJobs(entry, {job(4, 0x1, 2), job(1, 0x10, 2), job(5, 0x8)});
    ASSERT_EQ(idsOf(gone), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(gone[0].pagesPrinted, 4u);
    EXPECT_EQ(idsOf(entry.jobs), (std::vector<std::uint32_t>{4, 1, 5}));
    EXPECT_FALSE(seenPrinting(entry, 0));
    EXPECT_TRUE(seenPrinting(entry, 1));

    // The queue empties: only 1 was printing at the previous poll.
    gone = followJobs(entry, {});
    EXPECT_EQ(idsOf(gone), (std::vector<std::uint32_t>{1}));
    EXPECT_TRUE(entry.jobs.empty());
    EXPECT_TRUE(entry.marks.empty());
    EXPECT_TRUE(followJobs(entry, {}).empty());
}

TEST(MonitorFollowJobs, JobsAreMatchedByIdNotPosition)
{
    PrinterEntry entry;
    std::vector<JobRecord> many;
    for (std::uint32_t id = 100; id > 0; --id) many.push_back(job(id, 0x10, id));
    followJobs(entry, many);
    std::vector<JobRecord> reversed;
    for (std::uint32_t id = 1; id <= 100; ++id)
        if (id % 10 != 0) reversed.push_back(job(id, 0x10, id));
    std::vector<JobRecord> gone = followJobs(entry, reversed);
    EXPECT_EQ(idsOf(gone), (std::vector<std::uint32_t>{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}));
}

TEST(MonitorRefreshPrinters, KeepsJobsByNameAndRecordsVanishedPrintersByPagesPrinted)
{
    std::vector<PrinterEntry> printers;
    EXPECT_TRUE(refreshPrinters(printers, {u"A", u"B", u"C"}).empty());
    followJobs(printers[0], {job(1, 0x10, 1)});
    followJobs(printers[1], {job(2, 0x8, 0), job(3, 0x1, 5), job(4, 0x10, 0)});

    // B vanishes, C is renamed (a new printer to us), D appears, A moves.
    std::vector<JobRecord> gone = refreshPrinters(printers, {u"D", u"A", u"c"});
    EXPECT_EQ(idsOf(gone), (std::vector<std::uint32_t>{3}));
    ASSERT_EQ(printers.size(), 3u);
    EXPECT_EQ(printers[0].name, u"D");
    EXPECT_TRUE(printers[0].jobs.empty());
    EXPECT_EQ(printers[1].name, u"A");
    EXPECT_EQ(idsOf(printers[1].jobs), (std::vector<std::uint32_t>{1}));
    EXPECT_TRUE(seenPrinting(printers[1], 0));
}

TEST(MonitorRefreshPrinters, EmptyEnumerationDropsEverythingUnrecorded)
{
    std::vector<PrinterEntry> printers;
    refreshPrinters(printers, {u"A"});
    followJobs(printers[0], {job(1, 0x10, 3)});
    EXPECT_TRUE(refreshPrinters(printers, {}).empty());
    EXPECT_TRUE(printers.empty());
}

TEST(MonitorRefreshPrinters, ANameListedTwiceIsFollowedOnce)
{
    std::vector<PrinterEntry> printers;
    refreshPrinters(printers, {u"A", u"A", u"B"});
    ASSERT_EQ(printers.size(), 2u);
    followJobs(printers[0], {job(1, 0x10, 3)});
    refreshPrinters(printers, {u"B", u"A", u"A"});
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[1].name, u"A");
    EXPECT_EQ(printers[1].jobs.size(), 1u);
}

namespace {

// A spooler whose enumeration answers from a list of outcomes.
struct FakeSpooler {
    std::vector<EnumOutcome> outcomes;
    std::size_t calls = 0;
    std::vector<std::uint32_t> waits;
    std::size_t stopAfterWaits = 1000;
    std::vector<std::u16string> unopenable;
    std::uint32_t jobCount = 0;
};

SpoolerReads fakeReads(FakeSpooler& fake)
{
    SpoolerReads reads;
    reads.context = &fake;
    reads.enumPrinters = [](void* context, std::vector<std::u16string>& names) {
        auto& f = *static_cast<FakeSpooler*>(context);
        EnumOutcome outcome = f.outcomes[std::min(f.calls++, f.outcomes.size() - 1)];
        if (outcome == EnumOutcome::listed) names = {u"A", u"B"};
        return outcome;
    };
    reads.readQueue = [](void* context, const std::u16string& name, QueueRead& read) {
        auto& f = *static_cast<FakeSpooler*>(context);
        for (const auto& closed : f.unopenable)
            if (closed == name) return false;
        read.jobCount = f.jobCount;
        return true;
    };
    reads.waitBeforeRetry = [](void* context, std::uint32_t milliseconds) {
        auto& f = *static_cast<FakeSpooler*>(context);
        f.waits.push_back(milliseconds);
        return f.waits.size() >= f.stopAfterWaits;
    };
    return reads;
}

} // namespace

TEST(MonitorPass, EveryFailedEnumerationWaitsBeforeTheRetry)
{
    FakeSpooler fake;
    fake.outcomes = {EnumOutcome::unreachable, EnumOutcome::failed, EnumOutcome::failed, EnumOutcome::listed};
    std::vector<PrinterEntry> printers;
    std::vector<JobRecord> toRecord;
    PassOutcome outcome = runPass(printers, fakeReads(fake), toRecord);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(fake.waits, (std::vector<std::uint32_t>{1000, 10, 10}));
    EXPECT_EQ(printers.size(), 2u);
}

TEST(MonitorPass, AStopDuringTheRetryWaitAbandonsThePassKeepingTheTable)
{
    FakeSpooler fake;
    fake.outcomes = {EnumOutcome::listed, EnumOutcome::unreachable};
    fake.stopAfterWaits = 3;
    std::vector<PrinterEntry> printers;
    std::vector<JobRecord> toRecord;
    runPass(printers, fakeReads(fake), toRecord);
    followJobs(printers[0], {job(1, 0x10, 1)});
    PassOutcome outcome = runPass(printers, fakeReads(fake), toRecord);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(fake.waits.size(), 3u);
    EXPECT_EQ(printers[0].jobs.size(), 1u); // a stop records nothing still queued
    EXPECT_TRUE(toRecord.empty());
}

TEST(MonitorPass, BusyOnlyWhenAnOpenedPrinterReportsJobs)
{
    FakeSpooler fake;
    fake.outcomes = {EnumOutcome::listed};
    std::vector<PrinterEntry> printers;
    std::vector<JobRecord> toRecord;
    EXPECT_FALSE(runPass(printers, fakeReads(fake), toRecord).busy);
    fake.jobCount = 2; // reported, though the reading gave no job: still busy
    EXPECT_TRUE(runPass(printers, fakeReads(fake), toRecord).busy);
    fake.unopenable = {u"A", u"B"};
    EXPECT_FALSE(runPass(printers, fakeReads(fake), toRecord).busy);
}

TEST(MonitorPacing, IdlePassesKeepAHundredMillisecondSchedule)
{
    struct Step {
        std::uint32_t now;
        std::uint32_t pause;
        std::uint32_t markAfter;
    };
    // From a mark of 0 the first pass is late; then on schedule, a late pass,
    // and a wrapped tick counter.
    const Step steps[] = {{5000, 0, 5000}, {5030, 70, 5100}, {5100, 100, 5100}, {5199, 1, 5200},
        {5450, 0, 5450}, {5550, 0, 5550}, {5551, 99, 5650}, {12, 100, 12}, {12, 100, 12}};
    std::uint32_t mark = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(pacePass(mark, step.now), step.pause) << "at " << step.now;
        EXPECT_EQ(mark, step.markAfter) << "at " << step.now;
    }
    std::uint32_t nearWrap = 0xFFFFFFF0u;
    EXPECT_EQ(pacePass(nearWrap, 0xFFFFFFFAu), 90u);
    EXPECT_EQ(nearWrap, 0xFFFFFFF0u + 100u); // the schedule runs on across the wrap
}

TEST(MonitorPacing, BusyPassesPauseBrieflyAndLeaveTheMarkAlone)
{
    std::uint32_t mark = 7000;
    EXPECT_EQ(pauseAfterPass(true, mark, 7050), 10u);
    EXPECT_EQ(mark, 7000u);
    EXPECT_EQ(pauseAfterPass(false, mark, 7050), 50u);
    EXPECT_EQ(mark, 7100u);
}
