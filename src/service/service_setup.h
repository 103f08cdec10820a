// Installing and removing the service: the order of the steps, what undoes a
// half-made installation, and the words each outcome is told in. Portable:
// the system calls are the setup functions below, defined by
// service_manager_win32.cpp in the program and by the tests in theirs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/program_files_check.h"
#include "store/database_move.h"

struct SetupOutcome {
    int exitCode = 0;       // 0: done; 1: failed
    std::u16string message; // what the box says, or nothing says with /quiet
};

// Refuses a program folder whose files others than the administrators can
// change (a service would run their code). Then registers the program at
// this path as the service (or brings an existing registration up to
// date), registers its event log source, makes the data folder named
// beside the program (the default one, named there, when none is) with its
// access list, moves a pgwarden.db from the program's folder there, and
// starts the service.
SetupOutcome installService(const std::u16string& programPath);
// Stops and removes the service, its event log source and its rights to
// its folders. The data stays. A service that is not installed is no failure.
SetupOutcome uninstallService(const std::u16string& programPath);

// The data folder's access list in SDDL: the system and administrators full
// control, the service's own SID and the interactive users (the tray
// programs beside the service) modify; inherited by what is made inside,
// and protected from what the parent folder gives (ProgramData lets Users
// create files there and own them).
std::u16string dataFolderAccessList(const std::u16string& serviceSid);

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
// The program's folder, its programs and libraries, its language folder and
// files, each with its owner and access list; and the SID of whoever installs.
std::uint32_t setupReadProgramFiles(
    const std::u16string& programFolder, std::vector<ObjectSecurity>& objects, std::u16string& installerSid);
// The data folder the setting beside the program names, expanded; with
// `create`, the default is named there first when none is, and the folder
// is made. Without a setting and without `create`: the program's folder.
std::uint32_t setupDataFolder(const std::u16string& programFolder, bool create, std::u16string& dataFolder);
// The data folder's access list: the system and administrators full
// control, the service's own SID and the interactive users modify.
std::uint32_t setupGrantFolder(const std::u16string& dataFolder);
// Takes the service's entries off a folder's list: its own SID's and those
// older versions gave LocalService.
std::uint32_t setupRevokeFolder(const std::u16string& folder);
// pgwarden.db (and a pending file) from the program's folder to the data folder.
DatabaseMoveResult setupMoveDatabase(const std::u16string& programFolder, const std::u16string& dataFolder);
// Starts the service and waits until it runs; `stoppedAtOnce` when it ended
// instead (its own report is in its log then).
std::uint32_t setupStartService(bool& stoppedAtOnce);
// Stops the service and waits until it has; serviceDoesNotExist when none is installed.
std::uint32_t setupStopService();
// The system's words for an error code; empty when it has none.
std::u16string setupErrorWords(std::uint32_t code);
