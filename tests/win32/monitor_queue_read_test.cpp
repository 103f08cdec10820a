// The monitor's reading of one queue through the spooler calls, against a
// spooler of the test's own (the spooler is chosen at link time): which calls
// it makes, with which counts, and what each failure leaves.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "common/wide_text_win32.h"
#include "monitor/change_watch_win32.h"
#include "monitor/queue_reader_win32.h"
#include "monitor/sim/scripted_layout_win32.h"
#include "monitor/spooler_win32.h"

namespace {

// The one printer the test spooler knows, and what was asked of it.
ScriptedPrinter testPrinter;
std::vector<DWORD> enumJobsCounts;
int closes = 0;

ScriptedPrinter printerFrom(const char* scenario)
{
    Scenario parsed;
    std::string error;
    EXPECT_TRUE(parseScenario(scenario, parsed, error)) << error;
    return parsed.snapshots.at(0).printers.at(0);
}

} // namespace

BOOL spoolOpenPrinter(const wchar_t* name, HANDLE* printer)
{
    if (testPrinter.unopenable || testPrinter.name != utf16(name)) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    *printer = reinterpret_cast<HANDLE>(1);
    return TRUE;
}

BOOL spoolGetPrinter(HANDLE, DWORD, BYTE* buffer, DWORD size, DWORD* needed)
{
    if (testPrinter.infoFails) {
        *needed = 0;
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    return writePrinterInfo2(testPrinter, buffer, size, needed);
}

BOOL spoolEnumJobs(
    HANDLE, DWORD firstJob, DWORD count, DWORD, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned)
{
    enumJobsCounts.push_back(count);
    if (testPrinter.jobsFail) {
        *needed = 0;
        *returned = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return writeJobInfo2(testPrinter, firstJob, count, buffer, size, needed, returned);
}

BOOL spoolClosePrinter(HANDLE)
{
    ++closes;
    return TRUE;
}

namespace {

// The test spooler's change notifications: what each read hands out, and
// whether registration is refused, as Wine refuses it.
bool refuseChanges = false;
std::vector<PRINTER_NOTIFY_INFO*> readsWaiting;
std::vector<DWORD> readFlags; // the options' flags of every read
int infosOut = 0, changeHandlesOpen = 0;

} // namespace

HANDLE spoolFindFirstChange(HANDLE, DWORD, PRINTER_NOTIFY_OPTIONS* options)
{
    if (refuseChanges || options == nullptr || options->pTypes[0].Type != JOB_NOTIFY_TYPE) {
        SetLastError(0);
        return INVALID_HANDLE_VALUE;
    }
    ++changeHandlesOpen;
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

BOOL spoolFindNextChange(
    HANDLE change, DWORD* what, PRINTER_NOTIFY_OPTIONS* options, PRINTER_NOTIFY_INFO** info)
{
    readFlags.push_back(options ? options->Flags : 0);
    if (readsWaiting.empty()) return FALSE;
    *info = readsWaiting.front();
    readsWaiting.erase(readsWaiting.begin());
    ++infosOut;
    *what = PRINTER_CHANGE_SET_JOB;
    if (readsWaiting.empty()) ResetEvent(change);
    return TRUE;
}

BOOL spoolFindCloseChange(HANDLE change)
{
    --changeHandlesOpen;
    return CloseHandle(change);
}

BOOL spoolFreeNotifyInfo(PRINTER_NOTIFY_INFO* info)
{
    --infosOut;
    releaseNotifyInfo(info);
    return TRUE;
}

TEST(MonitorQueueRead, EachOutcomeWithTheCallsThatLedToIt)
{
    struct Case {
        const char* scenario;
        QueueOutcome outcome;
        std::uint32_t jobCount;
        std::vector<std::uint32_t> ids;
        bool jobsAsked; // EnumJobsW was called, each time for every job
        int closes;
    } cases[] = {
        // Two jobs queued since the printer counted one: all three are read.
        {"pass\nprinter \"P\" reports=1\njob 3\njob 1\njob 2\n", QueueOutcome::read, 1, {3, 1, 2}, true, 1},
        {"pass\nprinter \"P\"\njob 7\n", QueueOutcome::read, 1, {7}, true, 1},
        {"pass\nprinter \"P\" reports=0\njob 7\n", QueueOutcome::read, 0, {}, false, 1},
        {"pass\nprinter \"P\" unopenable\njob 7\n", QueueOutcome::unopened, 0, {}, false, 0},
        // No fatal report any more: the printer is skipped.
        {"pass\nprinter \"P\" info-fails\njob 7\n", QueueOutcome::infoFailed, 0, {}, false, 1},
        {"pass\nprinter \"P\" jobs-fail\njob 7\njob 8\n", QueueOutcome::jobsFailed, 2, {}, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        testPrinter = printerFrom(c.scenario);
        enumJobsCounts.clear();
        closes = 0;
        QueueRead read;
        EXPECT_EQ(readPrinterQueue(u"P", read), c.outcome);
        EXPECT_EQ(read.jobCount, c.jobCount);
        std::vector<std::uint32_t> ids;
        for (const JobRecord& job : read.jobs) ids.push_back(job.jobId);
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(!enumJobsCounts.empty(), c.jobsAsked);
        for (DWORD count : enumJobsCounts) EXPECT_EQ(count, 0xFFFFFFFFu);
        EXPECT_EQ(closes, c.closes);
    }
}

// The notifications as the monitor reads them: registration refused without
// a last error, nothing read while the handle is not signalled, a read in
// the spooler's layout turned back into the changes it was made of, a
// discarded read asked again with a refresh, a failed read, and every buffer
// and handle released.
TEST(MonitorChangeWatches, ReadsWhatTheSpoolerKeepsAndReleasesEverything)
{
    JobRecord job;
    job.jobId = 12;
    job.printerName = u"P";
    job.userName = u"Ana \U0001F5A8";
    job.document = std::nullopt;
    job.hasDevMode = true;
    job.dmFields = deviceModeCopies;
    job.dmCopies = 3;
    job.status = 0x1090;
    job.pagesPrinted = 7;
    job.submitted = {2026, 3, 3, 4, 5, 6, 7, 89};
    const std::vector<JobChange> whole = wholeJob(job);
    testPrinter = printerFrom("pass\nprinter \"P\"\n");
    {
        ChangeWatches watches;
        refuseChanges = true;
        EXPECT_FALSE(watches.watch(u"P"));
        EXPECT_EQ(watches.handleOf(u"P"), nullptr);
        refuseChanges = false;
        ASSERT_TRUE(watches.watch(u"P"));
        ChangesRead read;
        EXPECT_EQ(watches.read(u"P", read), ChangesOutcome::nothing);

        readsWaiting = {newNotifyInfo(whole, 0)};
        SetEvent(watches.handleOf(u"P"));
        ASSERT_EQ(watches.read(u"P", read), ChangesOutcome::read);
        EXPECT_FALSE(read.discarded);
        ASSERT_EQ(read.changes.size(), whole.size());
        JobRecord rebuilt;
        for (const JobChange& change : read.changes) applyChange(rebuilt, change);
        EXPECT_EQ(rebuilt.userName, job.userName);
        EXPECT_FALSE(rebuilt.document.has_value());
        EXPECT_TRUE(rebuilt.hasDevMode);
        EXPECT_EQ(rebuilt.dmCopies, 3);
        EXPECT_EQ(rebuilt.status, 0x1090u);
        EXPECT_EQ(rebuilt.pagesPrinted, 7u);
        EXPECT_EQ(rebuilt.submitted, job.submitted);
        for (const JobChange& change : read.changes) EXPECT_EQ(change.jobId, 12u);

        readFlags.clear();
        readsWaiting = {newNotifyInfo({}, PRINTER_NOTIFY_INFO_DISCARDED), newNotifyInfo(whole, 0)};
        SetEvent(watches.handleOf(u"P"));
        read = ChangesRead();
        ASSERT_EQ(watches.read(u"P", read), ChangesOutcome::read);
        EXPECT_TRUE(read.discarded);
        EXPECT_EQ(read.changes.size(), whole.size());
        EXPECT_EQ(readFlags, (std::vector<DWORD>{0, PRINTER_NOTIFY_OPTIONS_REFRESH}));

        SetEvent(watches.handleOf(u"P")); // signalled, but the read fails
        EXPECT_EQ(watches.read(u"P", read), ChangesOutcome::failed);
        EXPECT_EQ(changeHandlesOpen, 1);
    }
    EXPECT_EQ(changeHandlesOpen, 0);
    EXPECT_EQ(infosOut, 0);
}
