// Installing and removing the service: the order of the steps, what undoes a
// half-made installation, and the words each outcome is told in. Portable:
// the system calls are the setup functions below, defined by
// service_manager_win32.cpp in the program and by the tests in theirs.
#pragma once

#include <cstdint>
#include <string>

struct SetupOutcome {
    int exitCode = 0;       // 0: done; 1: failed
    std::u16string message; // what the box says, or nothing says with /quiet
};

// Registers the program at this path as the service (or brings an existing
// registration up to date), registers its event log source, lets the
// service account change the files of the program's folder, and starts it.
SetupOutcome installService(const std::u16string& programPath);
// Stops and removes the service, its event log source and the folder rights.
// The database stays. A service that is not installed is no failure.
SetupOutcome uninstallService(const std::u16string& programPath);

// ---- the seam: each call returns 0 or the system's error code --------------------

namespace setupError {
inline constexpr std::uint32_t accessDenied = 5;
inline constexpr std::uint32_t serviceDoesNotExist = 1060;
inline constexpr std::uint32_t serviceMarkedForDelete = 1072;
} // namespace setupError

struct ServiceRegistration {
    std::u16string commandLine; // the quoted program path, then "/service"
    std::u16string description;
};

// Creates the service, or stops and reconfigures the one already there
// (`created` says which), with its description and failure actions.
std::uint32_t setupRegisterService(const ServiceRegistration& registration, bool& created);
std::uint32_t setupDeleteService();
std::uint32_t setupRegisterEventSource(const std::u16string& programPath);
std::uint32_t setupRemoveEventSource();
std::uint32_t setupGrantFolder(const std::u16string& folder);
std::uint32_t setupRevokeFolder(const std::u16string& folder);
// Starts the service and waits until it runs; `stoppedAtOnce` when it ended
// instead (its own report is in its log then).
std::uint32_t setupStartService(bool& stoppedAtOnce);
// Stops the service and waits until it has; serviceDoesNotExist when none is installed.
std::uint32_t setupStopService();
// The system's words for an error code; empty when it has none.
std::u16string setupErrorWords(std::uint32_t code);
