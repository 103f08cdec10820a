#include "support/rescanning_monitor.h"

#include <algorithm>

namespace rescanning {

namespace {

constexpr std::size_t textBlock = 1004;
constexpr std::size_t devModeBlock = 220;

bool printing(const FollowedPrinter& entry, std::size_t job)
{
    return entry.marks[job] != 0 && entry.flags[job] != 0;
}

void startRecorder(Monitor& monitor, const JobRecord& job)
{
    auto copy = std::make_unique<CopiedJob>();
    for (const auto* text :
        {&job.printerName, &job.machineName, &job.userName, &job.document, &job.notifyName, &job.datatype,
            &job.printProcessor, &job.parameters, &job.driverName, &job.statusText}) {
        std::vector<char16_t> block;
        if (*text) {
            block.assign(textBlock, 0);
            std::copy_n((*text)->begin(), std::min((*text)->size(), textBlock - 1), block.begin());
        }
        copy->texts.push_back(std::move(block));
    }
    copy->devMode.assign(devModeBlock, 0);
    monitor.recorders.push_back(std::move(copy));
}

void markPrinting(FollowedPrinter& entry)
{
    for (std::size_t k = 0; k < entry.jobs.size(); ++k) {
        entry.marks[k] = 0;
        entry.flags[k] = 0;
        if (entry.jobs[k].status & jobStatusPrinting) {
            entry.marks[k] = entry.jobs[k].pagesPrinted + 1;
            entry.flags[k] = -1;
        }
    }
}

void followJobs(Monitor& monitor, const std::u16string& name, std::vector<JobRecord> jobs, Pass& pass)
{
    auto found = std::find_if(monitor.printers.begin(), monitor.printers.end(),
        [&](const FollowedPrinter& e) { return e.name == name; });
    if (found == monitor.printers.end()) return;
    FollowedPrinter& entry = *found;
    std::vector<std::uint32_t> marks(jobs.size() + 1);
    std::vector<std::int32_t> flags(jobs.size() + 1);
    for (std::size_t j = 0; j < entry.jobs.size(); ++j) {
        bool present = false;
        for (const JobRecord& job : jobs) present |= job.jobId == entry.jobs[j].jobId;
        if (!present && printing(entry, j)) {
            startRecorder(monitor, entry.jobs[j]);
            ++pass.recorded;
        }
    }
    entry.jobs = std::move(jobs);
    entry.marks = std::move(marks);
    entry.flags = std::move(flags);
    markPrinting(entry);
}

} // namespace

Pass runPass(Monitor& monitor, const SpoolerReads& spooler)
{
    Pass pass;
    monitor.recorders.clear();

    std::vector<std::u16string> names;
    while (spooler.enumPrinters(spooler.context, names) != EnumOutcome::listed) names.clear();
    std::vector<FollowedPrinter> fresh;
    for (const std::u16string& name : names) fresh.push_back(FollowedPrinter{name, {}, {}, {}});
    for (FollowedPrinter& old : monitor.printers) {
        bool kept = false;
        for (const FollowedPrinter& entry : fresh) kept |= entry.name == old.name;
        if (kept) continue;
        for (const JobRecord& job : old.jobs)
            if (job.pagesPrinted != 0) startRecorder(monitor, job);
    }
    for (FollowedPrinter& entry : fresh) {
        for (FollowedPrinter& old : monitor.printers) {
            if (old.name != entry.name) continue;
            entry.jobs = std::move(old.jobs);
            entry.marks = std::move(old.marks);
            entry.flags = std::move(old.flags);
        }
    }
    monitor.printers = std::move(fresh);

    for (std::size_t i = 0; i < monitor.printers.size(); ++i) {
        QueueRead read;
        const std::u16string name = monitor.printers[i].name;
        if (spooler.readQueue(spooler.context, name, read) != QueueOutcome::read) continue;
        pass.busy |= read.jobCount > 0;
        followJobs(monitor, name, std::move(read.jobs), pass);
    }
    return pass;
}

std::uint32_t pauseAfterPass(bool busy, std::uint32_t& mark, std::uint32_t now)
{
    if (busy) return 0;
    return pacePass(mark, now);
}

} // namespace rescanning
