// "This computer" or "All computers": with a central database set, the list
// shows this computer's counts or every computer's, read from the central
// totals on a thread of its own so that a slow or absent server never holds
// up the window.
#pragma once

#include <windows.h>

#include "common/date_time.h"
#include "shell/statistics_view.h"

// Reads the central setting and, with a central database set, creates the
// two radio buttons, this computer chosen.
void createComputerChoice(HWND mainWindow, HFONT font);
// Whether the two are there: the layout makes room for them.
bool computerChoiceShown();
void placeComputerChoice(const StatisticsLayout& layout);
// True when the sender is one of the two: the choice is then taken.
bool takeComputerChoice(HWND sender);
bool showingAllComputers();

// The list says it is waiting, and a thread asks the central database for
// the period since `since` grouped as `tab` groups; its answer is posted to
// `window`. The month chart is this computer's alone.
void askForAllComputers(HWND window, const DateTime& since, ViewTab tab);
// The central database's answer: true when the message was one.
bool handleCentralAnswer(UINT message, LPARAM lParam);
