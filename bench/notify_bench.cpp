// The share of jobs the monitor counts against how long they stay in their
// queue, with polls only and with change notifications beside them. The
// monitor's own passes and pacing run on a virtual clock against a timeline
// of the scripted spooler: each job arrives while the monitor is idle,
// spools for the first half of its life and prints for the second, and a
// pass takes 2, 100 or 400 ms (a print server with many queues takes long).
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_spooler.h"
#include "support/results.h"

namespace {

constexpr int jobsPerCell = 1000;
constexpr std::uint64_t ms = 1000; // the timeline counts microseconds

Timeline jobsOfLife(std::uint64_t life, bool notify)
{
    Timeline timeline;
    timeline.notify = notify;
    TimelineEvent printer;
    printer.printer = u"Office";
    timeline.events.push_back(printer);
    // Arrivals half a second to two seconds apart, so that each finds the
    // monitor idle, as most jobs of an office do.
    std::mt19937_64 random(life);
    std::uniform_int_distribution<std::uint64_t> gap(500 * ms, 2000 * ms);
    std::uint64_t at = 100 * ms;
    for (int k = 0; k < jobsPerCell; ++k) {
        TimelineEvent job;
        job.kind = TimelineEvent::Kind::job;
        job.printer = u"Office";
        job.job.jobId = static_cast<std::uint32_t>(k + 1);
        job.job.printerName = u"Office";
        job.job.status = 0x8;
        job.job.totalPages = 1;
        job.job.hasDevMode = true;
        job.job.submitted = {2026, 1, 4, 1, 0, 0, static_cast<std::uint16_t>(k % 60), 0};
        job.at = at;
        timeline.events.push_back(job);
        job.at = at + life / 2;
        job.job.status = 0x10;
        job.job.pagesPrinted = 1;
        job.given = {JobField::status, JobField::pagesPrinted};
        timeline.events.push_back(job);
        job.at = at + life;
        job.kind = TimelineEvent::Kind::jobGone;
        timeline.events.push_back(job);
        at += life + gap(random);
    }
    finishTimeline(timeline);
    return timeline;
}

// Plays the timeline to the monitor's logic: a pass sees the spooler as it
// stands when the pass begins and takes passCost; then the pause the monitor
// would make, after which the notifications' waiting changes are read.
double shareCounted(std::uint64_t life, std::uint64_t passCost, bool notify)
{
    ScriptedSpooler spooler;
    spooler.scenario.timeline = jobsOfLife(life, notify);
    spooler.manualClock = true;
    spooler.timeline.timeline = &*spooler.scenario.timeline;
    const std::uint64_t end = spooler.scenario.timeline->events.back().at + 1000 * ms;
    SpoolerReads reads = scriptedReads(spooler);
    MonitorState state;
    std::vector<JobRecord> recorded;
    std::uint64_t now = 0;
    std::uint32_t mark = 0;
    while (now < end) {
        advanceTimeline(spooler.timeline, now);
        PassOutcome pass = runPass(state, reads, now / ms, recorded);
        now += passCost;
        now += std::uint64_t{pauseAfterPass(pass.busy, mark, static_cast<std::uint32_t>(now / ms))} * ms;
        advanceTimeline(spooler.timeline, now);
        readAllChanges(state, reads, now / ms, recorded);
    }
    return 100.0 * static_cast<double>(recorded.size()) / jobsPerCell;
}

std::string share(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", value);
    return text;
}

} // namespace

int main()
{
    const std::uint64_t lives[] = {1, 5, 10, 50, 100, 400, 1000};
    const std::uint64_t passes[] = {2, 100, 400};
    std::printf("jobs counted against their life in the queue, %d jobs per cell: polls only / with change "
                "notifications\n",
        jobsPerCell);
    std::printf("%-12s", "life");
    for (std::uint64_t pass : passes)
        std::printf("   pass of %3llu ms       ", static_cast<unsigned long long>(pass));
    std::printf("\n");
    for (std::uint64_t life : lives) {
        std::printf("%6llu ms   ", static_cast<unsigned long long>(life));
        for (std::uint64_t pass : passes) {
            double polled = shareCounted(life * ms, pass * ms, false);
            double notified = shareCounted(life * ms, pass * ms, true);
            std::printf("   %6.1f %% / %6.1f %%  ", polled, notified);
            addResult(
                "jobs counted, life " + std::to_string(life) + " ms, pass " + std::to_string(pass) + " ms",
                std::to_string(jobsPerCell) + " jobs", share(notified), share(polled) + " polls only");
        }
        std::printf("\n");
    }
    return 0;
}
