// Statistics view arithmetic: which start date and grouping the controls
// select, and where the controls go. Portable; the Win32 half puts it on screen.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/language_texts.h"
#include "store/job_store.h"

// Pixel unit of the whole main window layout.
inline constexpr int layoutUnit = 20;

// Start of the period named by the combo box. A saved date of that name wins
// over the fixed meanings; a name matching nothing leaves the start at now.
DateTime periodStart(const DateTime& now, const std::u16string& name, const std::optional<DateTime>& saved,
    const PeriodTexts& fixedTexts);

// The picked day at 00:00:00.000.
DateTime startOfDay(DateTime day);

// The grouping column of the focused tab's text; a text that matches no tab
// groups by printer, so the query never runs without a column.
GroupingColumn groupingForTab(const std::u16string& tabText, const TabTexts& tabTexts);

// What a tab shows: the list by one grouping, the month chart, or the job
// log. The chart's tab comes after the three of the list, the log's last.
enum class ViewTab { printer, user, machine, month, jobs };
inline constexpr int monthTabIndex = 3;
inline constexpr int jobsTabIndex = 4;
ViewTab viewTabOf(GroupingColumn grouping);

struct ControlRect {
    int x, y, width, height;
    friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

struct StatisticsLayout {
    ControlRect groupBox, periodRadio, dateRadio, periodCombo, datePicker, groupingTabs;
    // "This computer" and "All computers", between the start and the tabs,
    // when a central database is set; the tabs then start lower.
    ControlRect thisComputer, allComputers;
};

// Places the controls in a client area of the given size.
StatisticsLayout layoutStatistics(int clientWidth, int clientHeight, bool sourceChoice = false);

struct Box {
    int left, top, right, bottom;
    friend bool operator==(const Box&, const Box&) = default;
};

// The tab control's client rectangle moved to where the list goes, before the
// tab control turns it into its display area: shifted by the tab control's
// position, with the tab row and the dialog frames reserved.
Box listAreaInTabs(
    Box tabClient, int dialogFrameX, int dialogFrameY, int tabRowBottom, int tabsTop = 7 * layoutUnit);

// A message cut at blanks into lines of at most `width` units (a longer word
// stands alone), so that it reads down the list's first column.
std::vector<std::u16string> wrappedLines(const std::u16string& text, std::size_t width);
