// What the files of the statistics view share: how long the interface waits
// for the file, and the making and placing of its controls.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>

#include "shell/statistics_view.h"

// The interface waits this long at most for the program's lock and for a
// file another program holds; then it says what it waits for and tries
// again on a timer.
inline constexpr DWORD interfaceLockWait = 100;
inline constexpr std::chrono::milliseconds interfaceFileWait{100};

inline constexpr int controlTextLimit = 269; // terminator included

// A control of the view in the interface font. The controls all have
// identifier 0; they are told apart by their handles.
HWND createControl(HWND parent, const wchar_t* className, const char16_t* caption, DWORD style, HFONT font,
    const char16_t* failLine);
void moveControl(HWND control, const ControlRect& r, const char16_t* failLine);
bool isChecked(HWND radio);

// The column a tab groups by (the month chart's tab: the printers'), and the
// tab's place among the three groupings.
GroupingColumn groupingOf(ViewTab tab);
std::size_t groupingIndex(ViewTab tab);
