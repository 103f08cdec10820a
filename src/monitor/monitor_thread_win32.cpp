#include "monitor/monitor_thread_win32.h"

#include <winspool.h>

#include <memory>
#include <vector>

#include "common/database_lock_win32.h"
#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"
#include "monitor/change_watch_win32.h"
#include "monitor/job_tracking.h"
#include "monitor/monitor_handover_win32.h"
#include "monitor/queue_reader_win32.h"
#include "monitor/record_settings_win32.h"
#include "monitor/recorder_win32.h"
#include "monitor/spooler_win32.h"
#include "store/job_store_win32.h"

namespace {

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

// What the spooler reads of the monitor thread work with.
struct MonitorContext {
    HANDLE stopEvent = nullptr;
    ChangeWatches watches;
};

MonitorContext& contextOf(void* context)
{
    return *static_cast<MonitorContext*>(context);
}

QueueOutcome readQueueOfSpooler(void*, const std::u16string& name, QueueRead& read)
{
    return readPrinterQueue(name, read);
}

bool waitOnStopEvent(void* context, std::uint32_t milliseconds)
{
    return WaitForSingleObject(contextOf(context).stopEvent, milliseconds) == WAIT_OBJECT_0;
}

bool stopEventSet(void* context)
{
    return waitOnStopEvent(context, 0);
}

bool watchPrinterOfSpooler(void* context, const std::u16string& printer)
{
    return contextOf(context).watches.watch(printer);
}

ChangesOutcome readChangesOfSpooler(void* context, const std::u16string& printer, ChangesRead& read)
{
    return contextOf(context).watches.read(printer, read);
}

void unwatchPrinterOfSpooler(void* context, const std::u16string& printer)
{
    contextOf(context).watches.unwatch(printer);
}

// The finished jobs' rows go to the recorder's queue: the monitor never
// waits for the database.
void handOver(std::vector<JobRecord>& finished)
{
    if (finished.empty()) return;
    std::vector<JobRow> rows;
    rows.reserve(finished.size());
    SYSTEMTIME now;
    GetLocalTime(&now);
    const RecordSettings settings = readRecordSettings();
    for (const JobRecord& job : finished)
        rows.push_back(jobRowOf(job, systemTimeToLocal, fromSystemTime(now), settings));
    finished.clear();
    queueRows(std::move(rows));
}

// A handle that stays signalled without changes must not turn the pause into
// a busy loop: after this many reads in one pause the rest is slept.
constexpr int readsPerPause = 64;

// The pause after a pass, spent waiting on the stop event and on the change
// handles (the first MAXIMUM_WAIT_OBJECTS - 1 of them; the others are read
// before their printer's next poll). A signalled handle is read at once and
// its finished jobs go to recorders. True when a stop came.
bool waitBetweenPasses(MonitorState& state, const SpoolerReads& spooler, MonitorContext& context, DWORD pause)
{
    const ULONGLONG deadline = GetTickCount64() + pause;
    for (int reads = 0;; ++reads) {
        const ULONGLONG now = GetTickCount64();
        const auto remaining = static_cast<DWORD>(now >= deadline ? 0 : deadline - now);
        std::vector<HANDLE> handles{context.stopEvent};
        std::vector<std::size_t> printers;
        for (std::size_t i = 0; i < state.printers.size() && handles.size() < MAXIMUM_WAIT_OBJECTS; ++i) {
            HANDLE change
                = state.printers[i].watched ? context.watches.handleOf(state.printers[i].name) : nullptr;
            if (change == nullptr) continue;
            handles.push_back(change);
            printers.push_back(i);
        }
        if (reads >= readsPerPause) handles.resize(1);
        DWORD result
            = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, remaining);
        if (result == WAIT_OBJECT_0) return true;
        if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
            std::vector<JobRecord> finished;
            readPrinterChanges(
                state, spooler, printers[result - WAIT_OBJECT_0 - 1], GetTickCount64(), finished);
            handOver(finished);
            continue;
        }
        // The pause is over; a failed wait sleeps it out on the stop event alone.
        if (result == WAIT_FAILED) return WaitForSingleObject(context.stopEvent, remaining) == WAIT_OBJECT_0;
        return false;
    }
}

} // namespace

DWORD WINAPI monitorThread(void* stopEventVariable)
{
    MonitorContext context;
    context.stopEvent = *static_cast<HANDLE*>(stopEventVariable);
    SpoolerReads spooler;
    spooler.context = &context;
    spooler.enumPrinters = enumPrintersOfSpooler;
    spooler.readQueue = readQueueOfSpooler;
    spooler.waitBeforeRetry = waitOnStopEvent;
    spooler.stopRequested = stopEventSet;
    spooler.watchPrinter = watchPrinterOfSpooler;
    spooler.readChanges = readChangesOfSpooler;
    spooler.unwatchPrinter = unwatchPrinterOfSpooler;

    MonitorState state;
    // Goes on from where the monitor of the other program stopped, if it
    // stopped for this one.
    takeOverMonitorState(state, GetTickCount64());
    std::vector<JobRecord> finished;
    std::uint32_t pacingMark = 0;
    while (WaitForSingleObject(context.stopEvent, 0) != WAIT_OBJECT_0) {
        // The 64-bit tick: the memory of recorded jobs spans a day, and the
        // 32-bit counter wraps every 49.7 days.
        PassOutcome pass = runPass(state, spooler, GetTickCount64(), finished);
        handOver(finished);
        if (pass.stopped) break;
        // Waiting on the stop event rather than sleeping lets a quit end the
        // pause at once; waiting on the change handles too reads each change
        // as it comes.
        DWORD pause = pauseAfterPass(pass.busy, pacingMark, GetTickCount());
        if (waitBetweenPasses(state, spooler, context, pause)) break;
    }
    // The jobs that left before the stop and that only the notifications
    // have told of are recorded too; jobs still queued are not.
    readAllChanges(state, spooler, GetTickCount64(), finished);
    handOver(finished);
    unwatchAll(state, spooler);
    // Its rows handed to the recorder, which writes them before the
    // counting changes hands, what it followed goes to the monitor that
    // comes next.
    leaveMonitorState(state, GetTickCount64());
    return 0;
}
