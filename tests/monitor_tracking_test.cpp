// The following rules one step at a time: which jobs a queue reading or an
// enumeration hands to recorders, and how passes are paced.
#include <gtest/gtest.h>

#include <map>

#include "monitor/job_tracking.h"

namespace {

JobRecord job(std::uint32_t id, std::uint32_t status, std::uint32_t printed = 0)
{
    JobRecord record;
    record.jobId = id;
    record.status = status;
    record.pagesPrinted = printed;
    record.printerName = u"A";
    record.submitted = {2026, 1, 4, 1, 8, 0, 0, 0};
    return record;
}

JobRecord submittedAt(JobRecord record, std::uint16_t minute)
{
    record.submitted.minute = minute;
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

// The spooler gives a freed id to the next job; the submission time tells
// the two apart, so the first is judged gone and the second followed anew.
TEST(MonitorFollowJobs, AReusedIdWithAnotherSubmissionTimeIsANewJob)
{
    PrinterEntry entry;
    followJobs(entry, {job(8, 0x10, 2), job(9, 0x10, 1)});
    std::vector<JobRecord> gone = followJobs(entry, {submittedAt(job(8, 0x8), 1), job(9, 0x10, 2)});
    ASSERT_EQ(idsOf(gone), (std::vector<std::uint32_t>{8}));
    EXPECT_EQ(gone[0].pagesPrinted, 2u);
    EXPECT_EQ(gone[0].submitted.minute, 0);
    EXPECT_FALSE(seenPrinting(entry, 0)); // the new job 8 has not printed yet
    EXPECT_TRUE(seenPrinting(entry, 1));
    gone = followJobs(entry, {submittedAt(job(8, 0x10, 5), 1), job(9, 0x10, 3)});
    EXPECT_TRUE(gone.empty()); // both are the jobs of the poll before
}

// PagesPrinted + 1 of 0xFFFFFFFF must not wrap to a mark of 0.
TEST(MonitorFollowJobs, AJobReportingFourBillionPagesIsStillSeenPrinting)
{
    PrinterEntry entry;
    followJobs(entry, {job(9, 0x10, 0xFFFFFFFFu), job(10, 0x10, 0xFFFFFFFEu)});
    EXPECT_TRUE(seenPrinting(entry, 0));
    EXPECT_TRUE(seenPrinting(entry, 1));
    std::vector<JobRecord> gone = followJobs(entry, {});
    ASSERT_EQ(idsOf(gone), (std::vector<std::uint32_t>{9, 10}));
    EXPECT_EQ(gone[0].pagesPrinted, 0xFFFFFFFFu);
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

// The last printer vanishing loses no more than one of two: its jobs with
// pages printed are recorded either way.
TEST(MonitorRefreshPrinters, AnEmptyEnumerationFollowsTheVanishingRule)
{
    for (bool lastPrinter : {true, false}) {
        std::vector<PrinterEntry> printers;
        refreshPrinters(printers, {u"A", u"B"});
        followJobs(printers[0], {job(1, 0x10, 3), job(2, 0x10, 0), job(3, 0x8, 1)});
        std::vector<JobRecord> gone = refreshPrinters(
            printers, lastPrinter ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"B"});
        EXPECT_EQ(idsOf(gone), (std::vector<std::uint32_t>{1, 3})) << lastPrinter;
        EXPECT_EQ(printers.size(), lastPrinter ? 0u : 1u);
    }
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

// A spooler whose enumeration answers from a list of outcomes and whose
// queues answer from a table.
struct FakeSpooler {
    std::vector<EnumOutcome> outcomes = {EnumOutcome::listed};
    std::size_t calls = 0;
    std::vector<std::uint32_t> waits;
    std::size_t stopAfterWaits = 1000;
    std::vector<std::u16string> names = {u"A", u"B"};
    std::map<std::u16string, std::vector<JobRecord>> queues;
    std::map<std::u16string, QueueOutcome> failing; // printers whose reading fails, and how
    std::uint32_t jobCount = 0;                     // reported at least, whatever the queue holds
    std::vector<std::u16string> reads;              // the printers asked for, in order
    std::size_t stopAfterReads = 1000000;
};

SpoolerReads fakeReads(FakeSpooler& fake)
{
    SpoolerReads reads;
    reads.context = &fake;
    reads.enumPrinters = [](void* context, std::vector<std::u16string>& names) {
        auto& f = *static_cast<FakeSpooler*>(context);
        EnumOutcome outcome = f.outcomes[std::min(f.calls++, f.outcomes.size() - 1)];
        if (outcome == EnumOutcome::listed) names = f.names;
        return outcome;
    };
    reads.readQueue = [](void* context, const std::u16string& name, QueueRead& read) {
        auto& f = *static_cast<FakeSpooler*>(context);
        f.reads.push_back(name);
        const std::vector<JobRecord>& queue = f.queues[name];
        read.jobCount = std::max<std::uint32_t>(f.jobCount, static_cast<std::uint32_t>(queue.size()));
        auto failure = f.failing.find(name);
        if (failure != f.failing.end()) return failure->second;
        read.jobs = queue;
        return QueueOutcome::read;
    };
    reads.waitBeforeRetry = [](void* context, std::uint32_t milliseconds) {
        auto& f = *static_cast<FakeSpooler*>(context);
        f.waits.push_back(milliseconds);
        return f.waits.size() >= f.stopAfterWaits;
    };
    reads.stopRequested = [](void* context) {
        auto& f = *static_cast<FakeSpooler*>(context);
        return f.reads.size() >= f.stopAfterReads;
    };
    return reads;
}

constexpr std::uint64_t oneHour = 60 * 60 * 1000;

} // namespace

TEST(MonitorPass, EveryFailedEnumerationWaitsBeforeTheRetry)
{
    FakeSpooler fake;
    fake.outcomes = {EnumOutcome::unreachable, EnumOutcome::failed, EnumOutcome::failed, EnumOutcome::listed};
    MonitorState state;
    std::vector<JobRecord> toRecord;
    PassOutcome outcome = runPass(state, fakeReads(fake), 0, toRecord);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(fake.waits, (std::vector<std::uint32_t>{1000, 10, 10}));
    EXPECT_EQ(state.printers.size(), 2u);
}

TEST(MonitorPass, AStopDuringTheRetryWaitAbandonsThePassKeepingTheTable)
{
    FakeSpooler fake;
    fake.outcomes = {EnumOutcome::listed, EnumOutcome::unreachable};
    fake.stopAfterWaits = 3;
    MonitorState state;
    std::vector<JobRecord> toRecord;
    runPass(state, fakeReads(fake), 0, toRecord);
    followJobs(state.printers[0], {job(1, 0x10, 1)});
    PassOutcome outcome = runPass(state, fakeReads(fake), 100, toRecord);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(fake.waits.size(), 3u);
    EXPECT_EQ(state.printers[0].jobs.size(), 1u); // a stop records nothing still queued
    EXPECT_TRUE(toRecord.empty());
}

TEST(MonitorPass, BusyOnlyWhenAPrinterReportsJobs)
{
    FakeSpooler fake;
    MonitorState state;
    std::vector<JobRecord> toRecord;
    EXPECT_FALSE(runPass(state, fakeReads(fake), 0, toRecord).busy);
    fake.jobCount = 2; // reported, though the reading gave no job: still busy
    EXPECT_TRUE(runPass(state, fakeReads(fake), 100, toRecord).busy);
    fake.failing = {{u"A", QueueOutcome::jobsFailed}, {u"B", QueueOutcome::jobsFailed}};
    EXPECT_TRUE(runPass(state, fakeReads(fake), 200, toRecord).busy); // the count was read
    fake.failing = {{u"A", QueueOutcome::unopened}, {u"B", QueueOutcome::infoFailed}};
    EXPECT_FALSE(runPass(state, fakeReads(fake), 300, toRecord).busy);
}

// A queue that was not read has not been seen empty: its jobs are neither
// recorded nor forgotten, and are judged at the next good reading.
TEST(MonitorPass, AQueueThatCannotBeReadKeepsItsJobsUnjudged)
{
    for (QueueOutcome failure :
        {QueueOutcome::unopened, QueueOutcome::infoFailed, QueueOutcome::jobsFailed}) {
        SCOPED_TRACE(static_cast<int>(failure));
        FakeSpooler fake;
        fake.queues[u"A"] = {job(1, 0x10, 1), job(2, 0x8)};
        MonitorState state;
        std::vector<JobRecord> toRecord;
        runPass(state, fakeReads(fake), 0, toRecord);

        fake.queues[u"A"] = {}; // were it read, job 1 would be gone
        fake.failing[u"A"] = failure;
        runPass(state, fakeReads(fake), 100, toRecord);
        EXPECT_TRUE(toRecord.empty());
        ASSERT_EQ(idsOf(state.printers[0].jobs), (std::vector<std::uint32_t>{1, 2}));
        EXPECT_TRUE(seenPrinting(state.printers[0], 0));

        fake.failing.clear();
        fake.queues[u"A"] = {job(1, 0x10, 3)};
        runPass(state, fakeReads(fake), 200, toRecord);
        fake.queues[u"A"] = {};
        runPass(state, fakeReads(fake), 300, toRecord);
        ASSERT_EQ(idsOf(toRecord), (std::vector<std::uint32_t>{1}));
        EXPECT_EQ(toRecord[0].pagesPrinted, 3u);
    }
}

// A stop seen before a printer ends the pass there: what the printers read
// so far gave is handed over, the others keep their jobs unjudged.
TEST(MonitorPass, AStopBetweenPrintersEndsThePassBeforeTheNextQueue)
{
    FakeSpooler fake;
    fake.names = {u"A", u"B", u"C"};
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        JobRecord printing = job(name[0], 0x10, 2);
        printing.printerName = name;
        fake.queues[name] = {printing};
    }
    MonitorState state;
    std::vector<JobRecord> toRecord;
    runPass(state, fakeReads(fake), 0, toRecord);
    fake.queues.clear();
    fake.reads.clear();
    fake.stopAfterReads = 1; // the quit comes while A is read
    PassOutcome outcome = runPass(state, fakeReads(fake), 100, toRecord);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(fake.reads, std::vector<std::u16string>{u"A"});
    EXPECT_EQ(idsOf(toRecord), (std::vector<std::uint32_t>{u'A'}));
    EXPECT_EQ(state.printers[1].jobs.size(), 1u);
    EXPECT_EQ(state.printers[2].jobs.size(), 1u);
}

// A printer that drops out of one enumeration and comes back with the same
// jobs: what was recorded at its vanishing is not recorded again while
// remembered, and a day later it would be.
TEST(MonitorPass, AJobIsRecordedOnceWhileItIsRemembered)
{
    struct Case {
        std::uint64_t returnAfter;
        std::size_t rows;
    } cases[] = {{oneHour, 1}, {23 * oneHour, 1}, {25 * oneHour, 2}};
    for (const Case& c : cases) {
        FakeSpooler fake;
        fake.queues[u"A"] = {job(5, 0x10, 1)};
        MonitorState state;
        std::vector<JobRecord> toRecord;
        runPass(state, fakeReads(fake), 0, toRecord);
        fake.names = {u"B"};
        runPass(state, fakeReads(fake), 100, toRecord); // A vanishes: job 5 is recorded
        fake.names = {u"A", u"B"};
        fake.queues[u"A"] = {job(5, 0x10, 3)};
        runPass(state, fakeReads(fake), c.returnAfter, toRecord);
        fake.queues[u"A"] = {};
        runPass(state, fakeReads(fake), c.returnAfter + 100, toRecord);
        ASSERT_EQ(toRecord.size(), c.rows) << c.returnAfter;
        EXPECT_EQ(toRecord[0].pagesPrinted, 1u);
    }
}

TEST(MonitorRecordedJobs, RemembersEachIdentityForADay)
{
    RecordedJobs recorded;
    const JobIdentity first{u"Laser", 7, {2026, 1, 4, 1, 8, 0, 0, 0}};
    EXPECT_TRUE(recorded.admit(first, 1000));
    EXPECT_FALSE(recorded.admit(first, 2000));
    JobIdentity otherPrinter = first, otherId = first, otherTime = first;
    otherPrinter.printer = u"laser";
    otherId.jobId = 8;
    otherTime.submitted.milliseconds = 1;
    for (const JobIdentity& other : {otherPrinter, otherId, otherTime})
        EXPECT_TRUE(recorded.admit(other, 3000));
    EXPECT_FALSE(recorded.admit(first, 1000 + recordedJobsLifetime - 1));
    EXPECT_TRUE(recorded.admit(first, 1000 + recordedJobsLifetime)); // forgotten, then remembered anew
    EXPECT_FALSE(recorded.admit(first, 1000 + recordedJobsLifetime + 1));
    EXPECT_EQ(recorded.size(), 4u);
    EXPECT_TRUE(recorded.admit(otherId, 3000 + recordedJobsLifetime)); // a day after it, too
    EXPECT_EQ(recorded.size(), 2u);                                    // the other two went with it
    EXPECT_EQ(recordedJobsLifetime, 24 * oneHour);
}

TEST(MonitorRecordedJobs, ForgetsTheOldestBeyondItsCapacity)
{
    RecordedJobs recorded; // the program's own bound
    JobIdentity identity{u"Laser", 0, {2026, 1, 4, 1, 8, 0, 0, 0}};
    for (std::uint32_t id = 0; id <= recordedJobsCapacity; ++id) {
        identity.jobId = id;
        ASSERT_TRUE(recorded.admit(identity, id));
    }
    EXPECT_EQ(recorded.size(), recordedJobsCapacity);
    EXPECT_EQ(recordedJobsCapacity, 100000u);
    identity.jobId = 1;
    EXPECT_FALSE(recorded.admit(identity, 200000)); // still remembered
    identity.jobId = 0;
    EXPECT_TRUE(recorded.admit(identity, 200000)); // the oldest went first
    identity.jobId = 1;
    EXPECT_TRUE(recorded.admit(identity, 200000)); // and made room for 0 by going next
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

// ---- change notifications ------------------------------------------------------------

namespace {

JobChange change(std::uint32_t id, JobField field, std::uint32_t number)
{
    JobChange c;
    c.jobId = id;
    c.field = field;
    c.number = number;
    return c;
}

// A job as a newly queued job is reported: every field.
std::vector<JobChange> queued(const JobRecord& record)
{
    return wholeJob(record);
}

std::vector<JobChange> operator+(std::vector<JobChange> a, const std::vector<JobChange>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

// Each read is folded in the order given; a job leaves with a DELETED
// status, and counts when its latest sighting before it showed it printing.
TEST(MonitorFoldChanges, JobsLeaveWithTheirDeletedStatusJudgedOnTheirLatestSighting)
{
    using F = JobField;
    const JobRecord spooling = job(7, 0x8);
    struct Case {
        const char* what;
        std::vector<std::vector<JobChange>> reads;
        std::vector<std::uint32_t> pages; // of the jobs recorded, in order
    };
    const Case cases[] = {
        {"printed page by page, then deleted with its last status",
            {queued(spooling), {change(7, F::status, 0x10), change(7, F::pagesPrinted, 1)},
                {change(7, F::pagesPrinted, 2)}, {change(7, F::status, 0x110)}},
            {2}},
        {"everything in one merged read", {queued(job(7, 0x1180, 3))}, {3}},
        {"a bare DELETED keeps the printing sighting before it",
            {queued(job(7, 0x10, 1)) + std::vector{change(7, F::status, jobStatusDeleted)}}, {1}},
        {"cancelled while spooling",
            {queued(spooling), {change(7, F::status, 0x8 | jobStatusDeleting)},
                {change(7, F::status, 0x10C)}},
            {}},
        {"paused when it left",
            {queued(job(7, 0x10, 1)), {change(7, F::status, 0x1)}, {change(7, F::status, 0x101)}}, {}},
        {"a bare DELETED after a paused sighting", {queued(job(7, 0x1, 1)), {change(7, F::status, 0x104)}},
            {}},
        {"the tail of a job whose start was never read",
            {{change(7, F::pagesPrinted, 4), change(7, F::status, 0x110)}}, {}},
        {"a new submission time under a followed id: the first job left",
            {queued(job(7, 0x10, 2)), queued(submittedAt(job(7, 0x10, 5), 9)),
                {change(7, F::status, 0x1100)}},
            {2, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrinterEntry entry{u"A", {}, {}, {}, {}, true, 0};
        std::vector<std::uint32_t> pages;
        for (const auto& read : c.reads)
            for (const JobRecord& gone : foldChanges(entry, read)) pages.push_back(gone.pagesPrinted);
        EXPECT_EQ(pages, c.pages);
        EXPECT_TRUE(entry.jobs.empty() || entry.jobs.size() == entry.marks.size());
    }
}

namespace {

// FakeSpooler with notifications: each watched printer answers its reads
// from a list, one per read.
struct WatchingSpooler : FakeSpooler {
    bool canWatch = true;
    std::map<std::u16string, std::vector<ChangesRead>> pending;
    std::vector<std::u16string> watches, unwatches;
};

SpoolerReads watchingReads(WatchingSpooler& fake)
{
    SpoolerReads reads = fakeReads(fake);
    reads.watchPrinter = [](void* context, const std::u16string& printer) {
        auto& f = *static_cast<WatchingSpooler*>(context);
        f.watches.push_back(printer);
        return f.canWatch;
    };
    reads.readChanges = [](void* context, const std::u16string& printer, ChangesRead& read) {
        auto& f = *static_cast<WatchingSpooler*>(context);
        auto& waiting = f.pending[printer];
        if (waiting.empty()) return ChangesOutcome::nothing;
        read = waiting.front();
        waiting.erase(waiting.begin());
        return read.changes.empty() && !read.discarded ? ChangesOutcome::failed : ChangesOutcome::read;
    };
    reads.unwatchPrinter = [](void* context, const std::u16string& printer) {
        static_cast<WatchingSpooler*>(context)->unwatches.push_back(printer);
    };
    return reads;
}

} // namespace

// Whichever source sees a job leave first records it; the other finds it
// recorded. A failed registration is tried again a minute later, a failed
// read falls back to polls, and a discarded read polls the queue at once.
TEST(MonitorPassWithChanges, BothSourcesRecordEachJobOnceAndFaultsFallBackToPolls)
{
    WatchingSpooler fake;
    fake.names = {u"A"};
    SpoolerReads reads = watchingReads(fake);
    MonitorState state;
    std::vector<JobRecord> toRecord;
    fake.queues[u"A"] = {job(1, 0x10, 1), job(2, 0x10, 1)};
    runPass(state, reads, 0, toRecord);
    ASSERT_EQ(fake.watches, std::vector<std::u16string>{u"A"});
    EXPECT_TRUE(state.printers[0].watched);

    // Job 1's DELETED comes before the poll that misses it, job 2's after.
    fake.pending[u"A"] = {{false, {change(1, JobField::status, 0x110)}}};
    readAllChanges(state, reads, 50, toRecord);
    fake.queues[u"A"] = {};
    runPass(state, reads, 100, toRecord);
    fake.pending[u"A"] = {{false, queued(job(2, 0x110, 1))}};
    readAllChanges(state, reads, 150, toRecord);
    EXPECT_EQ(idsOf(toRecord), (std::vector<std::uint32_t>{1, 2}));

    // A discarded read: the refreshed jobs are folded and the queue polled at once.
    toRecord.clear();
    fake.queues[u"A"] = {job(3, 0x10, 2)};
    fake.pending[u"A"] = {{true, queued(job(3, 0x10, 1)) + queued(job(4, 0x10, 1))}};
    std::size_t readsBefore = fake.reads.size();
    readAllChanges(state, reads, 200, toRecord);
    EXPECT_EQ(fake.reads.size(), readsBefore + 1);
    EXPECT_EQ(idsOf(toRecord), (std::vector<std::uint32_t>{4})); // the poll no longer lists it

    // A failed read ends the watch; the registration comes back after a minute.
    fake.pending[u"A"] = {ChangesRead{}};
    runPass(state, reads, 300, toRecord);
    EXPECT_EQ(fake.unwatches, std::vector<std::u16string>{u"A"});
    EXPECT_FALSE(state.printers[0].watched);
    fake.canWatch = false;
    runPass(state, reads, 400, toRecord);
    runPass(state, reads, 300 + watchRetry, toRecord);
    EXPECT_EQ(fake.watches.size(), 2u);
    runPass(state, reads, 300 + watchRetry * 3 / 2, toRecord);
    EXPECT_EQ(fake.watches.size(), 2u);
    runPass(state, reads, 300 + 2 * watchRetry, toRecord);
    EXPECT_EQ(fake.watches.size(), 3u);

    // A printer no longer listed is no longer watched.
    fake.canWatch = true;
    runPass(state, reads, 300 + 5 * watchRetry, toRecord);
    fake.names = {};
    runPass(state, reads, 300 + 6 * watchRetry, toRecord);
    EXPECT_EQ(fake.unwatches.size(), 2u);
}
