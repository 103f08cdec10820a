// The scripted spooler's answers laid out as winspool lays them out: records
// at the front of the caller's buffer, the device modes and texts they point
// to behind them. Each fails with ERROR_INSUFFICIENT_BUFFER and the size
// needed when the buffer is too small, and reports the size needed always.
#pragma once

#include <windows.h>

#include "monitor/sim/scripted_spooler.h"

// PRINTER_INFO_4W of every printer of the snapshot.
BOOL writePrinterInfo4(const Snapshot& snapshot, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned);
// PRINTER_INFO_2W of one printer: its name and its job count (as reported).
BOOL writePrinterInfo2(const ScriptedPrinter& printer, BYTE* buffer, DWORD size, DWORD* needed);
// JOB_INFO_2W of up to count jobs from firstJob on, each with its DEVMODEW.
BOOL writeJobInfo2(const ScriptedPrinter& printer, DWORD firstJob, DWORD count, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned);
