// Entry points the main window calls into the statistics view and the
// secondary windows.
#pragma once

#include <windows.h>

#include "about/about_window_win32.h"
#include "common/language_window_win32.h"
#include "dates/saved_dates_window_win32.h"

// Statistics view (client area of the main window).
void createStatisticsControls(HWND mainWindow);
void layoutStatisticsView(HWND mainWindow);
void fillPeriodCombo(); // rebuilds the period list, then refreshStatistics
void refreshStatistics();
// WM_COMMAND / WM_NOTIFY rows of the statistics controls: true when handled.
bool handleStatisticsCommand(HWND mainWindow, WPARAM wParam, LPARAM lParam);
bool handleStatisticsNotify(HWND mainWindow, const NMHDR& header);

// Secondary windows, each modal in a nested message loop; they return once
// their window has closed.
