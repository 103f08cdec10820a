// The fatal report of the program: a message box owned by no window (or the
// service's log, where nobody would see a box), then the end of the process
// with exit code 1. Linked into the programs only; the tests link their own.
#include <windows.h>

#include <atomic>

#include "common/fatal_report.h"
#include "common/system_message_win32.h"
#include "common/wide_text_win32.h"

namespace {

std::atomic<DWORD> failingThread{0};
std::atomic<DWORD> reportThread{0};
std::atomic<FatalReportSink> reportSink{nullptr};

struct Report {
    std::u16string message;
    std::u16string caption;
};

[[noreturn]] void showAndEnd(const Report& report)
{
    MessageBoxW(nullptr, wide(report.message.c_str()), wide(report.caption.c_str()),
        MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    // Exit code 1: whoever started the program must be able to tell a
    // failure from a normal quit.
    ExitProcess(1);
}

DWORD WINAPI reportThreadProc(void* report)
{
    reportThread = GetCurrentThreadId();
    showAndEnd(*static_cast<const Report*>(report));
}

} // namespace

void sendFatalReportsTo(FatalReportSink sink)
{
    reportSink = sink;
}

void fatalError(const char16_t* unit, const char16_t* line)
{
    // Taken before any other call can overwrite it.
    const DWORD lastError = GetLastError();
    // One report at a time. A second failure, on any other thread, waits for
    // the first report, which ends the process once the user has read it.
    // Only a failure while the report itself is made (memory gone, say) ends
    // the process at once.
    const DWORD self = GetCurrentThreadId();
    DWORD expected = 0;
    if (!failingThread.compare_exchange_strong(expected, self)) {
        if (expected == self || reportThread == self) ExitProcess(1);
        for (;;) Sleep(INFINITE);
    }
    noteFatalReportBegun();
    static Report report;
    std::u16string detail = takeFailureDetail();
    if (detail.empty()) detail = systemMessage(lastError);
    report.message = fatalMessage(unit, line, detail);
    report.caption = fatalCaption();
    if (FatalReportSink sink = reportSink) {
        sink(report.message, report.caption);
        ExitProcess(1);
    }
    // The box runs on a thread of its own while the failing thread waits
    // here and handles nothing more: a tray quit or a timer can no longer
    // reach code that would wait for this thread (it may hold the database
    // lock) or fail again, and the box always answers.
    HANDLE thread = CreateThread(nullptr, 0, reportThreadProc, &report, 0, nullptr);
    if (thread == nullptr) showAndEnd(report);
    WaitForSingleObject(thread, INFINITE);
    ExitProcess(1);
}
