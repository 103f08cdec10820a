// "pagewarden.exe /report": the figures the window would export, written as
// CSV for a script or a scheduled task, with no window, no tray icon and no
// box; it never counts and never takes the monitor, so it runs beside a tray
// program or the service.
#pragma once

#include <string>
#include <vector>

// From the process's start on: a fatal report is one line on the error
// output and the exit code 1, never a box.
void prepareReportOutput();

// The report the words ask for (the command line after the program's name):
// 0 once written, or 1 and one line in words on the error output.
int runReport(const std::vector<std::u16string>& words);
