// The monitor's reading of one queue through the spooler calls, against a
// spooler of the test's own (the spooler is chosen at link time): which calls
// it makes, with which counts, and what each failure leaves.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "common/wide_text_win32.h"
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
