#include "monitor/job_tracking.h"

#include <algorithm>
#include <tuple>
#include <utility>

bool isPrintingStatus(std::uint32_t status)
{
    return (status & (jobStatusPrinting | jobStatusPrinted | jobStatusComplete)) != 0;
}

bool seenPrinting(const PrinterEntry& entry, std::size_t job)
{
    return entry.marks[job] != 0 && entry.flags[job] != 0;
}

std::vector<JobRecord> refreshPrinters(
    std::vector<PrinterEntry>& printers, const std::vector<std::u16string>& names)
{
    std::vector<JobRecord> toRecord;
    // A name listed twice is one queue: following it twice would record each
    // of its jobs twice.
    std::vector<PrinterEntry> fresh;
    fresh.reserve(names.size());
    for (const std::u16string& name : names) {
        bool seen
            = std::any_of(fresh.begin(), fresh.end(), [&](const PrinterEntry& e) { return e.name == name; });
        if (!seen) fresh.push_back(PrinterEntry{name, {}, {}, {}});
    }

    // A vanished printer's jobs will never be polled again; whatever pages they
    // printed is all we will ever learn about them, so those are recorded. An
    // enumeration without any printer is no exception: the last printer
    // going away loses no more than any other.
    for (PrinterEntry& old : printers) {
        auto kept = std::find(names.begin(), names.end(), old.name);
        if (kept != names.end()) continue;
        for (JobRecord& job : old.jobs)
            if (job.pagesPrinted != 0) toRecord.push_back(std::move(job));
    }
    for (PrinterEntry& entry : fresh) {
        auto old = std::find_if(
            printers.begin(), printers.end(), [&](const PrinterEntry& e) { return e.name == entry.name; });
        if (old == printers.end()) continue;
        entry.jobs = std::move(old->jobs);
        entry.marks = std::move(old->marks);
        entry.flags = std::move(old->flags);
    }
    printers = std::move(fresh);
    return toRecord;
}

namespace {

// A job's place in the matching between two polls.
using JobKey = std::tuple<std::uint32_t, std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t,
    std::uint16_t, std::uint16_t, std::uint16_t, std::uint16_t>;

JobKey keyOf(const JobRecord& job)
{
    const DateTime& at = job.submitted;
    return {
        job.jobId, at.year, at.month, at.dayOfWeek, at.day, at.hour, at.minute, at.second, at.milliseconds};
}

} // namespace

std::vector<JobRecord> followJobs(PrinterEntry& entry, std::vector<JobRecord> newJobs)
{
    std::vector<JobRecord> toRecord;
    if (!entry.jobs.empty()) {
        // Keys sorted once, so a long queue is matched in n log n, not n squared.
        std::vector<JobKey> keys;
        keys.reserve(newJobs.size());
        for (const JobRecord& job : newJobs) keys.push_back(keyOf(job));
        std::sort(keys.begin(), keys.end());
        for (std::size_t j = 0; j < entry.jobs.size(); ++j) {
            bool stillThere = std::binary_search(keys.begin(), keys.end(), keyOf(entry.jobs[j]));
            if (!stillThere && seenPrinting(entry, j)) toRecord.push_back(std::move(entry.jobs[j]));
        }
    }
    entry.jobs = std::move(newJobs);
    entry.marks.assign(entry.jobs.size(), 0);
    entry.flags.assign(entry.jobs.size(), 0);
    for (std::size_t k = 0; k < entry.jobs.size(); ++k) {
        if (!isPrintingStatus(entry.jobs[k].status)) continue;
        entry.marks[k] = std::uint64_t{entry.jobs[k].pagesPrinted} + 1;
        entry.flags[k] = -1;
    }
    return toRecord;
}

bool enumeratePrinters(const SpoolerReads& spooler, std::vector<std::u16string>& names)
{
    for (;;) {
        names.clear();
        EnumOutcome outcome = spooler.enumPrinters(spooler.context, names);
        if (outcome == EnumOutcome::listed) return true;
        // Never a tight loop: a spooler that keeps failing would otherwise
        // hold a core for as long as it fails.
        std::uint32_t pause = outcome == EnumOutcome::unreachable ? unreachableRetry : failedRetry;
        if (spooler.waitBeforeRetry(spooler.context, pause)) return false;
    }
}

PassOutcome pollQueues(
    std::vector<PrinterEntry>& printers, const SpoolerReads& spooler, std::vector<JobRecord>& finished)
{
    PassOutcome outcome;
    for (PrinterEntry& entry : printers) {
        if (spooler.stopRequested && spooler.stopRequested(spooler.context)) {
            outcome.stopped = true;
            return outcome;
        }
        QueueRead read;
        QueueOutcome result = spooler.readQueue(spooler.context, entry.name, read);
        if (result == QueueOutcome::read || result == QueueOutcome::jobsFailed)
            outcome.busy = outcome.busy || read.jobCount > 0;
        if (result != QueueOutcome::read) continue;
        // The entry polled is the one followed: the name the printer reports
        // about itself may be spelt differently from the enumeration's (a
        // connection's server prefix), and a second search by it would lose
        // the printer's jobs.
        for (JobRecord& job : followJobs(entry, std::move(read.jobs))) finished.push_back(std::move(job));
    }
    return outcome;
}

PassOutcome runPass(
    MonitorState& state, const SpoolerReads& spooler, std::uint64_t now, std::vector<JobRecord>& toRecord)
{
    PassOutcome outcome;
    std::vector<std::u16string> names;
    if (!enumeratePrinters(spooler, names)) {
        outcome.stopped = true;
        return outcome;
    }
    std::vector<JobRecord> finished = refreshPrinters(state.printers, names);
    outcome = pollQueues(state.printers, spooler, finished);
    for (JobRecord& job : finished)
        if (state.recorded.admit(identityOf(job), now)) toRecord.push_back(std::move(job));
    return outcome;
}

std::uint32_t pacePass(std::uint32_t& mark, std::uint32_t now)
{
    if (now <= mark) { // the tick counter wrapped
        mark = now;
        return pollPeriod;
    }
    if (now - mark > pollPeriod) { // late: restart the schedule
        mark = now;
        return 0;
    }
    std::uint32_t pause = pollPeriod - (now - mark);
    mark += pollPeriod;
    return pause;
}

std::uint32_t pauseAfterPass(bool busy, std::uint32_t& mark, std::uint32_t now)
{
    return busy ? busyPause : pacePass(mark, now);
}
