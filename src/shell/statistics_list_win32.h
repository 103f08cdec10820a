// The figures of the statistics view: the list of the groups and, on the
// months' tab, the month chart in its place; the list's order, the totals in
// the status bar, and what copy and CSV take from them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "shell/statistics_view.h"
#include "shell/totals_export_win32.h"

// Creates the list and the month chart, hidden, in the tab control's area.
void createFigureControls(HWND mainWindow, HFONT font);
// Both take the tab control's display area: left and top, then width and height.
void placeFigureControls(const RECT& area);

// What the figures about to come were counted for: their start and their tab.
void noteShownChoice(const DateTime& since, ViewTab tab);

// Puts the rows read for the chosen tab on screen: the list in the chosen
// order, or the month chart in the list's place.
void showFigures(std::vector<StatisticsRow> rows);
// The figures are not there: the list and the chart are emptied, and
// nothing is there to be copied.
void clearFigures();
// Words on a row of the list's first column, where figures would stand.
void setListLine(int row, const std::u16string& text, const char16_t* failLine);

// The list's WM_NOTIFY: Ctrl+C copies what is shown, a header click orders
// the rows shown again. True when handled.
bool handleListNotify(HWND mainWindow, const NMHDR& header);
// The list or the chart: the windows whose right-click menu copies and saves.
bool isFigureControl(HWND window);
ShownTotals shownTotals();
// Puts what the view shows on the clipboard (Ctrl+C in the list or the chart).
void copyShownTotals(HWND mainWindow);

// The group on a row of the list, for a double-click's drill-down; none for
// a row that is no group (the chart's months, a line of words).
std::optional<std::u16string> groupOnListRow(int row);
// Hides the list and the chart while the job log is shown.
void hideFigureControls();
