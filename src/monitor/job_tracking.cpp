#include "monitor/job_tracking.h"

#include <algorithm>
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
    if (names.empty()) {
        printers.clear();
        return toRecord;
    }
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
    // printed is all we will ever learn about them, so those are recorded.
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

std::vector<JobRecord> followJobs(PrinterEntry& entry, std::vector<JobRecord> newJobs)
{
    std::vector<JobRecord> toRecord;
    if (!entry.jobs.empty()) {
        // Ids sorted once, so a long queue is matched in n log n, not n squared.
        std::vector<std::uint32_t> ids;
        ids.reserve(newJobs.size());
        for (const JobRecord& job : newJobs) ids.push_back(job.jobId);
        std::sort(ids.begin(), ids.end());
        for (std::size_t j = 0; j < entry.jobs.size(); ++j) {
            bool stillThere = std::binary_search(ids.begin(), ids.end(), entry.jobs[j].jobId);
            if (!stillThere && seenPrinting(entry, j)) toRecord.push_back(std::move(entry.jobs[j]));
        }
    }
    entry.jobs = std::move(newJobs);
    entry.marks.assign(entry.jobs.size(), 0);
    entry.flags.assign(entry.jobs.size(), 0);
    for (std::size_t k = 0; k < entry.jobs.size(); ++k) {
        if (!isPrintingStatus(entry.jobs[k].status)) continue;
        entry.marks[k] = entry.jobs[k].pagesPrinted + 1;
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

bool pollQueues(
    std::vector<PrinterEntry>& printers, const SpoolerReads& spooler, std::vector<JobRecord>& toRecord)
{
    bool busy = false;
    for (PrinterEntry& entry : printers) {
        QueueRead read;
        if (!spooler.readQueue(spooler.context, entry.name, read)) continue;
        if (read.jobCount > 0) busy = true;
        // The entry polled is the one followed: the name the printer reports
        // about itself may be spelt differently from the enumeration's (a
        // connection's server prefix), and a second search by it would lose
        // the printer's jobs.
        std::vector<JobRecord> finished = followJobs(entry, std::move(read.jobs));
        for (JobRecord& job : finished) toRecord.push_back(std::move(job));
    }
    return busy;
}

PassOutcome runPass(
    std::vector<PrinterEntry>& printers, const SpoolerReads& spooler, std::vector<JobRecord>& toRecord)
{
    PassOutcome outcome;
    std::vector<std::u16string> names;
    if (!enumeratePrinters(spooler, names)) {
        outcome.stopped = true;
        return outcome;
    }
    for (JobRecord& job : refreshPrinters(printers, names)) toRecord.push_back(std::move(job));
    outcome.busy = pollQueues(printers, spooler, toRecord);
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
