// The month chart's arithmetic: which months it shows, where each bar, label
// and grid line goes, and which month lies under the mouse. Portable: the
// Win32 half measures the texts and draws.
#pragma once

#include <string>
#include <vector>

#include "common/date_time.h"
#include "store/job_store.h"

// At most this many months, the latest ones.
inline constexpr int chartMonthLimit = 36;

struct ChartMonth {
    int year = 0, month = 0;    // month 1 to 12
    std::u16string pages, jobs; // as the store gives them; "0" for a month without jobs
    double value = 0;           // the pages as a number, for the bar
    std::int64_t unknownPages = 0;
    friend bool operator==(const ChartMonth&, const ChartMonth&) = default;
};

// The months from the start's month to the present one, or to the last
// month holding jobs when that is later, every month in between included
// (0 where no job was printed), the last `chartMonthLimit` of them. `rows`
// are the store's months ("YYYY-MM", pages, jobs) in month order. A start
// whose month is out of range begins with the first month holding jobs.
std::vector<ChartMonth> chartMonths(
    const std::vector<StatisticsRow>& rows, const DateTime& since, const DateTime& now);

// The rows for copy and CSV: "YYYY-MM", pages, jobs per month shown.
std::vector<StatisticsRow> chartRows(const std::vector<ChartMonth>& months);

struct ChartBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const ChartBox&, const ChartBox&) = default;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// What the chart needs measured: the widest month label on one line, the
// widest "Mmm yyyy" label, the widest grid value, and a line's height.
struct ChartMeasures {
    int monthWidth = 0, monthYearWidth = 0, valueWidth = 0, lineHeight = 0;
};

struct ChartGrid {
    int y = 0;
    double value = 0;
};

struct ChartLayout {
    ChartBox plot;                 // where the bars stand, on its bottom edge
    std::vector<ChartBox> columns; // each month's whole column: where its tooltip answers
    std::vector<ChartBox> bars;    // each month's bar (empty height for 0)
    std::vector<ChartBox> labels;  // each month's label under the plot
    std::vector<ChartGrid> grid;   // horizontal lines with their values, 0 first
    bool upright = false;          // labels turned a quarter, when they do not fit side by side
};

// A step of 1, 2 or 5 times a power of ten that divides 0 to `highest` into
// at most `lines` parts.
double gridStep(double highest, int lines);

// Lays the months out in a client area of the given size, in a time that
// depends on the number of months only: a value too large for the scale
// (infinity) stands as high as the plot, one that is no number (NaN) or
// below 0 as 0.
ChartLayout layoutChart(
    int width, int height, const std::vector<ChartMonth>& months, const ChartMeasures& measures);

// The month under a point, or -1.
int monthAt(const ChartLayout& layout, int x, int y);
