// What other programs know this one by: the window classes, command ids and
// message numbers through which the scripted spooler library and the test
// driver work the program, as a user and the shell would; the service's
// name and switches, which the service manager and deployment scripts use;
// the objects and files through which the tray program and the service share
// the counting. Declared once, here; changing one breaks them.
#pragma once

namespace contract {

// The main window, hidden in the tray most of the time.
inline constexpr wchar_t mainWindowClass[] = L"pgwarden1";
// The message the shell sends the main window for mouse events on the tray
// icon (WM_USER + 1).
inline constexpr unsigned trayCallbackMsg = 0x0400 + 1;
// Commands of the main window's menu.
inline constexpr unsigned short cmdQuit = 10006;
inline constexpr unsigned short cmdAbout = 10016;
inline constexpr unsigned short cmdLanguage = 10020;
inline constexpr unsigned short cmdSavedDates = 10021;

// The month chart of the statistics view, a child of the main window in the
// list's place while its tab is chosen.
inline constexpr wchar_t monthChartClass[] = L"PagewardenMonthChart";

// The single-instance guard, which is also the database lock.
inline constexpr wchar_t mutexName[] = L"pagewardenmutex";

// The secondary windows and the ids of their controls.
inline constexpr wchar_t savedDatesClass[] = L"pagewarden2";
inline constexpr unsigned short cmdAcceptDates = 10023;
inline constexpr unsigned short cmdCloseDates = 10024;

inline constexpr wchar_t languageClass[] = L"IdiomasClass1";
inline constexpr unsigned short languageComboId = 10000;
inline constexpr unsigned short cmdAcceptLanguage = 10001;

inline constexpr wchar_t aboutClass[] = L"MirtAboutF1";
inline constexpr unsigned short cmdAboutMail = 10000;
inline constexpr unsigned short cmdAboutDonation = 10001;
inline constexpr unsigned short cmdAboutWebPage = 10002;

// The scripted winspool.drv of the tests plays this file from the program's
// folder, and creates the marker beside it once the scenario has ended (a
// program without a window, such as a service, is then stopped from outside).
inline constexpr wchar_t scenarioFile[] = L"spooler-scenario.txt";
inline constexpr wchar_t scenarioEndedMarker[] = L"scenario-ended";

// The service: the name the service manager, scripts and administrators know
// it by, and the words of the command line it is installed and run with.
inline constexpr wchar_t serviceName[] = L"Pagewarden";
inline constexpr wchar_t serviceDisplayName[] = L"Pagewarden page counter";
inline constexpr wchar_t serviceAccount[] = L"NT AUTHORITY\\LocalService";
inline constexpr char16_t runAsServiceSwitch[] = u"/service";
inline constexpr char16_t installServiceSwitch[] = u"/install-service";
inline constexpr char16_t uninstallServiceSwitch[] = u"/uninstall-service";
inline constexpr char16_t quietSwitch[] = u"/quiet";
// The figures as CSV for scripts and scheduled tasks; its options follow.
inline constexpr char16_t reportSwitch[] = u"/report";
// The event log source of the service's reports, and its one message (%1).
inline constexpr wchar_t eventSource[] = L"Pagewarden";
inline constexpr unsigned long serviceReportEvent = 1;

// One monitor per machine: the tray program of any session that counts holds
// this mutex (hence the global namespace), and the service takes it when it
// comes free within moments; the service counts without it too.
inline constexpr wchar_t monitorMutexName[] = L"Global\\PagewardenMonitor";

// The Jobs tab's controls, found by the tests under their ids: the log's
// list, its search box and the button that removes a drill-down's filter.
inline constexpr unsigned short jobLogListId = 10030;
inline constexpr unsigned short jobSearchEditId = 10031;
inline constexpr unsigned short showAllButtonId = 10032;

// The settings beside the program, which administrators write: among them
// [data] folder=, where the service and the tray programs beside it keep
// pgwarden.db and the files below.
inline constexpr char16_t settingsFileName[] = u"pagewarden.ini";
// The data folder's default, written there (expanded) when the service is installed.
inline constexpr wchar_t defaultDataFolder[] = L"%ProgramData%\\Pagewarden";

// Files in the data folder besides pgwarden.db: what the monitor left for the
// next one at a hand-over, and the service's own reports.
inline constexpr char16_t handoverFileName[] = u"pagewarden-handover.dat";
inline constexpr char16_t serviceLogFileName[] = u"pagewarden-service.log";

} // namespace contract
