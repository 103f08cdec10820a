// What the statistics view does with its rows before they go on screen: the
// order a header click gives, the totals in words, and the month chart's
// months and geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shell/month_chart.h"
#include "shell/statistics_figures.h"

namespace {

// Letter case aside, as a locale compares; equal names by their units.
int byLetters(const std::u16string& a, const std::u16string& b)
{
    auto lower = [](std::u16string s) {
        for (char16_t& c : s) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        return s;
    };
    const int order = lower(a).compare(lower(b));
    return order != 0 ? order : a.compare(b);
}

std::u16string names(const std::vector<StatisticsRow>& rows)
{
    std::u16string joined;
    for (const StatisticsRow& row : rows) joined += (joined.empty() ? u"" : u" ") + row.group;
    return joined;
}

} // namespace

// Clicks on the headers in a row, and the order each leaves: a new column
// starts names A to Z and numbers high to low; the same column reverses.
// Numbers go by value, not text; equal ones by name; an empty cell lowest.
TEST(StatisticsOrder, HeaderClicksOrderTheRows)
{
    const std::vector<StatisticsRow> query = {{u"carl", u"9", u"3"}, {u"Ann", u"10", u"2"},
        {u"bob", u"", u"0"}, {u"dee", u"10", u"2"}, {u"Bob", u"2.5", u"1"}};
    struct Step {
        int click;
        SortChoice after;
        const char16_t* order;
    } steps[] = {
        {0, {0, true}, u"Ann Bob bob carl dee"},
        {0, {0, false}, u"dee carl bob Bob Ann"},
        {1, {1, false}, u"Ann dee carl Bob bob"},
        {1, {1, true}, u"bob Bob carl Ann dee"},
        {2, {2, false}, u"carl Ann dee Bob bob"},
        {0, {0, true}, u"Ann Bob bob carl dee"},
    };
    SortChoice choice;
    std::vector<StatisticsRow> rows = query;
    orderRows(rows, choice, byLetters);
    EXPECT_EQ(names(rows), u"carl Ann bob dee Bob"); // no click yet: the query's order
    for (const Step& step : steps) {
        choice = afterHeaderClick(choice, step.click);
        EXPECT_EQ(choice, step.after);
        rows = query;
        orderRows(rows, choice, byLetters);
        EXPECT_EQ(names(rows), step.order) << "after a click on column " << step.click;
    }
}

// The cells SQLite writes for sums and counts: which the list may group,
// and what they add up to under the list.
TEST(StatisticsFigures, PlainNumbersAndTheirSums)
{
    struct Cell {
        const char16_t* text;
        bool plain;
        int decimals;
    } cells[] = {{u"17915", true, 0}, {u"-3", true, 0}, {u"2.50", true, 2}, {u"", false, 0},
        {u"1e+20", false, 0}, {u"12a", false, 0}, {u"-", false, 0}, {u"3.", false, 0}, {u".5", false, 0}};
    for (const Cell& c : cells) {
        int decimals = -1;
        EXPECT_EQ(isPlainNumber(c.text, decimals), c.plain) << std::string(c.text, c.text + 5);
        if (c.plain) {
            EXPECT_EQ(decimals, c.decimals);
        }
    }
    struct Case {
        std::vector<StatisticsRow> rows;
        const char16_t *pages, *jobs;
        std::int64_t unknownPages = 0;
    } cases[] = {
        {{}, u"0", u"0"},
        // Jobs of unknown pages add to the jobs, not to the pages.
        {{{.group = u"a", .pages = u"3", .jobs = u"2", .unknownPages = 1},
             {.group = u"b", .pages = u"0", .jobs = u"1", .unknownPages = 1}, {u"c", u"4", u"4"}},
            u"7", u"7", 2},
        {{{u"a", u"17000", u"1700"}, {u"b", u"915", u"49"}, {u"c", u"", u"0"}}, u"17915", u"1749"},
        {{{u"a", u"2.5", u"1"}, {u"b", u"3", u"1"}}, u"5.5", u"2"},
        {{{u"a", u"9223372036854775807", u"1"}, {u"b", u"1", u"1"}}, u"9.22337203685478e+18", u"2"},
        {{{u"a", u"1.5", u"1"}, {u"b", u"0.5", u"1"}}, u"2.0", u"2"},
    };
    for (const Case& c : cases) {
        const ShownSums sums = sumFigures(c.rows);
        EXPECT_EQ(sums.pages, c.pages);
        EXPECT_EQ(sums.jobs, c.jobs);
        EXPECT_EQ(sums.unknownPages, c.unknownPages);
    }
}

