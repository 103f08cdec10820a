#include "monitor/job_copy_win32.h"

#include "common/date_time_win32.h"
#include "common/wide_text_win32.h"

namespace {

std::optional<std::u16string> copyText(const wchar_t* text)
{
    if (text == nullptr) return std::nullopt;
    return std::u16string(utf16(text));
}

template <typename Field> bool within(std::size_t bytes, std::size_t offset)
{
    return offset + sizeof(Field) <= bytes;
}

} // namespace

DeviceModeDetails copyDeviceModeDetails(const DEVMODEW& devMode, std::size_t bytes, std::uint32_t& fields)
{
    DeviceModeDetails details;
    auto take = [&](std::int16_t& to, const short& from, std::size_t offset, std::uint32_t flag) {
        if (within<short>(bytes, offset))
            to = from;
        else
            fields &= ~flag;
    };
    take(details.dmPaperSize, devMode.dmPaperSize, offsetof(DEVMODEW, dmPaperSize), deviceModePaperSize);
    take(details.dmColor, devMode.dmColor, offsetof(DEVMODEW, dmColor), deviceModeColor);
    take(details.dmDuplex, devMode.dmDuplex, offsetof(DEVMODEW, dmDuplex), deviceModeDuplex);
    if (within<decltype(devMode.dmFormName)>(bytes, offsetof(DEVMODEW, dmFormName))) {
        // Not always terminated when it fills its 32 units.
        for (wchar_t unit : devMode.dmFormName) {
            if (unit == 0) break;
            details.dmFormName.push_back(static_cast<char16_t>(unit));
        }
    } else
        fields &= ~deviceModeFormName;
    return details;
}

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
        record.details = copyDeviceModeDetails(*job.pDevMode, job.pDevMode->dmSize, record.dmFields);
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
