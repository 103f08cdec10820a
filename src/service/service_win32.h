// The program as a service: the same monitor and recorders as the tray
// program, writing the same pgwarden.db in the data folder, started and
// stopped by the service manager. Nothing it does shows a window.
#pragma once

// Before anything else of a service run: its fatal reports go to its log
// and the event log, never to a box.
void prepareServiceReports();
// Installing or removing with /quiet: a deployment script waits for the exit
// code, so a fatal report must not wait for a click either. It goes to the
// log in the data folder, and the process ends with 1.
void prepareQuietReports();
// The service manager's dispatcher; returns once the service has stopped,
// with the process's exit code.
int runService();
