// Empty operations standing in for parts of the program not written yet.
// Whoever implements one of these removes it from here.
#include "monitor/impresoras.h"
#include "shell/windows_win32.h"

void startMonitor() { }
void stopMonitor() { }

void createStatisticsControls(HWND) { }
void layoutStatisticsView(HWND) { }
void fillPeriodCombo() { }
void refreshStatistics() { }
bool handleStatisticsCommand(HWND, WPARAM, LPARAM)
{
    return false;
}
bool handleStatisticsNotify(HWND, const NMHDR&)
{
    return false;
}

void showSavedDatesWindow(HWND) { }
void showLanguageWindow(HWND) { }
void showAboutWindow(HWND, const wchar_t*, const wchar_t*) { }
