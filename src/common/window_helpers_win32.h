// What every window of the program shares: class registration, message
// loops, the default font, sizes, and the rules of the secondary windows.
#pragma once

#include <windows.h>

#include <string>

void registerWindowClass(WNDCLASSEXW& record, UINT style, WNDPROC procedure, HICON largeIcon, HCURSOR cursor,
    HBRUSH background, const wchar_t* menuName, const wchar_t* className, HICON smallIcon);
WPARAM runMessageLoop();

// ---- secondary windows ------------------------------------------------------------
// Each secondary window (saved dates, language, about) runs a nested message
// loop from inside the main window's command handler until it is destroyed.

// Runs until the window is gone. Its WM_DESTROY posts WM_QUIT to wake the
// loop; a WM_QUIT that comes while the window still exists belongs to another
// loop (a window opened earlier and closed first, say) and is posted again
// once this one ends.
void runWindowLoop(HWND window);
// Disables the owner for a modal window; true when this call disabled it, and
// only then may the window enable it again.
bool disableOwner(HWND owner);
void restoreOwner(HWND owner, bool disabledHere);
// Where a window of this size stands centred in a maximised window's area of
// the primary screen.
POINT screenCentreOrigin(int width, int height);
// A second request for a secondary window shows the open one: brings the
// window of the class to the front and answers true.
bool showOpenWindow(const wchar_t* className);
// A secondary window's class: CS_HREDRAW | CS_VREDRAW, the button-face
// background, no menu. A window closed under one opened later keeps its loop,
// and so its class, until that later one has closed; meanwhile the same
// window may be asked for again. So the first window of a class to open
// registers it and the last loop to end unregisters it; unregistering
// answers false only when UnregisterClassW failed.
void registerSecondaryClass(
    const wchar_t* className, WNDPROC procedure, HICON largeIcon, HCURSOR cursor, HICON smallIcon);
bool unregisterSecondaryClass(const wchar_t* className, HMODULE module);
void setDefaultFont(HWND window);
void clientToWindowSize(short& width, short& height);
void initCommonControls();

// The whole text of a drop-down list's selected entry; empty without one.
std::u16string selectedComboText(HWND combo);
