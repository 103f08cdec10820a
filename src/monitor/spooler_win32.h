// The print spooler calls of the monitor thread, chosen at link time: the
// program links the real spooler (spooler_winspool_win32.cpp); the unit tests
// bring their own. (A scenario is played to the unmodified program by a
// scripted winspool.drv instead, see sim/scripted_winspool_win32.cpp.) All follow winspool's contract:
// results go into the caller's buffer, and a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and the
// size needed.
#pragma once

#include <windows.h>
#include <winspool.h>

BOOL spoolEnumPrinters(DWORD flags, DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned);
BOOL spoolOpenPrinter(const wchar_t* name, HANDLE* printer);
BOOL spoolGetPrinter(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed);
BOOL spoolEnumJobs(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned);
BOOL spoolClosePrinter(HANDLE printer);
// Change notifications: a waitable handle for the printer's changes
// (INVALID_HANDLE_VALUE when the spooler cannot give one), the changes it
// holds, its release, and the release of what a read handed out.
HANDLE spoolFindFirstChange(HANDLE printer, DWORD filter, PRINTER_NOTIFY_OPTIONS* options);
BOOL spoolFindNextChange(
    HANDLE change, DWORD* what, PRINTER_NOTIFY_OPTIONS* options, PRINTER_NOTIFY_INFO** info);
BOOL spoolFindCloseChange(HANDLE change);
BOOL spoolFreeNotifyInfo(PRINTER_NOTIFY_INFO* info);
