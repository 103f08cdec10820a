// The pending files beside the database: each read whole or set aside, and
// each written whole under another name before it is renamed into place, so
// that no reader ever sees half of one. A quit writes new files and never
// rewrites one, so a reader that removes what it applied removes nothing
// another process added meanwhile.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "store/pending_rows.h"

struct PendingFiles {
    // The files read whole, and their batches: once the batches are written
    // these files, and only these, are removed.
    std::vector<std::u16string> names;
    std::vector<PendingBatch> batches;
    // Files that were not whole (or too large, or repeating a batch of
    // another file), each renamed "pgwarden-pending-damaged-YYYYMMDD-HHMMSS.txt":
    // none of them is used. The last one's name now (its own when it could
    // not be renamed) and what is wrong with it.
    int setAside = 0;
    std::u16string setAsideAs;
    std::string why;
};

// Reads every pending file of the folder.
PendingFiles readPendingFiles(const std::u16string& folder);
// Writes the rows into new pending files (one batch each, within the size
// limit); false when one could not be written.
bool addToPendingFile(const std::u16string& folder, const std::vector<JobRow>& rows);
// Removes the files named, once their batches are in the database.
void removePendingFiles(const std::u16string& folder, const std::vector<std::u16string>& names);
