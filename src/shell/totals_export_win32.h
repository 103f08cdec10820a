// Copy and export of the totals the list shows: Ctrl+C and the list's
// right-click menu (Copy, Save as CSV...).
#pragma once

#include <windows.h>

#include "common/date_time.h"
#include "store/job_store.h"

// What the list shows was counted by this grouping since this start.
struct ShownTotals {
    HWND list;
    GroupingColumn grouping;
    DateTime since;
};

// Puts the shown rows on the clipboard as a tab-separated table with headers.
void copyTotals(HWND owner, const ShownTotals& shown);
// Asks for a file with the standard save dialog and writes the rows as CSV.
void saveTotalsAsCsv(HWND owner, const ShownTotals& shown);
// The list's right-click menu at a screen point (-1, -1: under the list's
// top left, for the keyboard's menu key).
void showTotalsMenu(HWND owner, const ShownTotals& shown, LPARAM screenPoint);
