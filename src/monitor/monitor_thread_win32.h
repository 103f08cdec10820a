// The printer monitor thread.
#pragma once

#include <windows.h>

// The monitor thread. Its parameter is the address of the variable holding
// the stop event, read once at the start. Hands the rows of finished jobs to
// the recorder (recorder_win32.h) and ends with 0 once the stop event is set.
DWORD WINAPI monitorThread(void* stopEventVariable);
