// Job store, Win32 half: local time from the system's zone, and the fills of
// the statistics list view and the saved-date combo boxes, all on the
// database in the data folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "store/job_store.h"

// SystemTimeToTzSpecificLocalTime in the machine's active zone.
bool systemTimeToLocal(const DateTime& utc, DateTime& local);

// Replaces the list's rows by these, in their order: the group, its pages,
// its jobs, each cell as given.
void fillStatisticsList(HWND list, const std::vector<StatisticsRow>& rows);

// Adds the memos after the box's present entries.
void appendSavedDateNames(HWND combo);
void appendSavedDateNames(HWND combo, const std::u16string& folder);
// Empties the box, then adds the memos.
void loadSavedDateNames(HWND combo);
void loadSavedDateNames(HWND combo, const std::u16string& folder);
