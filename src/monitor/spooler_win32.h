// The print spooler calls of the monitor thread. Two definitions exist, chosen
// at link time: the real spooler (spooler_winspool_win32.cpp) and a scripted
// one that answers from a scenario file (sim/spooler_scripted_win32.cpp); the unit
// tests bring their own. All follow winspool's contract: results go into the
// caller's buffer, and a buffer too small fails with ERROR_INSUFFICIENT_BUFFER
// and the size needed.
#pragma once

#include <windows.h>

BOOL spoolEnumPrinters(DWORD flags, DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned);
BOOL spoolOpenPrinter(const wchar_t* name, HANDLE* printer);
BOOL spoolGetPrinter(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed);
BOOL spoolEnumJobs(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned);
BOOL spoolClosePrinter(HANDLE printer);
// Called by the monitor thread at the end of every pass.
void spoolAfterPass();
