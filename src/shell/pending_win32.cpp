// Empty operations standing in for parts of the program not written yet.
// Whoever implements one of these removes it from here.
#include "shell/windows_win32.h"

void showLanguageWindow(HWND) { }
