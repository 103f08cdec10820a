#include "monitor/sim/scripted_timeline.h"

#include <algorithm>

namespace {

const std::vector<JobRecord> noJobs;

// A job line's defaults: queued now, a device mode without copies.
JobRecord enteringJob(const TimelineEvent& event)
{
    JobRecord job = event.job;
    job.printerName = event.printer;
    return job;
}

void applyEvent(TimelineSpooler& spooler, const TimelineEvent& event)
{
    using Kind = TimelineEvent::Kind;
    auto& listed = spooler.listed;
    const bool isListed = std::find(listed.begin(), listed.end(), event.printer) != listed.end();
    if (event.kind == Kind::printer) {
        if (!isListed) listed.push_back(event.printer);
        spooler.queues[event.printer];
        return;
    }
    if (event.kind == Kind::printerGone) {
        // A deleted printer takes its queue with it.
        std::erase(listed, event.printer);
        spooler.queues[event.printer].clear();
        return;
    }
    std::vector<JobRecord>& queue = spooler.queues[event.printer];
    auto job = std::find_if(
        queue.begin(), queue.end(), [&](const JobRecord& j) { return j.jobId == event.job.jobId; });
    LoggedChange logged{event.printer, event.job.jobId, {}};
    if (event.kind == Kind::jobGone) {
        if (job == queue.end()) return;
        JobRecord last = *job;
        last.status |= jobStatusDeleted;
        logged.changes.push_back(changeOf(last, JobField::status));
        queue.erase(job);
    } else if (job == queue.end()) {
        queue.push_back(enteringJob(event));
        logged.changes = wholeJob(queue.back());
    } else {
        for (JobField field : event.given) {
            JobChange change = changeOf(event.job, field);
            applyChange(*job, change);
            logged.changes.push_back(std::move(change));
        }
        if (logged.changes.empty()) return;
    }
    spooler.log.push_back(std::move(logged));
}

std::size_t logEnd(const TimelineSpooler& spooler)
{
    return spooler.logBase + spooler.log.size();
}

// Entries every open watch has read are dropped: a run of hours keeps only
// what is still to be read, as the spooler does.
void forgetReadEntries(TimelineSpooler& spooler)
{
    std::size_t oldest = logEnd(spooler);
    for (const TimelineSpooler::Watch& watch : spooler.watches)
        if (watch.open) oldest = std::min(oldest, watch.unread);
    for (; spooler.logBase < oldest; ++spooler.logBase) spooler.log.pop_front();
}

TimelineSpooler::Watch* findWatch(TimelineSpooler& spooler, std::size_t watch)
{
    if (watch == 0 || watch > spooler.watches.size() || !spooler.watches[watch - 1].open) return nullptr;
    return &spooler.watches[watch - 1];
}

// The changes of several events of one job as one entry per field, each
// holding the latest value, in the order the fields first changed.
void mergeInto(std::vector<JobChange>& merged, const std::vector<JobChange>& changes)
{
    for (const JobChange& change : changes) {
        auto same = std::find_if(merged.begin(), merged.end(),
            [&](const JobChange& c) { return c.jobId == change.jobId && c.field == change.field; });
        if (same != merged.end())
            *same = change;
        else
            merged.push_back(change);
    }
}

} // namespace

void finishTimeline(Timeline& timeline)
{
    std::stable_sort(timeline.events.begin(), timeline.events.end(),
        [](const TimelineEvent& a, const TimelineEvent& b) { return a.at < b.at; });
}

void advanceTimeline(TimelineSpooler& spooler, std::uint64_t time)
{
    if (time < spooler.now) return;
    spooler.now = time;
    const auto& events = spooler.timeline->events;
    while (spooler.applied < events.size() && events[spooler.applied].at <= time)
        applyEvent(spooler, events[spooler.applied++]);
    forgetReadEntries(spooler); // with no watch open, nobody will read them
}

bool isListed(const TimelineSpooler& spooler, const std::u16string& printer)
{
    return std::find(spooler.listed.begin(), spooler.listed.end(), printer) != spooler.listed.end();
}

const std::vector<JobRecord>& queueOf(const TimelineSpooler& spooler, const std::u16string& printer)
{
    auto queue = spooler.queues.find(printer);
    return queue == spooler.queues.end() ? noJobs : queue->second;
}

std::size_t watchTimelinePrinter(TimelineSpooler& spooler, const std::u16string& printer)
{
    if (!spooler.timeline->notify || !isListed(spooler, printer)) return 0;
    spooler.watches.push_back({printer, logEnd(spooler), true});
    return spooler.watches.size();
}

void unwatchTimelinePrinter(TimelineSpooler& spooler, std::size_t watch)
{
    if (TimelineSpooler::Watch* found = findWatch(spooler, watch)) found->open = false;
    forgetReadEntries(spooler);
}

bool watchHasChanges(const TimelineSpooler& spooler, std::size_t watch)
{
    if (watch == 0 || watch > spooler.watches.size()) return false;
    const TimelineSpooler::Watch& found = spooler.watches[watch - 1];
    if (!found.open) return false;
    for (std::size_t k = found.unread; k < logEnd(spooler); ++k)
        if (spooler.log[k - spooler.logBase].printer == found.printer) return true;
    return false;
}

namespace {

bool readChangesOf(TimelineSpooler& spooler, std::size_t watch, ChangesRead& read)
{
    TimelineSpooler::Watch* found = findWatch(spooler, watch);
    if (!found) return false;
    std::vector<const LoggedChange*> events;
    for (std::size_t k = found->unread; k < logEnd(spooler); ++k)
        if (spooler.log[k - spooler.logBase].printer == found->printer)
            events.push_back(&spooler.log[k - spooler.logBase]);
    found->unread = logEnd(spooler);
    const std::optional<std::size_t>& hold = spooler.timeline->hold;
    if (hold && events.size() > *hold) {
        read.discarded = true;
        read.changes = refreshTimelineWatch(spooler, watch);
        return true;
    }
    if (!spooler.timeline->merge) {
        for (const LoggedChange* event : events)
            read.changes.insert(read.changes.end(), event->changes.begin(), event->changes.end());
        return true;
    }
    // Jobs in the order they first changed, each job's fields together.
    std::vector<std::uint32_t> order;
    for (const LoggedChange* event : events)
        if (std::find(order.begin(), order.end(), event->jobId) == order.end()) order.push_back(event->jobId);
    for (std::uint32_t id : order) {
        std::vector<JobChange> merged;
        for (const LoggedChange* event : events)
            if (event->jobId == id) mergeInto(merged, event->changes);
        read.changes.insert(read.changes.end(), merged.begin(), merged.end());
    }
    return true;
}

} // namespace

bool readTimelineChanges(TimelineSpooler& spooler, std::size_t watch, ChangesRead& read)
{
    const bool result = readChangesOf(spooler, watch, read);
    forgetReadEntries(spooler);
    return result;
}

std::vector<JobChange> refreshTimelineWatch(const TimelineSpooler& spooler, std::size_t watch)
{
    std::vector<JobChange> changes;
    if (watch == 0 || watch > spooler.watches.size()) return changes;
    for (const JobRecord& job : queueOf(spooler, spooler.watches[watch - 1].printer)) {
        std::vector<JobChange> whole = wholeJob(job);
        changes.insert(changes.end(), whole.begin(), whole.end());
    }
    return changes;
}
