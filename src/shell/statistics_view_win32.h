// The statistics view in the main window's client area: what the main
// window calls into.
#pragma once

#include <windows.h>

// Statistics view (client area of the main window).
void createStatisticsControls(HWND mainWindow);
void layoutStatisticsView(HWND mainWindow);
void fillPeriodCombo(); // rebuilds the period list, then refreshStatistics
void refreshStatistics();
// WM_COMMAND / WM_NOTIFY rows of the statistics controls: true when handled.
bool handleStatisticsCommand(HWND mainWindow, WPARAM wParam, LPARAM lParam);
bool handleStatisticsNotify(HWND mainWindow, const NMHDR& header);
// The list's right-click menu (WM_CONTEXTMENU): true when it was the list's.
bool handleStatisticsContextMenu(HWND mainWindow, WPARAM wParam, LPARAM lParam);