// A count's words in English (1 alone takes the first form) and French (0
// and 1 do), the number as shown put in.
TEST(StatisticsFigures, CountPhrasesTakeTheLanguagesForm)
{
    struct Case {
        const char16_t *forms, *singular, *plain, *shown, *phrase;
    } cases[] = {
        {u"%1 page|%1 pages", u"1", u"1", u"1", u"1 page"},
        {u"%1 page|%1 pages", u"1", u"0", u"0", u"0 pages"},
        {u"%1 page|%1 pages", u"1", u"17915", u"17,915", u"17,915 pages"},
        {u"%1 page|%1 pages", u"1", u"1.0", u"1.0", u"1.0 pages"},
        {u"%1 page|%1 pages", u"1", u"11", u"11", u"11 pages"},
        {u"en %1 travail|en %1 travaux", u"0 1", u"0", u"0", u"en 0 travail"},
        {u"en %1 travail|en %1 travaux", u"0 1", u"10", u"10", u"en 10 travaux"},
        {u"über %1 Monat|über %1 Monate", u"1", u"1", u"1", u"über 1 Monat"},
        {u"%1 pages", u"1", u"1", u"1", u"1 pages"}, // one form only: used for both
    };
    for (const Case& c : cases) EXPECT_EQ(countPhrase(c.forms, c.singular, c.plain, c.shown), c.phrase);
}

// The months the chart shows: from the start's month to the present one, or
// to a later month holding jobs, gaps as 0, at most the last 36.
TEST(MonthChart, MonthsFromTheStartToThePresent)
{
    const DateTime now{2026, 12, 0, 7, 10};
    auto shown = [&](const std::vector<StatisticsRow>& rows, DateTime since) {
        std::u16string text;
        for (const StatisticsRow& row : chartRows(chartMonths(rows, since, now)))
            text += (text.empty() ? u"" : u" ") + row.group + u"=" + row.pages + u"/" + row.jobs
                + (row.unknownPages > 0 ? u"?" + std::u16string(row.unknownPages, u'u') : u"");
        return text;
    };
    // A month's jobs of unknown pages go with it to the tooltip, copy and CSV.
    const std::vector<StatisticsRow> rows = {{u"2026-09", u"120", u"12"},
        {.group = u"2026-11", .pages = u"", .jobs = u"2", .unknownPages = 2}, {u"2026-12", u"7", u"1"}};
    EXPECT_EQ(shown(rows, {2026, 9, 0, 15}), u"2026-09=120/12 2026-10=0/0 2026-11=0/2?uu 2026-12=7/1");
    EXPECT_EQ(shown({{u"2026-12", u"7", u"1"}}, {2026, 12, 0, 1}), u"2026-12=7/1");
    EXPECT_EQ(shown({}, {2026, 12, 0, 7}), u"2026-12=0/0");
    EXPECT_EQ(shown({}, {2027, 1, 0, 1}), u""); // a start after the present month
    EXPECT_EQ(shown({{u"2027-02", u"5", u"1"}}, {2026, 12, 0, 1}), u"2026-12=0/0 2027-01=0/0 2027-02=5/1");
    EXPECT_EQ(shown(rows, {2016, 0, 0, 5}), u"2026-09=120/12 2026-10=0/0 2026-11=0/2?uu 2026-12=7/1");

    const std::vector<ChartMonth> everything = chartMonths(rows, {1800, 1, 0, 1}, now);
    ASSERT_EQ(everything.size(), 36u);
    EXPECT_EQ(everything.front().year * 100 + everything.front().month, 202401);
    EXPECT_EQ(everything.back().value, 7);
}

// Bars in month order on the plot's bottom, their heights in proportion,
// labels side by side while they fit and turned when they do not, and the
// month under the mouse found anywhere in its column.
TEST(MonthChart, LayoutOfBarsLabelsAndColumns)
{
    std::vector<ChartMonth> months;
    for (int m = 1; m <= 12; ++m) months.push_back({2026, m, u"", u"", m == 6 ? 1000.0 : 100.0 * (m % 3)});
    const ChartMeasures measures{20, 50, 30, 13};
    const ChartLayout wide = layoutChart(600, 300, months, measures);
    ASSERT_EQ(wide.bars.size(), 12u);
    EXPECT_FALSE(wide.upright);
    EXPECT_EQ(wide.grid.front().value, 0);
    EXPECT_EQ(wide.grid.front().y, wide.plot.bottom);
    EXPECT_EQ(wide.grid.back().value, 1000); // round steps just past the highest bar
    EXPECT_EQ(gridStep(1119, 3), 500);
    for (std::size_t i = 0; i < months.size(); ++i) {
        const ChartBox& bar = wide.bars[i];
        EXPECT_EQ(bar.bottom, wide.plot.bottom);
        EXPECT_GE(bar.top, wide.plot.top);
        if (i > 0) {
            EXPECT_GT(bar.left, wide.bars[i - 1].right);
        }
        EXPECT_EQ(monthAt(wide, (bar.left + bar.right) / 2, wide.plot.top + 1), static_cast<int>(i));
        EXPECT_EQ(monthAt(wide, (bar.left + bar.right) / 2, wide.labels[i].bottom - 1), static_cast<int>(i));
    }
    const int tallest = wide.bars[5].bottom - wide.bars[5].top;
    EXPECT_NEAR(wide.bars[0].bottom - wide.bars[0].top, tallest / 10.0, 1.5);
    EXPECT_EQ(wide.bars[2].top, wide.bars[2].bottom);      // a month without pages: no bar
    EXPECT_EQ(monthAt(wide, 2, wide.plot.bottom - 5), -1); // the values' margin

    months.resize(36, months.back());
    const ChartLayout narrow = layoutChart(600, 300, months, measures);
    EXPECT_TRUE(narrow.upright);
    EXPECT_LT(narrow.plot.bottom, wide.plot.bottom); // turned labels need more room
    EXPECT_LE(narrow.plot.right, 600 - 8);

    const ChartLayout one = layoutChart(600, 300, {months.front()}, measures);
    EXPECT_LE(one.bars[0].right - one.bars[0].left, 3 * measures.lineHeight); // no slab
}

