#include "monitor/queue_reader_win32.h"

#include <winspool.h>

#include <vector>

#include "common/wide_text_win32.h"
#include "monitor/job_copy_win32.h"
#include "monitor/spooler_win32.h"

namespace {

struct PrinterCloser {
    HANDLE printer;
    ~PrinterCloser() { spoolClosePrinter(printer); }
};

} // namespace

QueueOutcome readPrinterQueue(const std::u16string& name, QueueRead& read)
{
    HANDLE printer = nullptr;
    if (!spoolOpenPrinter(wide(name.c_str()), &printer)) return QueueOutcome::unopened;
    PrinterCloser closer{printer};

    std::vector<BYTE> info;
    DWORD needed = 0;
    while (!spoolGetPrinter(printer, 2, info.data(), static_cast<DWORD>(info.size()), &needed)) {
        // An opened printer can still fail here: the spooler restarted, the
        // printer was deleted, a connection's server dropped. Not fatal: the
        // printer is skipped for this pass.
        if (needed <= info.size()) return QueueOutcome::infoFailed;
        info.resize(needed);
    }
    read.jobCount = reinterpret_cast<const PRINTER_INFO_2W*>(info.data())->cJobs;
    if (read.jobCount == 0) return QueueOutcome::read;

    std::vector<BYTE> jobs;
    DWORD size = 0;
    DWORD returned = 0;
    while (!spoolEnumJobs(printer, 0, everyJob, 2, jobs.data(), size, &needed, &returned)) {
        if (needed <= size) return QueueOutcome::jobsFailed;
        // Four bytes of slack behind what the spooler asked for.
        jobs.resize(needed + 4);
        size = needed;
    }
    const auto* entries = reinterpret_cast<const JOB_INFO_2W*>(jobs.data());
    read.jobs.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) read.jobs.push_back(copyJobRecord(entries[i]));
    return QueueOutcome::read;
}
