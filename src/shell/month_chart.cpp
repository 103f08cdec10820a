#include "shell/month_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/strings.h"
#include "shell/statistics_figures.h"

namespace {

// Months counted from year 0: one number per month, consecutive across years.
int monthNumber(int year, int month)
{
    return year * 12 + (month - 1);
}

bool readMonth(const std::u16string& text, int& year, int& month)
{
    const std::string narrow(text.begin(), text.end());
    return std::sscanf(narrow.c_str(), "%d-%d", &year, &month) == 2 && month >= 1 && month <= 12;
}

} // namespace

std::vector<ChartMonth> chartMonths(
    const std::vector<StatisticsRow>& rows, const DateTime& since, const DateTime& now)
{
    std::vector<std::pair<int, const StatisticsRow*>> found;
    for (const StatisticsRow& row : rows) {
        int year = 0, month = 0;
        if (readMonth(row.group, year, month)) found.push_back({monthNumber(year, month), &row});
    }
    const bool startReadable = since.month >= 1 && since.month <= 12;
    if (!startReadable && found.empty()) return {};
    int first = startReadable ? monthNumber(since.year, since.month) : found.front().first;
    int last = monthNumber(now.year, now.month);
    if (!found.empty()) last = std::max(last, found.back().first);
    if (!found.empty()) first = std::min(first, found.front().first);
    if (last < first) return {};
    first = std::max(first, last - (chartMonthLimit - 1));

    std::vector<ChartMonth> months;
    const std::u16string nothing(1, u'0');
    auto next = found.begin();
    for (int number = first; number <= last; ++number) {
        ChartMonth month{number / 12, number % 12 + 1, nothing, nothing, 0};
        while (next != found.end() && next->first < number) ++next;
        if (next != found.end() && next->first == number) {
            month.pages = next->second->pages.empty() ? nothing : next->second->pages;
            month.jobs = next->second->jobs;
            month.value = std::max(0.0, figureValue(month.pages).value_or(0));
            month.unknownPages = next->second->unknownPages;
        }
        months.push_back(month);
    }
    return months;
}

std::vector<StatisticsRow> chartRows(const std::vector<ChartMonth>& months)
{
    std::vector<StatisticsRow> rows;
    for (const ChartMonth& month : months) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d", month.year, month.month);
        const std::string key = text;
        StatisticsRow row{asciiText(key), month.pages, month.jobs};
        row.unknownPages = month.unknownPages;
        rows.push_back(std::move(row));
    }
    return rows;
}

double gridStep(double highest, int lines)
{
    if (!(highest > 0) || !std::isfinite(highest) || lines < 1) return 1;
    const double rough = highest / lines;
    // Steps are whole pages: a highest value near 0 (or one whose tenth is
    // lost to underflow) starts from 1, never from 0.
    double power = std::max(1.0, std::pow(10.0, std::floor(std::log10(rough))));
    for (;;) {
        for (double factor : {1.0, 2.0, 5.0})
            if (factor * power * lines >= highest && factor * power >= 1) return factor * power;
        power *= 10;
    }
}

ChartLayout layoutChart(
    int width, int height, const std::vector<ChartMonth>& months, const ChartMeasures& measures)
{
    constexpr int margin = 8, gap = 4;
    ChartLayout layout;
    const int count = static_cast<int>(months.size());
    const int plotLeft = margin + measures.valueWidth + gap;
    const int plotWidth = std::max(0, width - plotLeft - margin);
    const int slot = count > 0 ? plotWidth / count : 0;
    // Side by side the label is the month over its year; turned, "Mmm yyyy".
    layout.upright = slot < measures.monthWidth + gap;
    const int labelBand = layout.upright ? measures.monthYearWidth + gap : 2 * measures.lineHeight + gap;
    layout.plot = {plotLeft, margin + measures.lineHeight / 2, plotLeft + slot * count,
        std::max(margin + measures.lineHeight / 2, height - margin - labelBand)};

    // The scale comes from the finite values; the grid has at most `lines`
    // steps whatever they are.
    double highest = 0;
    for (const ChartMonth& month : months)
        if (std::isfinite(month.value)) highest = std::max(highest, month.value);
    const int plotHeight = layout.plot.bottom - layout.plot.top;
    const int lines = std::clamp(plotHeight / std::max(1, 2 * measures.lineHeight), 1, 5);
    const double step = gridStep(highest, lines);
    const int steps = static_cast<int>(std::clamp(std::ceil(highest / step), 1.0, 100.0));
    double top = step * steps;
    if (!std::isfinite(top)) top = highest; // within a step of the largest double
    auto yOf = [&](double value) {
        const double shown = std::isnan(value) || value < 0 ? 0 : std::min(value, top);
        return layout.plot.bottom - static_cast<int>(std::lround(shown / top * plotHeight));
    };
    for (int k = 0; k <= steps; ++k) {
        const double value = std::min(step * k, top);
        layout.grid.push_back({yOf(value), value});
    }

    for (int i = 0; i < count; ++i) {
        const int left = plotLeft + i * slot;
        // A few months would make slabs of bars: no wider than three lines of text.
        const int barWidth = std::clamp(slot * 7 / 10, 1, std::max(1, 3 * measures.lineHeight));
        const int barLeft = left + (slot - barWidth) / 2;
        layout.columns.push_back({left, layout.plot.top, left + slot, height});
        layout.bars.push_back({barLeft, yOf(months[static_cast<std::size_t>(i)].value), barLeft + barWidth,
            layout.plot.bottom});
        layout.labels.push_back(
            {left, layout.plot.bottom + gap, left + slot, layout.plot.bottom + labelBand});
    }
    return layout;
}

int monthAt(const ChartLayout& layout, int x, int y)
{
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        if (layout.columns[i].contains(x, y)) return static_cast<int>(i);
    return -1;
}
