#include "monitor/sim/scripted_layout_win32.h"

#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "common/date_time_win32.h"

namespace {

// Places variable parts behind the records. Run once without a buffer to
// learn the size, then again to write.
struct Packer {
    BYTE* base = nullptr; // null while measuring
    std::size_t offset = 0;

    void* place(std::size_t bytes, std::size_t alignment)
    {
        offset = (offset + alignment - 1) / alignment * alignment;
        void* at = base ? base + offset : nullptr;
        offset += bytes;
        return at;
    }

    wchar_t* text(const std::u16string& value)
    {
        std::size_t bytes = (value.size() + 1) * sizeof(char16_t);
        auto* at = static_cast<wchar_t*>(place(bytes, alignof(wchar_t)));
        if (at) std::memcpy(at, value.c_str(), bytes);
        return at;
    }

    wchar_t* text(const std::optional<std::u16string>& value) { return value ? text(*value) : nullptr; }
};

// The scenario's device-mode fields; a field it did not give keeps its flag
// out of dmFields but is written anyway, so a reader that ignores the flags
// would show.
void fillDeviceMode(
    DEVMODEW& devMode, std::uint32_t fields, std::int16_t copies, const DeviceModeDetails& details)
{
    devMode.dmFields = fields;
    devMode.dmCopies = copies;
    devMode.dmColor = details.dmColor;
    devMode.dmDuplex = details.dmDuplex;
    devMode.dmPaperSize = details.dmPaperSize;
    std::size_t units = std::min<std::size_t>(details.dmFormName.size(), std::size(devMode.dmFormName) - 1);
    std::memcpy(devMode.dmFormName, details.dmFormName.data(), units * sizeof(char16_t));
    devMode.dmFormName[units] = 0;
}

// Lays out count records, then fills each; fill(packer, i, record) writes
// record i (null while measuring).
template <typename Record, typename Fill>
BOOL writeRecords(std::size_t count, BYTE* buffer, DWORD size, DWORD* needed, Fill fill)
{
    Packer measure;
    measure.offset = count * sizeof(Record);
    for (std::size_t i = 0; i < count; ++i) fill(measure, i, nullptr);
    *needed = static_cast<DWORD>(measure.offset);
    if (buffer == nullptr || size < measure.offset) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memset(buffer, 0, measure.offset);
    Packer write;
    write.base = buffer;
    write.offset = count * sizeof(Record);
    auto* records = reinterpret_cast<Record*>(buffer);
    for (std::size_t i = 0; i < count; ++i) fill(write, i, &records[i]);
    return TRUE;
}

} // namespace

BOOL writePrinterInfo4(const Snapshot& snapshot, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned)
{
    *returned = 0;
    std::size_t count = snapshot.printers.size();
    if (count == 0) { // the spooler succeeds with nothing even without a buffer
        *needed = 0;
        return TRUE;
    }
    BOOL ok = writeRecords<PRINTER_INFO_4W>(
        count, buffer, size, needed, [&](Packer& packer, std::size_t i, PRINTER_INFO_4W* record) {
            wchar_t* name = packer.text(snapshot.printers[i].name);
            if (!record) return;
            record->pPrinterName = name;
            record->pServerName = nullptr;
            record->Attributes = PRINTER_ATTRIBUTE_LOCAL;
        });
    if (ok) *returned = static_cast<DWORD>(count);
    return ok;
}

BOOL writePrinterInfo2(const ScriptedPrinter& printer, BYTE* buffer, DWORD size, DWORD* needed)
{
    return writeRecords<PRINTER_INFO_2W>(
        1, buffer, size, needed, [&](Packer& packer, std::size_t, PRINTER_INFO_2W* record) {
            wchar_t* name = packer.text(printer.name);
            if (!record) return;
            record->pPrinterName = name;
            record->cJobs = reportedJobCount(printer);
            record->Status = 0;
        });
}

