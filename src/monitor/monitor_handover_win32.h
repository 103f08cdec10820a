// One monitor per machine. Whoever counts holds a machine-wide mutex: the
// tray program of any session, or the service. The service raises a flag
// while it runs; a tray program that counts then stops its monitor the way
// a quit does and lets the mutex go, and takes it back once the service has
// stopped. The monitor that stops for another leaves its state in a file
// beside the program, which the next one takes, so no job is lost or
// recorded twice across the change.
#pragma once

#include <windows.h>

#include <cstdint>

#include "monitor/job_tracking.h"

enum class MonitorHolder { thisProgram, service, otherProgram };

// ---- the tray program, on its interface thread -------------------------------------

// At the main window's creation and at every tick of the tray timer: starts
// the monitor when the mutex is free and the service does not want it,
// stops it when the service does. True when who counts has changed.
bool balanceMonitor();
// On quit: the monitor stopped (every finished job written) and the mutex let go.
void releaseMonitor();
MonitorHolder monitorHolder();

// ---- the service -------------------------------------------------------------------

// Raises the service's flag and waits for the mutex; then starts the
// monitor. False when the stop event was set first.
bool takeMonitorForService(HANDLE stopEvent);
// Stops the monitor (every finished job written), leaves its state for a
// tray program and lets the mutex go. On the thread that took it.
void giveUpMonitorFromService();
// Lowers the flag (also when the monitor was never taken).
void endServiceClaim();

// ---- the monitor thread ------------------------------------------------------------

// At its start: what the last monitor left, when it is fresh.
void takeOverMonitorState(MonitorState& state, std::uint64_t now);
// At its end, after its recorders: its state for the next monitor, when it
// stops for another one.
void leaveMonitorState(const MonitorState& state, std::uint64_t now);
