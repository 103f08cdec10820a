// What other programs know this one by: the window classes, command ids and
// message numbers through which the scripted spooler library and the test
// driver work the program, as a user and the shell would. Declared once,
// here; changing one breaks them.
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

} // namespace contract