BOOL writeJobInfo2(const ScriptedPrinter& printer, DWORD firstJob, DWORD count, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned)
{
    *returned = 0;
    std::size_t available = printer.jobs.size() > firstJob ? printer.jobs.size() - firstJob : 0;
    std::size_t n = count < available ? count : available;
    if (n == 0) {
        *needed = 0;
        return TRUE;
    }
    BOOL ok = writeRecords<JOB_INFO_2W>(
        n, buffer, size, needed, [&](Packer& packer, std::size_t i, JOB_INFO_2W* record) {
            const JobRecord& job = printer.jobs[firstJob + i];
            DEVMODEW* devMode = nullptr;
            if (job.hasDevMode)
                devMode = static_cast<DEVMODEW*>(packer.place(sizeof(DEVMODEW), alignof(DEVMODEW)));
            wchar_t* printerName = packer.text(job.printerName);
            wchar_t* machineName = packer.text(job.machineName);
            wchar_t* userName = packer.text(job.userName);
            wchar_t* document = packer.text(job.document);
            wchar_t* datatype = packer.text(std::u16string(u"RAW"));
            if (!record) return;
            if (devMode) {
                devMode->dmSize = sizeof(DEVMODEW);
                devMode->dmSpecVersion = DM_SPECVERSION;
                fillDeviceMode(*devMode, job.dmFields, job.dmCopies, job.details);
            }
            record->JobId = job.jobId;
            record->pPrinterName = printerName;
            record->pMachineName = machineName;
            record->pUserName = userName;
            record->pDocument = document;
            record->pDatatype = datatype;
            record->pDevMode = devMode;
            record->Status = job.status;
            record->Priority = 1;
            record->Position = static_cast<DWORD>(firstJob + i + 1);
            record->TotalPages = job.totalPages;
            record->PagesPrinted = job.pagesPrinted;
            record->Size = job.size;
            const DateTime& at = job.submitted;
            record->Submitted
                = {at.year, at.month, at.dayOfWeek, at.day, at.hour, at.minute, at.second, at.milliseconds};
        });
    if (ok) *returned = static_cast<DWORD>(n);
    return ok;
}

namespace {

// What one entry of a notification carries: a number, or data placed
// behind the entries (null while measuring) and its size.
struct NotifyValue {
    void* data = nullptr;
    DWORD bytes = 0;
    std::uint32_t number = 0;
};

DEVMODEW* placeDevMode(Packer& packer, const JobChange& change)
{
    auto* devMode = static_cast<DEVMODEW*>(packer.place(sizeof(DEVMODEW), alignof(DEVMODEW)));
    if (devMode) {
        std::memset(devMode, 0, sizeof(DEVMODEW));
        devMode->dmSize = sizeof(DEVMODEW);
        devMode->dmSpecVersion = DM_SPECVERSION;
        fillDeviceMode(*devMode, change.dmFields, change.dmCopies, change.details);
    }
    return devMode;
}

NotifyValue placeValue(Packer& packer, const JobChange& change)
{
    NotifyValue value;
    switch (kindOf(change.field)) {
    case FieldKind::text:
        if (change.text) {
            value.data = packer.text(*change.text);
            value.bytes = static_cast<DWORD>((change.text->size() + 1) * sizeof(wchar_t));
        }
        break;
    case FieldKind::time: {
        auto* time = static_cast<SYSTEMTIME*>(packer.place(sizeof(SYSTEMTIME), alignof(SYSTEMTIME)));
        if (time) *time = toSystemTime(change.time);
        value.data = time;
        value.bytes = sizeof(SYSTEMTIME);
        break;
    }
    case FieldKind::devMode:
        if (change.hasDevMode) {
            value.data = placeDevMode(packer, change);
            value.bytes = sizeof(DEVMODEW);
        }
        break;
    case FieldKind::number: value.number = change.number; break;
    case FieldKind::other: break;
    }
    return value;
}

void fillEntry(PRINTER_NOTIFY_INFO_DATA& entry, const JobChange& change, const NotifyValue& value)
{
    entry.Type = JOB_NOTIFY_TYPE;
    entry.Field = static_cast<WORD>(change.field);
    entry.Id = change.jobId;
    if (kindOf(change.field) == FieldKind::number) {
        entry.NotifyData.adwData[0] = value.number;
    } else {
        entry.NotifyData.Data.cbBuf = value.bytes;
        entry.NotifyData.Data.pBuf = value.data;
    }
}

} // namespace

PRINTER_NOTIFY_INFO* newNotifyInfo(const std::vector<JobChange>& changes, DWORD flags)
{
    // Lays out the entries, then what they point to, in one pass that
    // measures and one that writes.
    const std::size_t entries = changes.empty() ? 1 : changes.size();
    const std::size_t head
        = offsetof(PRINTER_NOTIFY_INFO, aData) + entries * sizeof(PRINTER_NOTIFY_INFO_DATA);
    auto layout = [&](BYTE* base, PRINTER_NOTIFY_INFO* info) {
        Packer packer;
        packer.base = base;
        packer.offset = head;
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const NotifyValue value = placeValue(packer, changes[i]);
            if (info) fillEntry(info->aData[i], changes[i], value);
        }
        return packer.offset;
    };
    const std::size_t size = layout(nullptr, nullptr);
    auto* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (block == nullptr) return nullptr;
    auto* info = reinterpret_cast<PRINTER_NOTIFY_INFO*>(block);
    info->Version = 2;
    info->Flags = flags;
    info->Count = static_cast<DWORD>(changes.size());
    layout(block, info);
    return info;
}

void releaseNotifyInfo(PRINTER_NOTIFY_INFO* info)
{
    if (info) HeapFree(GetProcessHeap(), 0, info);
}
