// Start and stop of the printer monitor thread, from the interface thread.
#pragma once

void startMonitor(); // at the main window's creation; failures are fatal ("22", "25")
void stopMonitor();  // on quit; returns once the monitor thread (and its recorders) ended
