#include <windows.h>

#include "common/failure.h"
#include "monitor/monitor_control.h"
#include "monitor/monitor_thread_win32.h"
#include "monitor/recorder_win32.h"

namespace {

// The monitor thread reads the event from this variable, so it is filled
// before the thread starts.
HANDLE stopEvent = nullptr;
HANDLE monitorHandle = nullptr;
// A pass ends between two spooler calls, within moments, or once the print
// server it reads answers: a slow one's seconds are waited for, so that the
// jobs that left the queues read so far are written. A call that hangs (a
// printer on a network that has gone) must not hold a quit, a service stop
// or a hand-over for longer than this.
constexpr DWORD monitorStopLimit = 4000;

} // namespace

void startMonitor()
{
    startRecorder();
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent == nullptr) fatalError(unit::monitorControl, u"22");
    monitorHandle = CreateThread(nullptr, 0, monitorThread, &stopEvent, 0, nullptr);
    if (monitorHandle == nullptr) fatalError(unit::monitorControl, u"25");
}

void stopMonitor(std::chrono::milliseconds writeLimit)
{
    SetEvent(stopEvent);
    // The monitor finishes its pass and hands its last rows to the recorder.
    // Past the limit it is left to end by itself once its call returns: its
    // event stays open and set, so it stops there; rows it still hands over
    // wait in the recorder's queue for the next start of this process's
    // counting. It writes no hand-over state by then.
    if (WaitForSingleObject(monitorHandle, monitorStopLimit) == WAIT_OBJECT_0) {
        CloseHandle(stopEvent);
        CloseHandle(monitorHandle);
    }
    stopEvent = nullptr;
    monitorHandle = nullptr;
    // The recorder needs the database lock: this thread must not hold it here.
    stopRecorder(writeLimit);
}
