// The tray icon of the main window and its one-item popup menu. The icon is
// not added once at start but offered at every tick of a timer until the
// shell takes it, and again after the taskbar has been recreated.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tray {
inline constexpr UINT_PTR timerId = 20000;
inline constexpr UINT timerPeriod = 1500; // milliseconds
inline constexpr UINT iconId = 0;
inline constexpr UINT_PTR cmdQuit = 20000; // the popup menu's one item
inline constexpr int iconResource = 10000; // the program's 16 x 16 icon
} // namespace tray

// At the main window's creation: registers "TaskbarCreated", loads the icon
// and starts offering it.
void startTrayIcon(HWND window);
// The message number the shell broadcasts when the taskbar is (re)created.
UINT taskbarCreatedMessage();
// A tick of the timer: offers the icon while the shell has not taken it.
void onTrayTimer(HWND window);
// The taskbar was recreated: the next tick offers the icon again.
void onTaskbarCreated();
// The tooltip: what the shell shows while the mouse rests on the icon. Given
// to the shell at once when the icon is there, else with the icon.
void setTrayTip(HWND window, const std::u16string& tip);
// Deletes the icon for good: no later tick adds it back.
void removeTrayIcon(HWND window);

// What a mouse event on the icon asks of the main window.
enum class TrayRequest { none, showWindow, quit };
// A left click asks for the window; a right click shows the popup menu,
// whose item asks to quit.
TrayRequest trayMouseRequest(HWND window, LPARAM mouseMessage);
// The popup menu at a screen point; the chosen command, or 0 when dismissed.
UINT_PTR showTrayMenu(std::int16_t x, std::int16_t y, HWND window);
