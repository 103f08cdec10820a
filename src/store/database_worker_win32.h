// The database's own thread. At start it writes the jobs the last quit left
// in the pending file, then prepares the file (indexes, kept month totals);
// the recorder writes only once that is done, and the statistics wait for
// it. Later it mends the totals when asked. Stopping it at any moment rolls
// back what it began; the next start does it again.
#pragma once

#include <functional>
#include <string>

#include "store/database_preparation.h"

struct DatabaseWorkerStatus {
    bool prepared = false; // the file may be used for quick work
    PreparationStep step = PreparationStep::indexes;
    int percent = 0;
    // A pending file that could not be read whole, set aside under this name.
    std::u16string pendingSetAsideAs;
    std::string pendingWhy;
    // Counts the times the totals were counted anew (by a preparation or by
    // the check once per start): figures shown before may have changed.
    unsigned totalsCounted = 0;
};

// `onChange` is called on the worker thread whenever the status changes;
// `onPrepared` once, when the file is first prepared.
void startDatabaseWorker(std::function<void()> onChange, std::function<void()> onPrepared);
// Asks for the totals to be built or mended again (another program left them in doubt).
void requestPreparation();
// Asks for the pending file to be written in, should there be one (another
// process that counted may have left it).
void requestPendingRows();
// Stops the work under way and ends the thread; returns within a second or so.
void stopDatabaseWorker();
DatabaseWorkerStatus databaseWorkerStatus();
