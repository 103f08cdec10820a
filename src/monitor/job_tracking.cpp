#include "monitor/job_tracking.h"

#include <algorithm>
#include <optional>
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

bool isDated(const PrinterEntry& entry, std::size_t job)
{
    return job >= entry.dated.size() || entry.dated[job] != 0;
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
        if (!seen) fresh.push_back(PrinterEntry{name, {}, {}, {}, {}, false, 0});
    }

    // A vanished printer's jobs will never be polled again; whatever pages they
    // printed is all we will ever learn about them, so those are recorded. An
    // enumeration without any printer is no exception: the last printer
    // going away loses no more than any other.
    for (PrinterEntry& old : printers) {
        auto kept = std::find(names.begin(), names.end(), old.name);
        if (kept != names.end()) continue;
        for (std::size_t j = 0; j < old.jobs.size(); ++j)
            if (old.jobs[j].pagesPrinted != 0 && isDated(old, j)) toRecord.push_back(std::move(old.jobs[j]));
    }
    for (PrinterEntry& entry : fresh) {
        auto old = std::find_if(
            printers.begin(), printers.end(), [&](const PrinterEntry& e) { return e.name == entry.name; });
        if (old == printers.end()) continue;
        entry.jobs = std::move(old->jobs);
        entry.marks = std::move(old->marks);
        entry.flags = std::move(old->flags);
        entry.dated = std::move(old->dated);
        entry.watched = old->watched;
        entry.nextWatch = old->nextWatch;
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
            if (!stillThere && seenPrinting(entry, j) && isDated(entry, j))
                toRecord.push_back(std::move(entry.jobs[j]));
        }
    }
    entry.jobs = std::move(newJobs);
    entry.marks.assign(entry.jobs.size(), 0);
    entry.flags.assign(entry.jobs.size(), 0);
    entry.dated.assign(entry.jobs.size(), 1); // a poll reads every field
    for (std::size_t k = 0; k < entry.jobs.size(); ++k) {
        if (!isPrintingStatus(entry.jobs[k].status)) continue;
        entry.marks[k] = std::uint64_t{entry.jobs[k].pagesPrinted} + 1;
        entry.flags[k] = -1;
    }
    return toRecord;
}

namespace {

void forgetJob(PrinterEntry& entry, std::size_t job)
{
    const auto at = static_cast<std::ptrdiff_t>(job);
    entry.jobs.erase(entry.jobs.begin() + at);
    entry.marks.erase(entry.marks.begin() + at);
    entry.flags.erase(entry.flags.begin() + at);
    if (job < entry.dated.size()) entry.dated.erase(entry.dated.begin() + at);
}

// The job's sighting as its status tells it: printing (mark PagesPrinted + 1)
// or not. A status of a job being deleted and nothing else keeps the sighting
// before it, which is the job's last one in the queue.
void markSighting(PrinterEntry& entry, std::size_t job)
{
    const std::uint32_t status = entry.jobs[job].status;
    if ((status & ~(jobStatusDeleted | jobStatusDeleting)) == 0 && (status & jobStatusDeleted) != 0) return;
    const bool printing = isPrintingStatus(status);
    entry.marks[job] = printing ? std::uint64_t{entry.jobs[job].pagesPrinted} + 1 : 0;
    entry.flags[job] = printing ? -1 : 0;
}

} // namespace

