#include "monitor/job_changes.h"

namespace {

// The member a field names, const or not as the job is.
template <typename Job> auto textOf(Job& job, JobField field) -> decltype(&job.printerName)
{
    switch (field) {
    case JobField::printerName: return &job.printerName;
    case JobField::machineName: return &job.machineName;
    case JobField::userName: return &job.userName;
    case JobField::notifyName: return &job.notifyName;
    case JobField::datatype: return &job.datatype;
    case JobField::printProcessor: return &job.printProcessor;
    case JobField::parameters: return &job.parameters;
    case JobField::driverName: return &job.driverName;
    case JobField::statusText: return &job.statusText;
    case JobField::document: return &job.document;
    default: return nullptr;
    }
}

template <typename Job> auto numberOf(Job& job, JobField field) -> decltype(&job.status)
{
    switch (field) {
    case JobField::status: return &job.status;
    case JobField::priority: return &job.priority;
    case JobField::position: return &job.position;
    case JobField::startTime: return &job.startTime;
    case JobField::untilTime: return &job.untilTime;
    case JobField::time: return &job.time;
    case JobField::totalPages: return &job.totalPages;
    case JobField::pagesPrinted: return &job.pagesPrinted;
    case JobField::totalBytes: return &job.size;
    default: return nullptr;
    }
}

} // namespace

FieldKind kindOf(JobField field)
{
    const JobRecord probe;
    if (textOf(probe, field)) return FieldKind::text;
    if (numberOf(probe, field)) return FieldKind::number;
    if (field == JobField::submitted) return FieldKind::time;
    if (field == JobField::devMode) return FieldKind::devMode;
    return FieldKind::other;
}

JobChange changeOf(const JobRecord& job, JobField field)
{
    JobChange change;
    change.jobId = job.jobId;
    change.field = field;
    if (const auto* text = textOf(job, field)) change.text = *text;
    if (const auto* number = numberOf(job, field)) change.number = *number;
    if (field == JobField::submitted) change.time = job.submitted;
    if (field == JobField::devMode) {
        change.hasDevMode = job.hasDevMode;
        change.dmFields = job.dmFields;
        change.dmCopies = job.dmCopies;
        change.details = job.details;
    }
    return change;
}

std::vector<JobChange> wholeJob(const JobRecord& job)
{
    std::vector<JobChange> changes;
    changes.reserve(recordFields.size());
    for (JobField field : recordFields) changes.push_back(changeOf(job, field));
    return changes;
}

void applyChange(JobRecord& job, const JobChange& change)
{
    if (auto* text = textOf(job, change.field)) *text = change.text;
    if (auto* number = numberOf(job, change.field)) *number = change.number;
    if (change.field == JobField::submitted) job.submitted = change.time;
    if (change.field == JobField::devMode) {
        job.hasDevMode = change.hasDevMode;
        job.dmFields = change.hasDevMode ? change.dmFields : 0;
        job.dmCopies = change.hasDevMode ? change.dmCopies : 0;
        job.details = change.hasDevMode ? change.details : DeviceModeDetails();
    }
}
