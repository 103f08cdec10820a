// The scripted spooler playing a scenario read before: the snapshot each
// enumeration takes, the quit at the scenario's end, and the spooler reads
// answered from the snapshot.
#include "monitor/sim/scripted_spooler.h"

namespace {

Snapshot noPrinters;

} // namespace

void refreshTimelineSnapshot(ScriptedSpooler& spooler)
{
    Snapshot& snapshot = spooler.timelineSnapshot;
    snapshot.printers.clear();
    for (const std::u16string& name : spooler.timeline.listed) {
        ScriptedPrinter printer;
        printer.name = name;
        printer.jobs = queueOf(spooler.timeline, name);
        snapshot.printers.push_back(std::move(printer));
    }
}

namespace {

const Snapshot& takeTimelineSnapshot(ScriptedSpooler& spooler)
{
    const Timeline& timeline = *spooler.scenario.timeline;
    spooler.timeline.timeline = &timeline;
    // The clock stops once the quit is due: nothing happens after the end.
    if (!spooler.manualClock && !spooler.quitDue && !spooler.quitGiven && !spooler.quitAfterPass) {
        std::uint64_t time = spooler.enumerations * timeline.pass;
        if (timeline.realClock && spooler.realClock) {
            if (spooler.enumerations == 0) spooler.realStart = spooler.realClock();
            time = spooler.realClock() - spooler.realStart;
        }
        advanceTimeline(spooler.timeline, time);
    }
    ++spooler.enumerations;
    refreshTimelineSnapshot(spooler);
    if (timeline.end && spooler.timeline.now >= *timeline.end && !spooler.quitGiven && !spooler.quitDue)
        spooler.quitAfterPass = true;
    return spooler.timelineSnapshot;
}

} // namespace

const Snapshot& takeSnapshot(ScriptedSpooler& spooler)
{
    if (spooler.scenario.timeline) return takeTimelineSnapshot(spooler);
    std::size_t count = spooler.scenario.snapshots.size();
    if (spooler.taken < count) {
        const std::u16string& after = spooler.scenario.snapshots[spooler.taken].after;
        if (after.empty() || !spooler.fileExists || spooler.fileExists(after)) ++spooler.taken;
    }
    if (spooler.scenario.end && spooler.taken == count && !spooler.quitGiven && !spooler.quitDue) {
        // An unreachable pass is over as soon as the enumeration failed: the
        // monitor then waits to retry, and that is when the quit must reach it.
        if (count == 0 || !currentSnapshot(spooler).unreachable)
            spooler.quitAfterPass = true;
        else
            spooler.quitDue = true;
    }
    return currentSnapshot(spooler);
}

const Snapshot& currentSnapshot(const ScriptedSpooler& spooler)
{
    if (spooler.scenario.timeline) return spooler.timelineSnapshot;
    if (spooler.taken == 0) return noPrinters;
    return spooler.scenario.snapshots[spooler.taken - 1];
}

const ScriptedPrinter* findScriptedPrinter(const Snapshot& snapshot, const std::u16string& name)
{
    for (const ScriptedPrinter& printer : snapshot.printers)
        if (printer.name == name) return &printer;
    return nullptr;
}

std::uint32_t reportedJobCount(const ScriptedPrinter& printer)
{
    return printer.reportedJobs.value_or(static_cast<std::uint32_t>(printer.jobs.size()));
}

void quitWhileReading(ScriptedSpooler& spooler)
{
    spooler.quitAfterPass = false;
    spooler.quitDue = true;
}

void finishPass(ScriptedSpooler& spooler)
{
    if (spooler.quitAfterPass) {
        spooler.quitAfterPass = false;
        spooler.quitDue = true;
    }
}

bool takeQuit(ScriptedSpooler& spooler)
{
    if (!spooler.quitDue || spooler.quitGiven) return false;
    spooler.quitGiven = true;
    return true;
}

namespace {

EnumOutcome scriptedEnumPrinters(void* context, std::vector<std::u16string>& names)
{
    const Snapshot& snapshot = takeSnapshot(*static_cast<ScriptedSpooler*>(context));
    if (snapshot.unreachable) return EnumOutcome::unreachable;
    for (const ScriptedPrinter& printer : snapshot.printers) names.push_back(printer.name);
    return EnumOutcome::listed;
}

// Answers as the monitor's reading of the real spooler does: the printer's
// information first, and its jobs (all of them) only when it reports some.
QueueOutcome scriptedReadQueue(void* context, const std::u16string& name, QueueRead& read)
{
    auto& spooler = *static_cast<ScriptedSpooler*>(context);
    const ScriptedPrinter* printer = findScriptedPrinter(currentSnapshot(spooler), name);
    if (printer == nullptr) return QueueOutcome::unopened;
    spooler.readingMilliseconds += printer->slowMilliseconds;
    if (printer->quitWhileRead) quitWhileReading(spooler);
    if (printer->unopenable) return QueueOutcome::unopened;
    if (printer->infoFails) return QueueOutcome::infoFailed;
    read.jobCount = reportedJobCount(*printer);
    if (read.jobCount == 0) return QueueOutcome::read;
    if (printer->jobsFail) return QueueOutcome::jobsFailed;
    read.jobs = printer->jobs;
    return QueueOutcome::read;
}

bool scriptedStopRequested(void* context)
{
    const auto& spooler = *static_cast<const ScriptedSpooler*>(context);
    return spooler.quitDue || spooler.quitGiven;
}

bool scriptedWaitBeforeRetry(void* context, std::uint32_t milliseconds)
{
    static_cast<ScriptedSpooler*>(context)->retryWaits.push_back(milliseconds);
    return scriptedStopRequested(context);
}

bool scriptedWatchPrinter(void* context, const std::u16string& printer)
{
    auto& spooler = *static_cast<ScriptedSpooler*>(context);
    if (!spooler.scenario.timeline) return false; // snapshots know no changes between them
    std::size_t watch = watchTimelinePrinter(spooler.timeline, printer);
    if (watch == 0) return false;
    spooler.watchOf[printer] = watch;
    return true;
}

ChangesOutcome scriptedReadChanges(void* context, const std::u16string& printer, ChangesRead& read)
{
    auto& spooler = *static_cast<ScriptedSpooler*>(context);
    auto watch = spooler.watchOf.find(printer);
    if (watch == spooler.watchOf.end()) return ChangesOutcome::failed;
    if (!watchHasChanges(spooler.timeline, watch->second)) return ChangesOutcome::nothing;
    return readTimelineChanges(spooler.timeline, watch->second, read) ? ChangesOutcome::read
                                                                      : ChangesOutcome::failed;
}

void scriptedUnwatchPrinter(void* context, const std::u16string& printer)
{
    auto& spooler = *static_cast<ScriptedSpooler*>(context);
    auto watch = spooler.watchOf.find(printer);
    if (watch == spooler.watchOf.end()) return;
    unwatchTimelinePrinter(spooler.timeline, watch->second);
    spooler.watchOf.erase(watch);
}

} // namespace

SpoolerReads scriptedReads(ScriptedSpooler& spooler)
{
    SpoolerReads reads;
    reads.context = &spooler;
    reads.enumPrinters = scriptedEnumPrinters;
    reads.readQueue = scriptedReadQueue;
    reads.waitBeforeRetry = scriptedWaitBeforeRetry;
    reads.stopRequested = scriptedStopRequested;
    reads.watchPrinter = scriptedWatchPrinter;
    reads.readChanges = scriptedReadChanges;
    reads.unwatchPrinter = scriptedUnwatchPrinter;
    return reads;
}
