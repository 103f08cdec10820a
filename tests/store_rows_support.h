// Rows of jobs in every form other programs may write, and the figures the
// statistics must give for them: shared by the tests that compare the store's
// statistics with the plain julianday() query over the whole table.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <tuple>

#include "store_support.h"

namespace storeRows {

// Kept apart from the store's own calendar code, so both cannot share a slip.
inline bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int monthLength(int year, int month)
{
    constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : lengths[month - 1];
}

struct Day {
    int year, month, day;
};

// Every day from the first to the last, both included.
inline std::vector<Day> daysBetween(Day first, Day last)
{
    std::vector<Day> days;
    for (Day d = first; std::tie(d.year, d.month, d.day) <= std::tie(last.year, last.month, last.day);) {
        days.push_back(d);
        if (++d.day > monthLength(d.year, d.month)) {
            d.day = 1;
            if (++d.month > 12) d.month = 1, ++d.year;
        }
    }
    return days;
}

inline std::string format(const char* pattern, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// The value a test writes into trfecha, with its storage class.
struct Cell {
    enum Kind { text, null, blob, real } kind = text;
    std::string value; // text, or the UTF-8 of what the blob holds in UTF-16
    double number = 0;
};

class RowMaker {
public:
    // The days under test run from 2015-12-15 to 2016-04-15: a year's end, a
    // leap February and three month ends, on which days that run past their
    // month land. Before them lies a plain history, twice as long, so that
    // long periods span many months and short ones few.
    explicit RowMaker(unsigned seed)
        : rng_(seed)
        , days_(daysBetween({2015, 12, 15}, {2016, 4, 15}))
        , history_(daysBetween({2015, 1, 1}, {2015, 12, 14}))
    {
    }

    Cell historyCell()
    {
        Day d = history_[static_cast<std::size_t>(pick(0, static_cast<int>(history_.size()) - 1))];
        return {Cell::text, date(d) + "T" + time()};
    }

    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }

    std::string date(const Day& d) { return format("%.4d-%.2d-%.2d", d.year, d.month, d.day); }
    std::string time()
    {
        return format("%.2d:%.2d:%.2d.%.3d", pick(0, 23), pick(0, 59), pick(0, 59), pick(0, 999));
    }
    std::string zone()
    {
        if (pick(0, 4) == 0) return "Z";
        return format("%c%.2d:%.2d", pick(0, 1) ? '+' : '-', pick(0, 14), pick(0, 59));
    }
    Day anyDay() { return days_[static_cast<std::size_t>(pick(0, static_cast<int>(days_.size()) - 1))]; }

    // One trfecha in one of the forms julianday() reads, or one it cannot
    // read, or one it reads in a way of its own.
    Cell dateCell(std::size_t& order)
    {
        const std::size_t dayIndex = static_cast<std::size_t>(pick(0, static_cast<int>(days_.size()) - 1));
        const Day d = days_[dayIndex];
        order = dayIndex; // rows are mostly written in time order
        switch (pick(0, 15)) {
        case 0:
        case 1:
        case 2:
        case 3: return {Cell::text, date(d) + "T" + time()}; // our own
        case 4: return {Cell::text, date(d) + " " + time().substr(0, 8)};
        case 5: return {Cell::text, date(d) + "T" + time().substr(0, 5)};
        case 6: return {Cell::text, date(d)};
        case 7:
            return {Cell::text,
                date(d) + (pick(0, 1) ? "T" : " ") + time().substr(0, pick(0, 1) ? 5 : 12) + zone()};
        case 8: return {Cell::text, date(d) + format("T24:%.2d", pick(0, 59)) + (pick(0, 1) ? zone() : "")};
        case 9: { // a day past the month's end, which julianday() counts on into the next month
            Day over = d;
            over.day = std::min(monthLength(d.year, d.month) + pick(1, 3), 31);
            if (over.day <= monthLength(d.year, d.month)) over.day = 31;
            return {Cell::text, date(over) + "T" + time().substr(0, 5) + (pick(0, 1) ? zone() : "")};
        }
        case 10: { // a Julian day number, as text or as a number the text column turns into text
            double julian = 2457371.5 + static_cast<double>(dayIndex) + pick(0, 86399) / 86400.0 - 6;
            if (pick(0, 2) == 0) return {Cell::real, "", julian};
            // Blanks, a sign or zeros in front put the number below every
            // date in text order; julianday() still reads it.
            static const char* const forms[] = {"%.5f", " %.5f", "+%.5f", "00%.5f", "%.5f "};
            return {Cell::text, format(forms[pick(0, 4)], julian)};
        }
        case 11: // a time alone means 2000-01-01
            order = 0;
            return {Cell::text, format("%.2d:%.2d", pick(0, 24), pick(0, 59)) + (pick(0, 1) ? ":30" : "")};
        case 12: {
            // Unreadable texts; 'now', whose day moves on with the clock; a
            // year before year 0; and texts older SQLite versions read while
            // ours does not (a bare 20160305, a moment after 9999-12-31).
            static const char* const odd[]
                = {"", "soon", "2016-13-01", "2016-02-00", "2016-2-5", "2016/03/05", "2016-03-05x",
                    " 2016-03-05", "2016-03-05t10:00", "25:00", "2016-03-05T10:00+15:00", "-2016-03-05",
                    "now", "NOW", "12016-03-05", "2016-03-05T10:60", "20160305", "9999-12-31T24:00"};
            order = static_cast<std::size_t>(pick(0, static_cast<int>(days_.size()) - 1));
            return {Cell::text, odd[pick(0, static_cast<int>(std::size(odd)) - 1)]};
        }
        case 13: return {Cell::null, ""};
        case 14: return {Cell::blob, date(d) + "T" + time()};
        default: return {Cell::text, date(d) + "T" + time()};
        }
    }

    std::mt19937& rng() { return rng_; }

private:
    std::mt19937 rng_;
    std::vector<Day> days_;
    std::vector<Day> history_;
};

// Binds a trfecha cell with its storage class.
inline void bindCell(sqlite3_stmt* statement, int index, const Cell& cell)
{
    switch (cell.kind) {
    case Cell::text: sqlite3_bind_text(statement, index, cell.value.c_str(), -1, SQLITE_TRANSIENT); break;
    case Cell::null: sqlite3_bind_null(statement, index); break;
    case Cell::real: sqlite3_bind_double(statement, index, cell.number); break;
    case Cell::blob: {
        std::u16string wide(cell.value.begin(), cell.value.end());
        sqlite3_bind_blob(statement, index, wide.data(), static_cast<int>(wide.size() * 2), SQLITE_TRANSIENT);
        break;
    }
    }
}

// "group|pages|jobs|jobs of unknown pages".
inline std::u16string figureLine(const StatisticsRow& row)
{
    const std::string unknown = std::to_string(row.unknownPages);
    return row.group + u"|" + row.pages + u"|" + row.jobs + u"|"
        + std::u16string(unknown.begin(), unknown.end());
}

// The store's figures, in the order it gives them.
inline std::vector<std::u16string> storeFigures(
    const std::u16string& folder, const DateTime& since, GroupingColumn column)
{
    std::vector<std::u16string> rows;
    queryStatistics(
        folder, since, column, [&](const StatisticsRow& row) { rows.push_back(figureLine(row)); });
    return rows;
}

// A group's pages, jobs and jobs of unknown pages as the figures define
// them: a page count that is not an integer within 2^40 either way adds a
// job of unknown pages and no pages; a null one is no job.
inline std::string ruleFigures()
{
    const std::string whole = "(typeof(trnumpags) = 'integer' and trnumpags between -1099511627776 and "
                              "1099511627776)";
    return ", case when count(trnumpags) = 0 then null else sum(case when " + whole
        + " then trnumpags else 0 end) end, count(trnumpags), sum(trnumpags is not null and not " + whole
        + ")";
}

// What the plain query over the whole table gives, in its order.
inline std::vector<std::u16string> plainFigures(
    RawDatabase& raw, const DateTime& since, GroupingColumn column)
{
    std::u16string name = groupingColumnName(column);
    std::u16string start = formatDateTimeText(since);
    std::string n(name.begin(), name.end()), s(start.begin(), start.end());
    return raw.rows16("select " + n + ruleFigures()
        + " from tbTrabajos where julianday(trfecha) >= " + "julianday('" + s + "') group by " + n + ";");
}

// The store's months, "YYYY-MM|pages|jobs", in its order.
inline std::vector<std::u16string> storeMonths(const std::u16string& folder, const DateTime& since)
{
    std::vector<std::u16string> rows;
    for (const StatisticsRow& row : queryMonthlyStatistics(folder, since)) rows.push_back(figureLine(row));
    return rows;
}

// What the plain query gives per month, in month order.
inline std::vector<std::u16string> plainMonths(RawDatabase& raw, const DateTime& since)
{
    std::u16string start = formatDateTimeText(since);
    return raw.rows16("select strftime('%Y-%m', julianday(trfecha)) as m" + ruleFigures()
        + " from tbTrabajos where julianday(trfecha) >= julianday('" + std::string(start.begin(), start.end())
        + "') group by m order by m;");
}

} // namespace storeRows
