// The main window: hidden in the tray most of the time, its menu bar, its
// window procedure and the orderly way out.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/statistics_view.h"

namespace shell {

inline constexpr wchar_t productName[] = L"Pagewarden";
inline constexpr wchar_t versionText[] = L"0.5.0.0";

inline constexpr std::int16_t mainWindowWidth = 650;
inline constexpr std::int16_t mainWindowHeight = 2 * ::layoutUnit + 300;

inline constexpr int largeIconId = 9999;  // 32 x 32, 16 colours
inline constexpr int smallIconId = 10000; // 16 x 16, 256 colours; also the tray icon

// Posted by the database's worker thread whenever its status changes (the
// file's preparation advanced or ended).
inline constexpr UINT databaseStatusMsg = WM_APP + 1;

} // namespace shell

HMENU buildMainMenu();
LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The way out, from the main menu or the tray menu: the icon removed, the
// monitor stopped and waited for, the window destroyed.
void quitProgram(HWND window);
