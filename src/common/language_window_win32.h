// The language window: lists the language files of the "lang" folder and
// moves the mark to the chosen one; the new language is used from the next
// start.
#pragma once

#include <windows.h>

// Opens the window over the owner, which it disables meanwhile, and returns
// once it has closed. A second request while it is open brings it to the front.
void showLanguageWindow(HWND owner);
LRESULT CALLBACK languageWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
