#include "shell/statistics_view.h"

DateTime startOfDay(DateTime day)
{
    day.hour = day.minute = day.second = day.milliseconds = 0;
    return day;
}

DateTime periodStart(const DateTime& now, const std::u16string& name, const std::optional<DateTime>& saved,
    const PeriodTexts& fixedTexts)
{
    if (saved) return *saved;
    for (std::size_t entry = 0; entry < fixedTexts.size(); ++entry) {
        if (name != fixedTexts[entry]) continue;
        DateTime start = startOfDay(now);
        switch (entry) {
        case 0: start.year = 1800, start.month = 1, start.day = 1; break; // everything recorded
        case 1: break;                                                    // today
        case 2: start.day = 1; break;                                     // this month
        case 3: start.day = 1, start.month = 1; break;                    // this year
        }
        return start;
    }
    return now;
}

GroupingColumn groupingForTab(const std::u16string& tabText, const TabTexts& tabTexts)
{
    constexpr GroupingColumn columns[]
        = {GroupingColumn::printer, GroupingColumn::user, GroupingColumn::machine};
    for (std::size_t tab = 0; tab < tabTexts.size(); ++tab)
        if (tabText == tabTexts[tab]) return columns[tab];
    return GroupingColumn::printer;
}

ViewTab viewTabOf(GroupingColumn grouping)
{
    switch (grouping) {
    case GroupingColumn::printer: return ViewTab::printer;
    case GroupingColumn::user: return ViewTab::user;
    case GroupingColumn::machine: return ViewTab::machine;
    }
    return ViewTab::printer;
}

StatisticsLayout layoutStatistics(int width, int height, bool sourceChoice)
{
    constexpr int u = layoutUnit;
    const int below = sourceChoice ? 3 * u / 2 : 0; // room for the choice of computers
    return {
        .groupBox = {u, u, width - 2 * u, 5 * u},
        .periodRadio = {2 * u, 2 * u, 8 * u, u},
        .dateRadio = {2 * u, 4 * u, 8 * u, u},
        .periodCombo = {12 * u, 2 * u, width - 14 * u, 8 * u}, // the height holds the opened list
        .datePicker = {12 * u, 4 * u, width - 14 * u, u},
        .groupingTabs = {u, 7 * u + below, width - 2 * u, height - 8 * u - below},
        .thisComputer = {2 * u, 6 * u + u / 2, 10 * u, u},
        .allComputers = {12 * u, 6 * u + u / 2, 12 * u, u},
    };
}

Box listAreaInTabs(Box r, int dialogFrameX, int dialogFrameY, int tabRowBottom, int tabsTop)
{
    constexpr int u = layoutUnit;
    r.top += tabsTop + dialogFrameY;
    r.left += u;
    r.right -= 2 * dialogFrameX;
    r.bottom -= tabRowBottom + 2 * dialogFrameY;
    return r;
}

std::vector<std::u16string> wrappedLines(const std::u16string& text, std::size_t width)
{
    std::vector<std::u16string> lines;
    std::u16string line, word;
    auto endWord = [&] {
        if (word.empty()) return;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? u"" : u" ") + word;
        word.clear();
    };
    for (char16_t unit : text) {
        if (unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n')
            endWord();
        else
            word += unit;
    }
    endWord();
    if (!line.empty()) lines.push_back(line);
    return lines;
}
