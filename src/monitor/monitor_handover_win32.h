// One monitor per machine. The service counts whenever it runs; a tray
// program counts only while the service manager says the service is not
// running, and then only the one of any session that holds a machine-wide
// mutex. A tray program that counts when the service starts stops its
// monitor the way a quit does (off its interface thread) and lets the mutex
// go; the service waits a bounded time for it, and never longer: anyone may
// make or hold the mutex, and the service counts without it. The tray
// program takes the counting back once the service has stopped. The monitor that stops for another leaves its
// state in a file in the data folder, which the next one takes, so no job is lost or recorded twice across
// the change.
#pragma once

#include <windows.h>

#include <cstdint>

#include "monitor/job_tracking.h"

enum class MonitorHolder { thisProgram, service, otherProgram };

// ---- the tray program, on its interface thread -------------------------------------

// Whether the service manager says the service "Pagewarden" is starting,
// running or stopping. Nobody but an administrator can make that so.
bool serviceIsRunning();
// At the main window's creation and at every tick of the tray timer: starts
// the monitor when the service is not running and the mutex is free, hands
// it over when the service runs. True when who counts has changed.
bool balanceMonitor();
// On quit: the monitor stopped (every finished job written), a hand-over
// under way ended, and the mutex let go.
void releaseMonitor();
MonitorHolder monitorHolder();

// ---- the service -------------------------------------------------------------------

// Waits for the mutex while a tray program hands the monitor over, for a
// few seconds at most; the service then counts, with the mutex or without.
// False when the stop event was set first.
bool takeMonitorForService(HANDLE stopEvent);
// After the monitor's stop (which left its state for a tray program): lets
// the mutex go if the service had it. On the thread that took it.
void giveUpMonitorFromService();

// ---- the monitor thread ------------------------------------------------------------

// At its start: what the last monitor left, when it is fresh.
void takeOverMonitorState(MonitorState& state, std::uint64_t now);
// At its end, after its recorders: its state for the next monitor, when it
// stops for another one.
void leaveMonitorState(const MonitorState& state, std::uint64_t now);
