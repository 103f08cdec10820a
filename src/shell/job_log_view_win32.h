// The Jobs tab: every job of the chosen period in a virtual list, read from
// the file a screen at a time; its order by a header click, a filter set by
// a double-click on a group of another tab, a search that streams in, and
// copy and CSV of what the filter gives.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/date_time.h"
#include "store/statistics_rows.h"

void createJobLogControls(HWND mainWindow, HFONT font);
// The tab control's display area: left and top, then width and height.
void placeJobLogControls(const RECT& area);
void showJobLogControls(bool shown);

// The log of the jobs since the start, under the filter that is set.
void showJobLog(const DateTime& since);
// A double-click on a group: the log of that printer, user or computer only.
void setJobLogFilter(GroupingColumn column, const std::u16string& value);

// WM_NOTIFY, WM_COMMAND and the search's messages; true when handled.
bool handleJobLogNotify(HWND mainWindow, const NMHDR& header);
bool handleJobLogCommand(HWND mainWindow, WPARAM wParam, LPARAM lParam);
bool handleJobLogMessage(UINT message, WPARAM wParam, LPARAM lParam);
// Esc while a search or an export runs: stops it. True when one ran.
bool cancelJobLogWork();
bool isJobLogControl(HWND window);
void showJobLogMenu(HWND mainWindow, LPARAM screenPoint);
