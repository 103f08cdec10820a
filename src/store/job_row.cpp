#include "store/job_row.h"

#include <algorithm>

#include "store/date_time_text.h"

std::int64_t jobPageCount(const JobRecord& job)
{
    std::int64_t pages = job.pagesPrinted != 0 ? job.pagesPrinted : job.totalPages;
    std::int64_t copies = 1;
    if (job.hasDevMode && (job.dmFields & deviceModeCopies) != 0)
        copies = std::max<std::int64_t>(job.dmCopies, 1);
    return pages * copies;
}

JobRow jobRowOf(const JobRecord& job, LocalTimeConverter toLocal, const DateTime& leftQueue,
    const RecordSettings& settings)
{
    JobRow row;
    if (!toLocal || !toLocal(job.submitted, row.submitted)) row.submitted = job.submitted;
    if (!isWritableDateTime(row.submitted)) row.submitted = leftQueue;
    row.user = job.userName.value_or(u"");
    row.machine = job.machineName.value_or(u"");
    row.printer = job.printerName.value_or(u"");
    row.pages = jobPageCount(job);
    row.details = jobDetailsOf(job, row.pages, settings);
    return row;
}
