// The statistics view in the main window's client area: what the main
// window calls into.
#pragma once

#include <windows.h>

#include "store/database_worker_win32.h"

// Statistics view (client area of the main window).
void createStatisticsControls(HWND mainWindow);
void layoutStatisticsView(HWND mainWindow);
void fillPeriodCombo(); // rebuilds the period list, then refreshStatistics
void refreshStatistics();
// The database worker's news: how far the file's preparation got, and the
// figures once it is ready.
void showDatabaseStatus(const DatabaseWorkerStatus& status);
// The timer that tries a refresh again while another program holds the file.
inline constexpr UINT_PTR refreshRetryTimer = 20001;
// WM_COMMAND / WM_NOTIFY rows of the statistics controls: true when handled.
bool handleStatisticsCommand(HWND mainWindow, WPARAM wParam, LPARAM lParam);
bool handleStatisticsNotify(HWND mainWindow, const NMHDR& header);
// The answer of the central database for "All computers": true when it was one.
bool handleStatisticsMessage(UINT message, WPARAM wParam, LPARAM lParam);
// The right-click menu of the list and of the month chart (WM_CONTEXTMENU):
// true when it was theirs.
bool handleStatisticsContextMenu(HWND mainWindow, WPARAM wParam, LPARAM lParam);
