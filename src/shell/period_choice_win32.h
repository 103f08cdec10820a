// The start the statistics count from: a period of the period list (the
// fixed ones, then the saved names) or the day of the date picker, one of
// the two chosen by its radio button.
#pragma once

#include <windows.h>

#include "common/date_time.h"
#include "shell/statistics_view.h"

// The group box, the two radio buttons (by period chosen), the period list
// and the date picker.
void createPeriodControls(HWND mainWindow, HFONT font);
void placePeriodControls(const StatisticsLayout& layout);

// The period list anew: the fixed periods, then the saved names, the first
// period chosen.
void fillPeriodList();
// Saved names the file could not give when the list was filled are missing
// until a later try gives them; one more try.
bool savedNamesMissing();
void appendSavedNamesBriefly();

// Reads the start date the controls select; the caller holds the database lock.
DateTime chosenStart();

// A WM_COMMAND or WM_NOTIFY of the period controls, with the radio button
// that goes with a new period or a new day checked: true when it was theirs
// and the figures are to be read again.
bool periodCommand(HWND sender, WPARAM wParam);
bool periodNotify(const NMHDR& header);
