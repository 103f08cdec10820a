// The fatal report of the program: a message box owned by no window, then the
// end of the process. Linked into the programs only; the tests link their own.
#include "common/milibreria_win32.h"

void fatalError(const char16_t* unit, const char16_t* line)
{
    std::u16string message = fatalMessage(unit, line);
    std::u16string caption = fatalCaption();
    MessageBoxW(nullptr, wide(message.c_str()), wide(caption.c_str()), MB_OK | MB_ICONERROR);
    // Exit code 1: whoever started the program must be able to tell a failure
    // from a normal quit.
    ExitProcess(1);
}
