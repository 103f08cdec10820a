#include "monitor/job_copy_win32.h"

#include "common/date_time_win32.h"
#include "common/wide_text_win32.h"

namespace {

std::optional<std::u16string> copyText(const wchar_t* text)
{
    if (text == nullptr) return std::nullopt;
    return std::u16string(utf16(text));
}

} // namespace

JobRecord copyJobRecord(const JOB_INFO_2W& job)
{
    JobRecord record;
    record.jobId = job.JobId;
    record.printerName = copyText(job.pPrinterName);
    record.machineName = copyText(job.pMachineName);
    record.userName = copyText(job.pUserName);
    record.document = copyText(job.pDocument);
    record.notifyName = copyText(job.pNotifyName);
    record.datatype = copyText(job.pDatatype);
    record.printProcessor = copyText(job.pPrintProcessor);
    record.parameters = copyText(job.pParameters);
    record.driverName = copyText(job.pDriverName);
    if (job.pDevMode != nullptr) {
        record.hasDevMode = true;
        record.dmFields = job.pDevMode->dmFields;
        record.dmCopies = job.pDevMode->dmCopies;
    }
    record.statusText = copyText(job.pStatus);
    record.status = job.Status;
    record.priority = job.Priority;
    record.position = job.Position;
    record.startTime = job.StartTime;
    record.untilTime = job.UntilTime;
    record.totalPages = job.TotalPages;
    record.size = job.Size;
    record.submitted = fromSystemTime(job.Submitted);
    record.time = job.Time;
    record.pagesPrinted = job.PagesPrinted;
    return record;
}
