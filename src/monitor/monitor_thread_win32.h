// The printer monitor thread and its recorder threads.
#pragma once

#include <windows.h>

// The monitor thread. Its parameter is the address of the variable holding
// the stop event, read once at the start. Ends with 0 once the stop event is
// set and every recorder it started has written its row.
DWORD WINAPI monitorThread(void* stopEventVariable);
// One recorder thread: writes its JobRecord under the database mutex and ends
// with 1. The record stays owned by the monitor thread.
DWORD WINAPI recorderThread(void* record);
