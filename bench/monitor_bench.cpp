// The printer monitor: passes per second and CPU time per pass of the
// following logic, with the scripted spooler, for 50 printers of 200 jobs
// each; then the CPU the pacing between passes costs with idle queues and
// with one job stuck in a queue. Each beside the figure of a monitor that
// rescans everything at every pass and never pauses while a queue holds a job.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>

#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_spooler.h"
#include "support/rescanning_monitor.h"
#include "support/results.h"

namespace {

constexpr int printerCount = 50;
constexpr int jobsPerPrinter = 200;

// Jobs whose ids start at firstId; every third one is printing.
Snapshot snapshotFrom(std::uint32_t firstId, int printers = printerCount, int jobs = jobsPerPrinter)
{
    Snapshot snapshot;
    for (int p = 0; p < printers; ++p) {
        ScriptedPrinter printer;
        printer.name = u"Printer " + std::u16string(1, static_cast<char16_t>(u'A' + p % 26)) + u" #"
            + std::u16string(1, static_cast<char16_t>(u'0' + p / 26));
        for (int j = 0; j < jobs; ++j) {
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

// One pass of either logic; returns whether a queue held jobs and adds the
// jobs handed to recorders.
using PassRunner = std::function<bool(std::size_t& recorded)>;

PassRunner ourPasses(ScriptedSpooler& spooler)
{
    auto state = std::make_shared<MonitorState>();
    auto reads = std::make_shared<SpoolerReads>(scriptedReads(spooler));
    auto tick = std::make_shared<std::uint64_t>(0);
    return [state, reads, tick](std::size_t& recorded) {
        std::vector<JobRecord> finished;
        PassOutcome pass = runPass(*state, *reads, *tick += 100, finished);
        recorded += finished.size();
        return pass.busy;
    };
}

PassRunner rescanningPasses(ScriptedSpooler& spooler)
{
    auto monitor = std::make_shared<rescanning::Monitor>();
    auto reads = std::make_shared<SpoolerReads>(scriptedReads(spooler));
    return [monitor, reads](std::size_t& recorded) {
        rescanning::Pass pass = rescanning::runPass(*monitor, *reads);
        recorded += pass.recorded;
        return pass.busy;
    };
}

struct Throughput {
    double passesPerSecond, cpuMsPerPass;
    std::size_t recorded;
};

Throughput measurePasses(const PassRunner& run, int passes)
{
    std::size_t recorded = 0;
    auto wallStart = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    for (int i = 0; i < passes; ++i) run(recorded);
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return {passes / wall, 1000.0 * cpu / passes, recorded};
}

// Runs passes with the pauses the logic asks for, as the monitor thread
// does, for `seconds`; the share of one core it used.
double cpuShare(
    const PassRunner& run, std::uint32_t (*pause)(bool, std::uint32_t&, std::uint32_t), double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    std::uint32_t mark = 0;
    std::size_t recorded = 0;
    for (;;) {
        double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed >= seconds) break;
        bool busy = run(recorded);
        auto tick = static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
        std::uint32_t ms = pause(busy, mark, tick);
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return 100.0 * cpu / std::chrono::duration<double>(Clock::now() - start).count();
}

std::string perSecond(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f passes/s", value);
    return text;
}

std::string percent(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %% of a core", value);
    return text;
}

void compareThroughput(const char* label, const std::function<ScriptedSpooler()>& make, int passes)
{
    ScriptedSpooler oursSpooler = make(), rescanningSpooler = make();
    Throughput ours = measurePasses(ourPasses(oursSpooler), passes);
    Throughput baseline = measurePasses(rescanningPasses(rescanningSpooler), passes);
    std::printf("%-34s %6d passes  ours %8.1f passes/s %7.3f ms CPU/pass   rescanning %8.1f passes/s %7.3f "
                "ms CPU/pass  (%zu / %zu jobs to recorders)\n",
        label, passes, ours.passesPerSecond, ours.cpuMsPerPass, baseline.passesPerSecond,
        baseline.cpuMsPerPass, ours.recorded, baseline.recorded);
    addResult(std::string("monitor pass, ") + label, "50 x 200 jobs", perSecond(ours.passesPerSecond),
        perSecond(baseline.passesPerSecond));
}

void comparePacing(const char* label, const Snapshot& snapshot)
{
    constexpr double seconds = 3;
    ScriptedSpooler oursSpooler, rescanningSpooler;
    oursSpooler.scenario.snapshots.push_back(snapshot);
    rescanningSpooler.scenario.snapshots.push_back(snapshot);
    double ours = cpuShare(ourPasses(oursSpooler), pauseAfterPass, seconds);
    double baseline = cpuShare(rescanningPasses(rescanningSpooler), rescanning::pauseAfterPass, seconds);
    std::printf("%-34s ours %6.2f %% of a core   rescanning %6.2f %% of a core\n", label, ours, baseline);
    addResult(std::string("monitor CPU, ") + label, "1 printer", percent(ours), percent(baseline));
}

} // namespace

int main()
{
    std::printf("following logic, %d printers x %d jobs, scripted spooler\n", printerCount, jobsPerPrinter);
    compareThroughput(
        "unchanged queues",
        [] {
            ScriptedSpooler steady;
            steady.scenario.snapshots.push_back(snapshotFrom(1));
            return steady;
        },
        200);
    // Ten jobs leave and ten arrive on every printer at every pass.
    compareThroughput(
        "10 jobs per printer leave a pass",
        [] {
            ScriptedSpooler turnover;
            for (std::uint32_t pass = 0; pass < 200; ++pass)
                turnover.scenario.snapshots.push_back(snapshotFrom(1 + 10 * pass));
            return turnover;
        },
        200);

    std::printf("\npacing between passes, native, %d s each\n", 3);
    comparePacing("idle queues", snapshotFrom(1, 1, 0));
    Snapshot stuck = snapshotFrom(1, 1, 1);
    stuck.printers[0].jobs[0].status = 0x8; // spooling, never printing
    comparePacing("one job stuck in a queue", stuck);
    return 0;
}
