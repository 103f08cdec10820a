// Which start date and grouping the statistics controls select, and where
// the controls go.
#include <gtest/gtest.h>

#include "shell/statistics_view.h"

namespace {

const PeriodTexts viewPeriods = {u"Everything", u"Today", u"This month", u"This year"};
const TabTexts viewTabs = {u"By printer", u"By user", u"By computer"};

DateTime dayAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    DateTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    t.second = static_cast<std::uint16_t>(second);
    t.milliseconds = static_cast<std::uint16_t>(ms);
    t.dayOfWeek = 1;
    return t;
}

} // namespace

TEST(StatisticsPeriods, FixedPeriodsStartAtMidnight)
{
    const DateTime now = dayAt(2026, 12, 7, 14, 35, 12, 250);
    struct Case {
        const char16_t* name;
        DateTime expected;
    } cases[] = {
        {u"Everything", dayAt(1800, 1, 1)}, {u"Today", dayAt(2026, 12, 7)},
        {u"This month", dayAt(2026, 12, 1)}, {u"This year", dayAt(2026, 1, 1)},
        {u"Unknown", now}, // no match: the start stays at this moment
        {u"today", now},   // matching is exact, case included
    };
    for (const Case& c : cases) {
        EXPECT_EQ(periodStart(now, c.name, std::nullopt, viewPeriods), c.expected)
            << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
    }
}

TEST(StatisticsPeriods, SavedNameWinsOverFixedText)
{
    const DateTime now = dayAt(2026, 12, 7, 9, 0);
    const DateTime saved = dayAt(2016, 3, 5, 14, 20);
    EXPECT_EQ(periodStart(now, u"Today", saved, viewPeriods), saved);
    EXPECT_EQ(periodStart(now, u"Audit", saved, viewPeriods), saved);
}

TEST(StatisticsPeriods, MissingTextsMeanEverything)
{
    // A language file without the period texts shows "none" four times; the
    // first match is "everything".
    const PeriodTexts none = {u"none", u"none", u"none", u"none"};
    EXPECT_EQ(periodStart(dayAt(2026, 6, 1, 8), u"none", std::nullopt, none), dayAt(1800, 1, 1));
}

TEST(StatisticsPeriods, PickedDayStartsAtMidnight)
{
    EXPECT_EQ(startOfDay(dayAt(2025, 2, 28, 23, 59, 59, 999)), dayAt(2025, 2, 28));
}

TEST(StatisticsGrouping, TabTextSelectsColumn)
{
    EXPECT_EQ(groupingForTab(u"By printer", viewTabs), GroupingColumn::printer);
    EXPECT_EQ(groupingForTab(u"By user", viewTabs), GroupingColumn::user);
    EXPECT_EQ(groupingForTab(u"By computer", viewTabs), GroupingColumn::machine);
    EXPECT_EQ(groupingForTab(u"", viewTabs), GroupingColumn::printer); // no tab focused
    const TabTexts none = {u"none", u"none", u"none"};
    EXPECT_EQ(groupingForTab(u"none", none), GroupingColumn::printer);
}

TEST(StatisticsLayout, MarginsFollowTheClientSize)
{
    StatisticsLayout a = layoutStatistics(634, 281);
    EXPECT_EQ(a.groupBox, (ControlRect{20, 20, 594, 100}));
    EXPECT_EQ(a.periodRadio, (ControlRect{40, 40, 160, 20}));
    EXPECT_EQ(a.dateRadio, (ControlRect{40, 80, 160, 20}));
    EXPECT_EQ(a.periodCombo, (ControlRect{240, 40, 354, 160}));
    EXPECT_EQ(a.datePicker, (ControlRect{240, 80, 354, 20}));
    EXPECT_EQ(a.groupingTabs, (ControlRect{20, 140, 594, 121}));

    // Growing the window widens everything but the radios; only the viewTabs grow
    // in height.
    StatisticsLayout b = layoutStatistics(1000, 700);
    EXPECT_EQ(b.periodCombo.x + b.periodCombo.width, 1000 - 40);
    EXPECT_EQ(b.datePicker.x + b.datePicker.width, 1000 - 40);
    EXPECT_EQ(b.groupBox.height, 100);
    EXPECT_EQ(b.groupingTabs, (ControlRect{20, 140, 960, 540}));
    EXPECT_EQ(b.periodRadio, a.periodRadio);
}

TEST(StatisticsLayout, ListAreaReservesTabRowAndFrames)
{
    // A 594 x 121 tab control with 3-pixel dialog frames and a 22-pixel tab row.
    EXPECT_EQ(listAreaInTabs({0, 0, 594, 121}, 3, 3, 22), (Box{20, 143, 588, 93}));
}
