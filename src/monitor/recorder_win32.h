// The one recorder: the rows of finished jobs wait in memory, in the order
// they finished, and a thread of its own writes them several to a
// transaction. It never holds the database lock while another program holds
// the file: it tries for a moment, lets go, and tries again later, for as
// long as it takes. Whatever it could not write when it is stopped goes to
// the pending file beside the database, written at the next start.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "store/job_store.h"

// At most this many rows go into one transaction.
inline constexpr std::size_t rowsPerTransaction = 500;

void startRecorder();
// Hands finished jobs over; never blocks for the database.
void queueRows(std::vector<JobRow> rows);
// The recorder writes only once the file is ready (its preparation done or
// given up): until then rows wait.
void allowRecording();
// Writes what waits for at most `limit`, then puts the rest in the pending
// file, and ends the thread.
void stopRecorder(std::chrono::milliseconds limit);
