// Passes per second and CPU time of the following logic, with the scripted
// spooler, for 50 printers of 200 jobs each.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_spooler.h"

namespace {

constexpr int printerCount = 50;
constexpr int jobsPerPrinter = 200;

// Jobs whose ids start at firstId; every third one is printing.
Snapshot snapshotFrom(std::uint32_t firstId)
{
    Snapshot snapshot;
    for (int p = 0; p < printerCount; ++p) {
        ScriptedPrinter printer;
        printer.name = u"Printer " + std::u16string(1, static_cast<char16_t>(u'A' + p % 26)) + u" #"
            + std::u16string(1, static_cast<char16_t>(u'0' + p / 26));
        for (int j = 0; j < jobsPerPrinter; ++j) {
            JobRecord job;
            job.jobId = firstId + static_cast<std::uint32_t>(p * 100000 + j);
            job.printerName = printer.name;
            job.userName = u"user";
            job.machineName = u"\\\\MACHINE";
            job.document = u"A document of moderate length.pdf";
            job.hasDevMode = true;
            job.status = j % 3 == 0 ? 0x10 : 0x8;
            job.pagesPrinted = static_cast<std::uint32_t>(j % 7);
            printer.jobs.push_back(job);
        }
        snapshot.printers.push_back(std::move(printer));
    }
    return snapshot;
}

void measure(const char* label, ScriptedSpooler& spooler, int passes)
{
    MonitorState state;
    std::vector<JobRecord> recorded;
    SpoolerReads reads = scriptedReads(spooler);
    std::size_t rows = 0;
    auto wallStart = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    for (int i = 0; i < passes; ++i) {
        runPass(state, reads, 100u * static_cast<unsigned>(i), recorded);
        rows += recorded.size();
        recorded.clear();
    }
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("%-34s %6d passes  %8.1f passes/s  %7.3f ms CPU/pass  %zu jobs handed to recorders\n", label,
        passes, passes / wall, 1000.0 * cpu / passes, rows);
}

} // namespace

int main()
{
    std::printf("following logic, %d printers x %d jobs, scripted spooler\n", printerCount, jobsPerPrinter);

    ScriptedSpooler steady;
    steady.scenario.snapshots.push_back(snapshotFrom(1));
    measure("unchanged queues", steady, 200);

    // Ten jobs leave and ten arrive on every printer at every pass.
    ScriptedSpooler turnover;
    for (std::uint32_t pass = 0; pass < 200; ++pass)
        turnover.scenario.snapshots.push_back(snapshotFrom(1 + 10 * pass));
    measure("10 jobs per printer leave a pass", turnover, 200);
    return 0;
}
