// The fatal report of the program: a message box owned by no window, then the
// end of the process. Linked into the programs only; the tests link their own.
#include <atomic>

#include "common/milibreria_win32.h"

void fatalError(const char16_t* unit, const char16_t* line)
{
    // One report at a time. A failure inside the report itself (memory gone,
    // say) ends the process at once instead of reporting from within the
    // report; another thread failing meanwhile waits for the first report,
    // which ends the process when the user dismisses it.
    static std::atomic<DWORD> reportingThread{0};
    DWORD expected = 0;
    if (!reportingThread.compare_exchange_strong(expected, GetCurrentThreadId())) {
        if (expected == GetCurrentThreadId()) ExitProcess(1);
        for (;;) Sleep(INFINITE);
    }
    std::u16string message = fatalMessage(unit, line);
    std::u16string caption = fatalCaption();
    MessageBoxW(nullptr, wide(message.c_str()), wide(caption.c_str()), MB_OK | MB_ICONERROR);
    // Exit code 1: whoever started the program must be able to tell a failure
    // from a normal quit.
    ExitProcess(1);
}
