#include "monitor/monitor_thread_win32.h"

#include <winspool.h>

#include <memory>
#include <vector>

#include "common/database_lock_win32.h"
#include "common/fatal_report.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"
#include "monitor/job_tracking.h"
#include "monitor/queue_reader_win32.h"
#include "monitor/spooler_win32.h"
#include "store/job_store_win32.h"

namespace {

// A started recorder: it owns the thread's handle and the record the thread
// reads. Both go with the entry, which is dropped only once the thread has
// ended.
struct RecorderEntry {
    std::unique_ptr<JobRecord> record;
    ScopedHandle thread;
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

QueueOutcome readQueueOfSpooler(void*, const std::u16string& name, QueueRead& read)
{
    return readPrinterQueue(name, read);
}

bool waitOnStopEvent(void* stopEvent, std::uint32_t milliseconds)
{
    return WaitForSingleObject(static_cast<HANDLE>(stopEvent), milliseconds) == WAIT_OBJECT_0;
}

bool stopEventSet(void* stopEvent)
{
    return waitOnStopEvent(stopEvent, 0);
}

void startRecorder(std::vector<RecorderEntry>& recorders, JobRecord&& job)
{
    // Room first: once the thread runs, nothing may fail and free its record.
    recorders.reserve(recorders.size() + 1);
    auto record = std::make_unique<JobRecord>(std::move(job));
    ScopedHandle thread(CreateThread(nullptr, 0, recorderThread, record.get(), 0, nullptr));
    if (!thread) fatalError(unit::monitorThread, u"167");
    recorders.push_back({std::move(record), std::move(thread)});
}

void reapRecorders(std::vector<RecorderEntry>& recorders)
{
    std::erase_if(recorders, [](RecorderEntry& entry) {
        DWORD code = STILL_ACTIVE;
        return GetExitCodeThread(entry.thread.get(), &code) && code != STILL_ACTIVE;
    });
}

// Rows already handed to recorders are written before the monitor ends.
void waitForRecorders(std::vector<RecorderEntry>& recorders)
{
    for (RecorderEntry& entry : recorders) WaitForSingleObject(entry.thread.get(), INFINITE);
    recorders.clear();
}

} // namespace

DWORD WINAPI recorderThread(void* record)
{
    DbMutexLock lock;
    // Once a fatal report is on screen the process ends when it is
    // dismissed; the row would be written under nobody's lock.
    if (!lock.owned() && fatalReportBegun()) return 1;
    // Any other failed wait still records: losing the row would be worse
    // than an unguarded write, and the store's own busy retry covers a
    // collision.
    recordJob(*static_cast<const JobRecord*>(record));
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
    spooler.stopRequested = stopEventSet;

    MonitorState state;
    std::vector<RecorderEntry> recorders;
    std::vector<JobRecord> finished;
    std::uint32_t pacingMark = 0;
    while (WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0) {
        reapRecorders(recorders);
        // The 64-bit tick: the memory of recorded jobs spans a day, and the
        // 32-bit counter wraps every 49.7 days.
        PassOutcome pass = runPass(state, spooler, GetTickCount64(), finished);
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
