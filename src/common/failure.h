// How a failed check ends the program, as every unit sees it: the unit names
// the report prints, the call that ends the program, and the words a check
// may add. Declarations only, below everything else in common: the report's
// wording (fatal_report.h) and the program's message box come later.
// Portable: no Windows header here.
#pragma once

#include <string>

// The unit names the report prints. Users read them (and quote them), so they
// never change with the files that hold the code.
namespace unit {
inline constexpr char16_t shell[] = u"iconoenbarra";        // entry, main window, tray, statistics view
inline constexpr char16_t monitorThread[] = u"subproceso";  // the printer monitor and its recorders
inline constexpr char16_t monitorControl[] = u"impresoras"; // starting and stopping the monitor
inline constexpr char16_t store[] = u"misqlite";            // the job store
inline constexpr char16_t savedDates[] = u"managedates";    // the saved-dates window
inline constexpr char16_t library[] = u"milibreria";        // helpers, texts, language window
inline constexpr char16_t about[] = u"mirtabout";           // the about window
inline constexpr char16_t service[] = u"servicio";          // the service's entry, start and stop
inline constexpr char16_t central[] = u"central";           // shipping to the central database
} // namespace unit

// Ends the program with a report naming the unit and the number of the
// failed check. The program links the message-box version; the tests link
// one that throws, so a test can assert which unit and number an input ends in.
[[noreturn]] void fatalError(const char16_t* unit, const char16_t* line);

// Set once a fatal report has begun. From then on the program starts no new
// work, and nothing waits for the database lock, which the failing thread may
// hold for good.
void noteFatalReportBegun();
bool fatalReportBegun();

// What went wrong, in words a user can act on, for the report that follows
// on this thread: a file's path and the system's message, or SQLite's. A
// check that knows more than its number says it here just before fatalError;
// without it the report adds the system's message for the thread's last
// error, when there is one.
void setFailureDetail(std::u16string detail);
std::u16string takeFailureDetail();
