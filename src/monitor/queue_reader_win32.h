// One printer's queue as the monitor reads it from the spooler seam
// (spooler_win32.h): the printer's information, then its whole job list.
#pragma once

#include <windows.h>

#include <string>

#include "monitor/job_tracking.h"

// EnumJobsW's count for "every job": a count taken from GetPrinterW a moment
// earlier would leave out a job queued since, and one left out looks gone.
inline constexpr DWORD everyJob = 0xFFFFFFFF;

// Opens the printer, reads its information and, when it reports jobs, all of
// its jobs; buffers grow to the size the spooler asks for. A failure that
// asks for no larger buffer ends the reading with its outcome.
QueueOutcome readPrinterQueue(const std::u16string& name, QueueRead& read);
