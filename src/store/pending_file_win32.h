// The pending file beside the database: read whole or set aside, and written
// whole under another name before it is renamed into place, so that no
// reader ever sees half of one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "store/pending_rows.h"

enum class PendingFileState { none, read, setAside };

struct PendingFile {
    PendingFileState state = PendingFileState::none;
    std::vector<PendingBatch> batches; // read
    std::u16string setAsideAs;         // setAside: the name it has now
    std::string why;                   // setAside: what is wrong with it
};

// Reads "pgwarden-pending.txt" of the folder. A file that is not whole is
// renamed "pgwarden-pending-damaged-YYYYMMDD-HHMMSS.txt" and none of it is used.
PendingFile readPendingFile(const std::u16string& folder);
// Adds the rows as a batch of their own to the file, keeping the batches it
// holds; false when the file could not be written.
bool addToPendingFile(const std::u16string& folder, const std::vector<JobRow>& rows);
void removePendingFile(const std::u16string& folder);
