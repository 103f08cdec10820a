// Common library, Win32 half: program folder, folder listing, language file
// loading and the window and message-loop helpers.
#pragma once

#include <windows.h>

#include <string>

#include "common/milibreria.h"

// char16_t and wchar_t are both UTF-16 units on Windows; this is the one
// place the two meet.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* wide(const char16_t* s)
{
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* wide(char16_t* s)
{
    return reinterpret_cast<wchar_t*>(s);
}
inline const char16_t* utf16(const wchar_t* s)
{
    return reinterpret_cast<const char16_t*>(s);
}
inline char16_t* utf16(wchar_t* s)
{
    return reinterpret_cast<char16_t*>(s);
}

// The program file's path, and its folder without a trailing backslash
// ("119" when the path cannot be obtained).
std::u16string programPath();
std::u16string programFolder();
// programFolder, a backslash and "lang".
std::u16string languageFolder();

// Offers each entry of a folder to the visitor until it returns true.
using FolderVisitor = bool (*)(WIN32_FIND_DATAW& entry, const char16_t* folder, void* context);
void forEachFolderEntry(const char16_t* folder, FolderVisitor visitor, void* context = nullptr);

// The folder, a backslash and the name of the active ("_"-marked) language
// file: the first the listing offers.
std::u16string findActiveLanguageFile(const std::u16string& folder);
// Replaces the text table by the texts of the file.
void readLanguageFile(const std::u16string& path);
// Finds and reads the active language file of the program's "lang" folder.
void loadTexts();

// ---- window helpers -------------------------------------------------------------

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
// A window closed under one opened later keeps its loop, and so its class,
// until that later one has closed; meanwhile the same window may be asked
// for again. So the first window of a class to open registers it (enter
// answers true) and the last loop to end unregisters it (leave answers true).
bool enterWindowClass(const wchar_t* className);
bool leaveWindowClass(const wchar_t* className);
void setDefaultFont(HWND window);
void clientToWindowSize(short& width, short& height);
void initCommonControls();