std::vector<JobRecord> foldChanges(PrinterEntry& entry, const std::vector<JobChange>& changes)
{
    std::vector<JobRecord> toRecord;
    entry.dated.resize(entry.jobs.size(), 1);
    // The job the current run of changes is about, and whether it has left:
    // a merged entry lists the other fields after the DELETED status, so the
    // job is judged once the run of its changes is over.
    std::optional<std::size_t> current;
    bool leaving = false;
    auto judge = [&] {
        if (current && leaving) {
            if (seenPrinting(entry, *current) && isDated(entry, *current))
                toRecord.push_back(std::move(entry.jobs[*current]));
            forgetJob(entry, *current);
        }
        current.reset();
        leaving = false;
    };
    for (const JobChange& change : changes) {
        if (current && entry.jobs[*current].jobId != change.jobId) judge();
        if (!current) {
            auto found = std::find_if(entry.jobs.begin(), entry.jobs.end(),
                [&](const JobRecord& job) { return job.jobId == change.jobId; });
            if (found != entry.jobs.end()) current = static_cast<std::size_t>(found - entry.jobs.begin());
        }
        if (current && change.field == JobField::submitted && isDated(entry, *current)
            && entry.jobs[*current].submitted != change.time) {
            // The id was handed to a new job: the one followed under it has left.
            leaving = true;
            judge();
        }
        if (!current) {
            JobRecord fresh;
            fresh.jobId = change.jobId;
            fresh.printerName = entry.name; // until the changes name the job's own printer
            entry.jobs.push_back(std::move(fresh));
            entry.marks.push_back(0);
            entry.flags.push_back(0);
            entry.dated.push_back(0);
            current = entry.jobs.size() - 1;
        }
        JobRecord& job = entry.jobs[*current];
        applyChange(job, change);
        if (change.field == JobField::submitted) entry.dated[*current] = 1;
        if (change.field == JobField::status) {
            markSighting(entry, *current);
            leaving = (job.status & jobStatusDeleted) != 0;
        }
        if (change.field == JobField::pagesPrinted && entry.flags[*current] != 0)
            entry.marks[*current] = std::uint64_t{job.pagesPrinted} + 1;
    }
    judge();
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

namespace {

void append(std::vector<JobRecord>& to, std::vector<JobRecord> jobs)
{
    for (JobRecord& job : jobs) to.push_back(std::move(job));
}

void endWatch(PrinterEntry& entry, const SpoolerReads& spooler, std::uint64_t now)
{
    if (spooler.unwatchPrinter) spooler.unwatchPrinter(spooler.context, entry.name);
    entry.watched = false;
    entry.nextWatch = now + watchRetry;
}

// Folds what the printer's notifications hold; true when the read was
// discarded and the queue must be polled at once.
bool foldWaitingChanges(
    PrinterEntry& entry, const SpoolerReads& spooler, std::uint64_t now, std::vector<JobRecord>& finished)
{
    if (!entry.watched || !spooler.readChanges) return false;
    ChangesRead read;
    switch (spooler.readChanges(spooler.context, entry.name, read)) {
    case ChangesOutcome::nothing: return false;
    case ChangesOutcome::failed: endWatch(entry, spooler, now); return false;
    case ChangesOutcome::read: break;
    }
    append(finished, foldChanges(entry, read.changes));
    return read.discarded;
}

// One queue read: its jobs followed, whether it reported jobs, and whether
// it was read well.
bool pollQueue(PrinterEntry& entry, const SpoolerReads& spooler, std::vector<JobRecord>& finished, bool& busy)
{
    QueueRead read;
    QueueOutcome result = spooler.readQueue(spooler.context, entry.name, read);
    if (result == QueueOutcome::read || result == QueueOutcome::jobsFailed) busy = busy || read.jobCount > 0;
    if (result != QueueOutcome::read) return false;
    // The entry polled is the one followed: the name the printer reports
    // about itself may be spelt differently from the enumeration's (a
    // connection's server prefix), and a second search by it would lose
    // the printer's jobs.
    append(finished, followJobs(entry, std::move(read.jobs)));
    return true;
}

} // namespace

PassOutcome pollQueues(std::vector<PrinterEntry>& printers, const SpoolerReads& spooler,
    std::vector<JobRecord>& finished, std::uint64_t now)
{
    PassOutcome outcome;
    for (PrinterEntry& entry : printers) {
        if (spooler.stopRequested && spooler.stopRequested(spooler.context)) {
            outcome.stopped = true;
            return outcome;
        }
        foldWaitingChanges(entry, spooler, now, finished);
        if (!pollQueue(entry, spooler, finished, outcome.busy)) continue;
        // Registered after the poll: the poll gave the queue as it stands, the
        // notifications give every change from then on.
        if (!entry.watched && spooler.watchPrinter && now >= entry.nextWatch) {
            entry.watched = spooler.watchPrinter(spooler.context, entry.name);
            if (!entry.watched) entry.nextWatch = now + watchRetry;
        }
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
    // A printer that is no longer listed is no longer watched.
    for (PrinterEntry& entry : state.printers)
        if (entry.watched && std::find(names.begin(), names.end(), entry.name) == names.end())
            endWatch(entry, spooler, now);
    std::vector<JobRecord> finished = refreshPrinters(state.printers, names);
    outcome = pollQueues(state.printers, spooler, finished, now);
    for (JobRecord& job : finished)
        if (state.recorded.admit(identityOf(job), now)) toRecord.push_back(std::move(job));
    return outcome;
}

void readPrinterChanges(MonitorState& state, const SpoolerReads& spooler, std::size_t printer,
    std::uint64_t now, std::vector<JobRecord>& toRecord)
{
    if (printer >= state.printers.size()) return;
    PrinterEntry& entry = state.printers[printer];
    std::vector<JobRecord> finished;
    if (foldWaitingChanges(entry, spooler, now, finished)) {
        bool busy = false;
        pollQueue(entry, spooler, finished, busy);
    }
    for (JobRecord& job : finished)
        if (state.recorded.admit(identityOf(job), now)) toRecord.push_back(std::move(job));
}

void readAllChanges(
    MonitorState& state, const SpoolerReads& spooler, std::uint64_t now, std::vector<JobRecord>& toRecord)
{
    for (std::size_t printer = 0; printer < state.printers.size(); ++printer)
        if (state.printers[printer].watched) readPrinterChanges(state, spooler, printer, now, toRecord);
}

void unwatchAll(MonitorState& state, const SpoolerReads& spooler)
{
    for (PrinterEntry& entry : state.printers)
        if (entry.watched) endWatch(entry, spooler, 0);
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
