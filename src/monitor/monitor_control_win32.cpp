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
    DWORD code = STILL_ACTIVE;
    while (code == STILL_ACTIVE) {
        GetExitCodeThread(monitorHandle, &code);
        Sleep(70);
    }
    CloseHandle(stopEvent);
    CloseHandle(monitorHandle);
    stopEvent = nullptr;
    monitorHandle = nullptr;
    // The recorder needs the database lock: this thread must not hold it here.
    stopRecorder(writeLimit);
}
