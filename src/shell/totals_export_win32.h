// Copy and export of the figures the view shows: Ctrl+C and the right-click
// menu of the list and of the month chart (Copy, Save as CSV...).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "shell/totals_export.h"

// What the view shows, in its order, numbers as plain digits.
struct ShownTotals {
    TotalsRow headers;
    std::vector<TotalsRow> rows;
    std::u16string csvStem; // the suggested file name's start, "-YYYY-MM-DD.csv" follows
    DateTime since;
};

// Puts the rows on the clipboard as a tab-separated table with headers.
void copyTotals(HWND owner, const ShownTotals& shown);
// Asks for a file with the standard save dialog and writes the rows as CSV.
void saveTotalsAsCsv(HWND owner, const ShownTotals& shown);
// The right-click menu at a screen point (-1, -1: under the top left of
// `under`, for the keyboard's menu key).
void showTotalsMenu(HWND owner, HWND under, const ShownTotals& shown, LPARAM screenPoint);

// The pieces of the above, for an export that streams (the job log's): text
// onto the clipboard, the save dialog's path (none: cancelled), the menu's
// choice, and the warning of a file that could not be written.
void copyText(HWND owner, const std::u16string& text);
std::optional<std::u16string> askCsvPath(HWND owner, const std::u16string& stem, const DateTime& since);
enum class ExportChoice { none, copy, saveCsv };
ExportChoice chooseExport(HWND owner, HWND under, LPARAM screenPoint);
void warnSaveFailed(HWND owner);
