// Application shell: the main window, its menu bar and the tray icon it owns.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/milibreria.h"
#include "shell/statistics_view.h"

namespace shell {

inline constexpr wchar_t mainWindowClass[] = L"pgwarden1";
inline constexpr wchar_t mutexName[] = L"pagewardenmutex";
inline constexpr wchar_t productName[] = L"Pagewarden";
inline constexpr wchar_t versionText[] = L"0.5.0.0";

inline constexpr std::int16_t mainWindowWidth = 650;
inline constexpr std::int16_t mainWindowHeight = 2 * ::layoutUnit + 300;

inline constexpr int largeIconId = 9999;  // 32 x 32, 16 colours
inline constexpr int smallIconId = 10000; // 16 x 16, 256 colours; also the tray icon

// Menu commands of the main window.
inline constexpr WORD cmdQuit = 10006;
inline constexpr WORD cmdAbout = 10016;
inline constexpr WORD cmdLanguage = 10020;
inline constexpr WORD cmdSavedDates = 10021;

// Tray icon.
inline constexpr UINT_PTR trayTimer = 20000;
inline constexpr UINT trayTimerPeriod = 1500; // milliseconds
inline constexpr UINT trayCallbackMsg = WM_USER + 1;
inline constexpr UINT trayIconId = 0;
inline constexpr UINT_PTR cmdTrayQuit = 20000;

} // namespace shell

// Unit named by the fatal reports of the shell.
inline constexpr char16_t shellUnit[] = u"iconoenbarra";

HMENU buildMainMenu();
LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- tray icon --------------------------------------------------------------

// Clears the tray state and registers "TaskbarCreated"; at WM_CREATE.
void resetTrayState();
// The message number the shell broadcasts when the taskbar is (re)created.
UINT taskbarCreatedMessage();
// A tick of the tray timer: offers the icon unless the shell already took it.
void onTrayTimer(HWND window);
// The taskbar was recreated: the next tick offers the icon again.
void onTaskbarCreated();
// Mouse messages of the tray icon; returns the message result.
LRESULT onTrayCallback(HWND window, WPARAM wParam, LPARAM lParam);
// Removes the icon (NIM_DELETE), leaving the flag set so no late tick adds it back.
void removeTrayIcon(HWND window, HICON icon);
// NIM_ADD or NIM_DELETE of the one icon, only while no call has succeeded.
void notifyTrayIcon(HWND window, UINT iconId, HICON icon, DWORD action);
// The one-item popup menu; returns the chosen command or 0.
UINT_PTR showTrayMenu(std::int16_t x, std::int16_t y, HWND window);
// The quit sequence shared by the main menu and the tray menu.
void quitProgram(HWND window, HICON icon);
