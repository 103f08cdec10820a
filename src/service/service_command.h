// What the command line asks of the program: the tray program (nothing), the
// service itself, installing or removing the service, or a report of the
// figures for a script. Portable.
#pragma once

#include <string>
#include <vector>

enum class ProgramRole { trayProgram, service, installService, uninstallService, report };

struct CommandLineRequest {
    ProgramRole role = ProgramRole::trayProgram;
    bool quiet = false; // no box: for scripted deployment
};

// The words after the program's name. Switches are matched without regard to
// case and may start with "-" as well as "/", as Windows tools accept them;
// the first switch naming a role decides, and words that are no switch of
// ours are left alone, as the tray program always left them.
CommandLineRequest readCommandLine(const std::vector<std::u16string>& words);
