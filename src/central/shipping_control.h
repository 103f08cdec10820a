// Start and stop of the shipper, the thread that copies every new row of
// pgwarden.db to the central database. Called next to startMonitor and
// stopMonitor by whichever entry runs the monitor (the tray program's main
// window, the service); it knows no window.
#pragma once

// Reads the setting; without [central] it does nothing at all, and no ODBC
// library is loaded.
void startShipping();
// Asks the shipper to end and waits for it: what is waiting is shipped if
// the server answers within about 1.5 seconds; the rest goes at the next
// start. Returns within about 2.5 seconds whatever the server does.
void stopShipping();
