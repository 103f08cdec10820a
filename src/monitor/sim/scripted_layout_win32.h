// The scripted spooler's answers laid out as winspool lays them out: records
// at the front of the caller's buffer, the device modes and texts they point
// to behind them. Each fails with ERROR_INSUFFICIENT_BUFFER and the size
// needed when the buffer is too small, and reports the size needed always.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "monitor/job_changes.h"
#include "monitor/sim/scripted_spooler.h"

// PRINTER_INFO_4W of every printer of the snapshot.
BOOL writePrinterInfo4(const Snapshot& snapshot, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned);
// PRINTER_INFO_2W of one printer: its name and its job count (as reported).
BOOL writePrinterInfo2(const ScriptedPrinter& printer, BYTE* buffer, DWORD size, DWORD* needed);
// JOB_INFO_2W of up to count jobs from firstJob on, each with its DEVMODEW.
BOOL writeJobInfo2(const ScriptedPrinter& printer, DWORD firstJob, DWORD count, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned);

// A notification read as the spooler hands it out: one block holding the
// PRINTER_NOTIFY_INFO, its entries and the texts, times and device modes
// they point to, to be released with releaseNotifyInfo.
PRINTER_NOTIFY_INFO* newNotifyInfo(const std::vector<JobChange>& changes, DWORD flags);
void releaseNotifyInfo(PRINTER_NOTIFY_INFO* info);
