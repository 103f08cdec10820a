#include "monitor/subproceso_win32.h"

#include <winspool.h>

#include <memory>
#include <vector>

#include "common/db_mutex_win32.h"
#include "common/milibreria_win32.h"
#include "monitor/job_copy_win32.h"
#include "monitor/job_tracking.h"
#include "monitor/spooler_win32.h"
#include "store/misqlite.h"
#include "store/misqlite_win32.h"

namespace {

constexpr const char16_t* unitName = u"subproceso";

// A started recorder. The record is freed only once the thread has ended,
// by dropping the entry.
struct RecorderEntry {
    std::unique_ptr<JobRecord> record;
    HANDLE thread = nullptr;
};

struct PrinterCloser {
    HANDLE printer;
    ~PrinterCloser() { spoolClosePrinter(printer); }
};

EnumOutcome enumPrintersOfSpooler(void*, std::vector<std::u16string>& names)
{
    constexpr DWORD localAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<BYTE> buffer;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        auto size = static_cast<DWORD>(buffer.size());
        if (spoolEnumPrinters(localAndConnections, 4, buffer.data(), size, &needed, &returned)) {
            const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
            for (DWORD i = 0; i < returned; ++i) names.emplace_back(utf16(printers[i].pPrinterName));
            return EnumOutcome::listed;
        }
        if (GetLastError() == RPC_S_SERVER_UNAVAILABLE) return EnumOutcome::unreachable;
        if (needed <= size) return EnumOutcome::failed;
        buffer.resize(needed);
    }
}

bool readQueueOfSpooler(void*, const std::u16string& name, QueueRead& read)
{
    HANDLE printer = nullptr;
    if (!spoolOpenPrinter(wide(name.c_str()), &printer)) return false;
    PrinterCloser closer{printer};

    std::vector<BYTE> info;
    DWORD needed = 0;
    while (!spoolGetPrinter(printer, 2, info.data(), static_cast<DWORD>(info.size()), &needed)) {
        if (needed <= info.size()) fatalError(unitName, u"417");
        info.resize(needed);
    }
    read.jobCount = reinterpret_cast<const PRINTER_INFO_2W*>(info.data())->cJobs;
    if (read.jobCount == 0) return true;

    std::vector<BYTE> jobs;
    DWORD size = 0;
    DWORD returned = 0;
    while (!spoolEnumJobs(printer, 0, read.jobCount, 2, jobs.data(), size, &needed, &returned)) {
        // A queue that cannot be read counts as empty for this pass.
        if (needed <= size) return true;
        // Four bytes of slack behind what the spooler asked for.
        jobs.resize(needed + 4);
        size = needed;
    }
    const auto* entries = reinterpret_cast<const JOB_INFO_2W*>(jobs.data());
    read.jobs.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) read.jobs.push_back(copyJobRecord(entries[i]));
    return true;
}

bool waitOnStopEvent(void* stopEvent, std::uint32_t milliseconds)
{
    return WaitForSingleObject(static_cast<HANDLE>(stopEvent), milliseconds) == WAIT_OBJECT_0;
}

void startRecorder(std::vector<RecorderEntry>& recorders, JobRecord&& job)
{
    // Room first: once the thread runs, nothing may fail and free its record.
    recorders.reserve(recorders.size() + 1);
    auto record = std::make_unique<JobRecord>(std::move(job));
    HANDLE thread = CreateThread(nullptr, 0, recorderThread, record.get(), 0, nullptr);
    if (thread == nullptr) fatalError(unitName, u"167");
    recorders.push_back({std::move(record), thread});
}

void reapRecorders(std::vector<RecorderEntry>& recorders)
{
    std::erase_if(recorders, [](RecorderEntry& entry) {
        DWORD code = STILL_ACTIVE;
        if (!GetExitCodeThread(entry.thread, &code) || code == STILL_ACTIVE) return false;
        CloseHandle(entry.thread);
        return true;
    });
}

// Rows already handed to recorders are written before the monitor ends.
void waitForRecorders(std::vector<RecorderEntry>& recorders)
{
    for (RecorderEntry& entry : recorders) {
        WaitForSingleObject(entry.thread, INFINITE);
        CloseHandle(entry.thread);
    }
    recorders.clear();
}

} // namespace

DWORD WINAPI recorderThread(void* record)
{
    DWORD wait = waitForDbMutex();
    // A failed wait still records: losing the row would be worse than an
    // unguarded write, and the store's own busy retry covers a collision.
    recordJob(programFolder(), *static_cast<const JobRecord*>(record), systemTimeToLocal);
    // WAIT_ABANDONED hands the mutex over as well; it must not stay held.
    if (ownsDbMutex(wait)) ReleaseMutex(dbMutex);
    return 1;
}

DWORD WINAPI monitorThread(void* stopEventVariable)
{
    HANDLE stopEvent = *static_cast<HANDLE*>(stopEventVariable);
    SpoolerReads spooler;
    spooler.context = stopEvent;
    spooler.enumPrinters = enumPrintersOfSpooler;
    spooler.readQueue = readQueueOfSpooler;
    spooler.waitBeforeRetry = waitOnStopEvent;

    std::vector<PrinterEntry> printers;
    std::vector<RecorderEntry> recorders;
    std::vector<JobRecord> finished;
    std::uint32_t pacingMark = 0;
    while (WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0) {
        reapRecorders(recorders);
        PassOutcome pass = runPass(printers, spooler, finished);
        for (JobRecord& job : finished) startRecorder(recorders, std::move(job));
        finished.clear();
        if (pass.stopped) break;
        spoolAfterPass();
        // Waiting on the stop event rather than sleeping lets a quit end the
        // pause at once.
        WaitForSingleObject(stopEvent, pauseAfterPass(pass.busy, pacingMark, GetTickCount()));
    }
    waitForRecorders(recorders);
    return 0;
}
