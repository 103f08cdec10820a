// Start and stop of the printer monitor thread, from the interface thread.
#pragma once

#include <chrono>

// At the main window's creation: the recorder and the monitor thread;
// failures are fatal ("22", "25", "167").
void startMonitor();
// On quit: returns once the monitor thread has ended and the recorder has
// written what waits, trying for at most `writeLimit` while another program
// holds the file; what it could not write is kept in the pending file.
void stopMonitor(std::chrono::milliseconds writeLimit = std::chrono::seconds(5));
