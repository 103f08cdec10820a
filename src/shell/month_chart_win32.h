// The month chart of the statistics view: a bar of pages per month, each
// labelled with its month, the exact pages and jobs in a tooltip.
#pragma once

#include <windows.h>

#include <vector>

#include "shell/month_chart.h"

// What Ctrl+C in the chart does: the view copies what it shows.
using ChartCopy = void (*)(HWND mainWindow);
// Registers the chart's class and creates it hidden, a child of the main
// window, drawn above the tab control like the list.
HWND createMonthChart(HWND mainWindow, HFONT font, ChartCopy onCopy);
// Shows these months (none: a line saying no page was printed).
void showChartMonths(const std::vector<ChartMonth>& months);
