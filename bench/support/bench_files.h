// Job files for the measurements: jobs spread over ten years up to now, by
// 50 users on 20 machines and 5 printers, in submission order as years of
// recording leave them. Building ten million rows takes minutes, so each file
// is built once and kept under build/bench/data for later runs.
#pragma once

#include <filesystem>
#include <string>

#include "common/date_time.h"

enum class FileShape {
    store,     // opened by the job store: its tables, indexes and whatever else it keeps
    tableOnly, // the jobs table alone, no index: the file of the full-scan store
};

// The folder holding a pgwarden.db of that many rows, built now unless kept
// from an earlier run.
std::filesystem::path jobFileFolder(FileShape shape, long rows);

// A fresh, empty scratch folder under build/bench/data.
std::filesystem::path scratchFolder(const std::string& name);

// The current local date at midnight.
DateTime todayLocal();
