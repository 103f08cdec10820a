// The named mutex "pagewardenmutex": the single-instance guard and the one
// database lock of the program.
#pragma once

#include <windows.h>

extern HANDLE dbMutex;

// Waits for the database lock in 70 ms slices for as long as the wait times
// out, and returns the final wait result. WAIT_OBJECT_0 and WAIT_ABANDONED
// both mean the caller owns the mutex and must release it.
DWORD waitForDbMutex();
bool ownsDbMutex(DWORD waitResult);
