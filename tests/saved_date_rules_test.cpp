// Which names the saved-dates window accepts, and the moment it saves.
#include <gtest/gtest.h>

#include "dates/saved_date_rules.h"

namespace {

const PeriodTexts fixedPeriodTexts = {u"Everything", u"Today", u"This month", u"This year"};

DateTime momentAt(int year, int month, int day, int hour, int minute, int second, int ms)
{
    return DateTime{static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month), 3,
        static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(hour), static_cast<std::uint16_t>(minute),
        static_cast<std::uint16_t>(second), static_cast<std::uint16_t>(ms)};
}

} // namespace

TEST(SavedDateNames, TypedNamesAreJudgedAfterTrimming)
{
    struct Case {
        std::u16string typed;
        std::u16string name;
        DateNameVerdict verdict;
    } cases[] = {
        {u"  Easter\t", u"Easter", DateNameVerdict::accepted},
        {u"\r\n\v\f Audit 2026 \t", u"Audit 2026", DateNameVerdict::accepted}, // inner blanks stay
        {u"", u"", DateNameVerdict::empty},
        {u" \t\r\n\v\f", u"", DateNameVerdict::empty},
        // A no-break space or an ideographic space is part of a name, not a blank.
        {u"\u00A0", u"\u00A0", DateNameVerdict::accepted},
        {u"\u3000x", u"\u3000x", DateNameVerdict::accepted},
        {u"Today", u"Today", DateNameVerdict::fixedPeriod},
        {u" This month ", u"This month", DateNameVerdict::fixedPeriod}, // trimmed first, then compared
        {u"today", u"today", DateNameVerdict::accepted},                // case counts
        {u"Todays", u"Todays", DateNameVerdict::accepted},
        {u"This", u"This", DateNameVerdict::accepted},
        {u"O'Neil's \u03A0\u03AC\u03C3\u03C7\u03B1 \u0416", u"O'Neil's \u03A0\u03AC\u03C3\u03C7\u03B1 \u0416",
            DateNameVerdict::accepted},
    };
    for (const Case& c : cases) {
        std::u16string name = trimmedDateName(c.typed);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(checkDateName(name, fixedPeriodTexts), c.verdict) << std::string(name.begin(), name.end());
    }
}

TEST(SavedDateNames, EveryFixedPeriodIsRefusedWhateverTheLanguage)
{
    const PeriodTexts spanish = {u"Todo", u"Hoy", u"Este mes", u"Este a\u00F1o"};
    for (const std::u16string& fixed : spanish) EXPECT_TRUE(isFixedPeriodName(fixed, spanish));
    EXPECT_FALSE(isFixedPeriodName(u"Today", spanish));
    EXPECT_FALSE(isFixedPeriodName(u"Este ano", spanish));
    // A language file that lacks the period texts names them all "none".
    const PeriodTexts missing = {u"none", u"none", u"none", u"none"};
    EXPECT_TRUE(isFixedPeriodName(u"none", missing));
    EXPECT_FALSE(isFixedPeriodName(u"None", missing));
}

TEST(SavedDateMoment, DateAndTimeOrMidnightAlwaysInWholeSeconds)
{
    const DateTime day = momentAt(2016, 3, 5, 9, 41, 27, 512);   // the day picker: its own time is not used
    const DateTime time = momentAt(2026, 12, 7, 14, 20, 5, 873); // the time picker: its own date is not used
    EXPECT_EQ(savedDateFrom(day, time, true), momentAt(2016, 3, 5, 14, 20, 5, 0));
    EXPECT_EQ(savedDateFrom(day, time, false), momentAt(2016, 3, 5, 0, 0, 0, 0));
    EXPECT_EQ(savedDateFrom(day, time, true).dayOfWeek, day.dayOfWeek);
}
