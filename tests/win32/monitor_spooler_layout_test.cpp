// The scripted spooler's answers in real winspool layouts, read back the way
// the monitor reads the real spooler's.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "common/wide_text_win32.h"
#include "monitor/job_copy_win32.h"
#include "monitor/sim/scripted_layout_win32.h"

namespace {

Snapshot parsedSnapshot(const char* text)
{
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(parseScenario(text, scenario, error)) << error;
    return scenario.snapshots.at(0);
}

const char* twoPrinters = "pass\n"
                          "printer \"O'Brien \\\\srv\\Laser\"\n"
                          "job 9 status=0x1010 printed=3 total=4 copies=2 user=\"Ana Ruiz\" machine=\\\\PC "
                          "document=\"r\xC3\xA9sum\xC3\xA9.pdf\" submitted=2026-03-04T05:06:07.089\n"
                          "job 10 nodevmode\n"
                          "printer \"Second\"\n";

} // namespace

TEST(MonitorSpoolerLayout, TooSmallBuffersAskForTheSizeThatThenFits)
{
    Snapshot snapshot = parsedSnapshot(twoPrinters);
    DWORD needed = 0;
    DWORD returned = 7;
    SetLastError(0);
    EXPECT_FALSE(writePrinterInfo4(snapshot, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, 2 * sizeof(PRINTER_INFO_4W));
    std::vector<BYTE> buffer(needed);
    DWORD tooSmall = needed - 1;
    EXPECT_FALSE(writePrinterInfo4(snapshot, buffer.data(), tooSmall, &needed, &returned));
    ASSERT_TRUE(writePrinterInfo4(snapshot, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 2u);
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    EXPECT_EQ(std::u16string(utf16(printers[0].pPrinterName)), u"O'Brien \\\\srv\\Laser");
    EXPECT_EQ(std::u16string(utf16(printers[1].pPrinterName)), u"Second");
    // Every text lies inside the buffer, behind the records.
    for (DWORD i = 0; i < 2; ++i) {
        auto at = reinterpret_cast<const BYTE*>(printers[i].pPrinterName);
        EXPECT_GE(at, buffer.data() + 2 * sizeof(PRINTER_INFO_4W));
        EXPECT_LT(at, buffer.data() + needed);
    }

    EXPECT_FALSE(writePrinterInfo2(snapshot.printers[0], nullptr, 0, &needed));
    buffer.assign(needed, 0);
    ASSERT_TRUE(writePrinterInfo2(snapshot.printers[0], buffer.data(), needed, &needed));
    EXPECT_EQ(reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->cJobs, 2u);
}

TEST(MonitorSpoolerLayout, JobsReadBackIntoTheSameRecords)
{
    Snapshot snapshot = parsedSnapshot(twoPrinters);
    const ScriptedPrinter& printer = snapshot.printers[0];
    DWORD needed = 0;
    DWORD returned = 0;
    EXPECT_FALSE(writeJobInfo2(printer, 0, 2, nullptr, 0, &needed, &returned));
    std::vector<BYTE> buffer(needed + 4);
    ASSERT_TRUE(writeJobInfo2(printer, 0, 2, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 2u);
    const auto* jobs = reinterpret_cast<const JOB_INFO_2W*>(buffer.data());

    JobRecord first = copyJobRecord(jobs[0]);
    const JobRecord& script = printer.jobs[0];
    EXPECT_EQ(first.jobId, 9u);
    EXPECT_EQ(first.printerName, printer.name);
    EXPECT_EQ(first.userName, u"Ana Ruiz");
    EXPECT_EQ(first.machineName, u"\\\\PC");
    EXPECT_EQ(first.document, u"r\u00E9sum\u00E9.pdf");
    EXPECT_FALSE(first.notifyName.has_value());
    EXPECT_EQ(first.status, 0x1010u);
    EXPECT_EQ(first.pagesPrinted, 3u);
    EXPECT_EQ(first.totalPages, 4u);
    EXPECT_TRUE(first.hasDevMode);
    EXPECT_EQ(first.dmFields, static_cast<std::uint32_t>(DM_COPIES));
    EXPECT_EQ(first.dmCopies, 2);
    EXPECT_EQ(first.submitted, script.submitted);
    EXPECT_EQ(jobs[0].Submitted.wMilliseconds, 89);
    EXPECT_EQ(jobs[0].Submitted.wDayOfWeek, 3); // a Wednesday

    JobRecord second = copyJobRecord(jobs[1]);
    EXPECT_EQ(second.jobId, 10u);
    EXPECT_FALSE(second.hasDevMode);
    EXPECT_FALSE(second.userName.has_value());
    EXPECT_FALSE(second.document.has_value());

    // A count below the queue's length gives only the first jobs.
    ASSERT_TRUE(
        writeJobInfo2(printer, 0, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned));
    EXPECT_EQ(returned, 1u);
}

TEST(MonitorSpoolerLayout, CopyKeepsTextsWhole)
{
    std::u16string longName(5000, u'x');
    JOB_INFO_2W job{};
    job.JobId = 1;
    job.pDocument = const_cast<wchar_t*>(wide(longName.c_str()));
    EXPECT_EQ(copyJobRecord(job).document->size(), 5000u);
}