// Whatever another program wrote: a bar stands within the plot, infinity as
// high as it, nothing that is no number, and the grid keeps a few lines.
TEST(MonthChart, AnyValueIsLaidOutWithinThePlot)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const double max = std::numeric_limits<double>::max();
    struct Case {
        std::vector<double> values;
        std::vector<int> heightInPercent; // of the plot; -1: any within it
    } cases[] = {
        {{1e308, 5e307}, {100, 50}},
        {{inf, 100}, {100, 100}},
        {{inf, inf}, {100, 100}},
        {{nan, 100}, {0, 100}},
        {{nan, inf}, {0, 100}},
        {{max, max / 2}, {100, 50}},
        {{-5, 200}, {0, 100}},
        {{4.9e-324, 0}, {-1, 0}},
    };
    const ChartMeasures measures{20, 50, 30, 13};
    for (const Case& c : cases) {
        std::vector<ChartMonth> months;
        for (double value : c.values) months.push_back({2026, 1, u"", u"", value});
        const ChartLayout layout = layoutChart(600, 300, months, measures);
        const int plot = layout.plot.bottom - layout.plot.top;
        ASSERT_EQ(layout.bars.size(), c.values.size());
        EXPECT_GE(layout.grid.size(), 2u) << c.values[0];
        EXPECT_LE(layout.grid.size(), 6u) << c.values[0];
        for (const ChartGrid& line : layout.grid) {
            EXPECT_TRUE(std::isfinite(line.value)) << c.values[0];
            EXPECT_GE(line.y, layout.plot.top);
        }
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const int height = layout.bars[i].bottom - layout.bars[i].top;
            EXPECT_GE(height, 0);
            EXPECT_LE(height, plot);
            if (c.heightInPercent[i] >= 0) {
                EXPECT_NEAR(height, plot * c.heightInPercent[i] / 100.0, plot * 0.11) << c.values[i];
            }
        }
    }
}

// The details' columns sort and add up like the others; the cost sums only
// when some group has one (a central server's rows have none), and is
// written as an amount for the locale's currency format.
TEST(StatisticsFigures, DetailColumnsSortSumAndShowMoney)
{
    const std::vector<StatisticsRow> query = {{u"ann", u"10", u"2", u"4", u"6", u"12300"},
        {u"bob", u"7", u"1", u"0", u"7", u""}, {u"cid", u"3", u"1", u"3", u"2", u"-500"}};
    std::vector<StatisticsRow> rows = query;
    orderRows(rows, afterHeaderClick({}, 3), byLetters);
    EXPECT_EQ(names(rows), u"ann cid bob");
    orderRows(rows, afterHeaderClick({}, 4), byLetters);
    EXPECT_EQ(names(rows), u"bob ann cid");
    orderRows(rows, afterHeaderClick({}, costColumn), byLetters);
    EXPECT_EQ(names(rows), u"ann cid bob"); // no cost lowest
    const ShownSums sums = sumFigures(query);
    EXPECT_EQ(sums.colourPages, u"7");
    EXPECT_EQ(sums.sheets, u"15");
    EXPECT_EQ(sums.cost, u"11800");
    EXPECT_EQ(sumFigures({query[1]}).cost, u"");
    EXPECT_FALSE(anyCost({query[1]}));
    EXPECT_TRUE(anyDetails({query[1]}));
    EXPECT_FALSE(anyDetails({{u"eve", u"5", u"1"}})); // rows of jobs without details

    const std::pair<const char16_t*, const char16_t*> amounts[] = {{u"12345", u"1.2345"}, {u"500", u"0.05"},
        {u"-20000", u"-2.00"}, {u"0", u"0.00"}, {u"12300", u"1.23"}, {u"1", u"0.0001"},
        {u"123456789012", u"12345678.9012"}, {u"", u""}, {u"1.5", u""}, {u"x", u""}};
    for (const auto& [cell, amount] : amounts) EXPECT_EQ(moneyAmount(cell), amount);
}
