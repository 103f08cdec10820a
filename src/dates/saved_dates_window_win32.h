// The saved-dates window: names a reference date (with or without a time of
// day), or deletes one; the statistics view counts from a saved date.
#pragma once

#include <windows.h>

// Opens the window over the owner and returns once it has closed. A second
// request while it is open brings the open window to the front.
void showSavedDatesWindow(HWND owner);
LRESULT CALLBACK savedDatesWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
