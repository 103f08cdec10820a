// The status bar under the statistics: the totals of what the view shows,
// or, while something is being prepared, a text and a progress bar.
#pragma once

#include <windows.h>

#include <string>

void createStatusBar(HWND mainWindow, HFONT font);
// Puts the bar along the bottom of the main window; returns its height.
int placeStatusBar();
// The totals of what is shown, kept to come back after a progress.
void setStatusText(const std::u16string& text);
// A text and a progress bar at `percent` (0 to 100) in place of the totals,
// e.g. while totals are being counted; hideStatusProgress brings the totals
// back. Both on the interface thread.
void showStatusProgress(int percent, const std::u16string& text);
void hideStatusProgress();
