// The about window: the program's name and version, a few lines about it,
// and three buttons that hand a link to the shell.
#pragma once

#include <windows.h>

#include <string>

// Opens the window over the owner, which stays enabled, and returns once it
// has closed. A second request while it is open brings it to the front.
// countedBy says who counts the pages: this program, or the service.
void showAboutWindow(
    HWND owner, const wchar_t* version, const wchar_t* productName, const std::u16string& countedBy);
LRESULT CALLBACK aboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
