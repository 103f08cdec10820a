// What "pagewarden.exe /report" is asked for on its command line: the
// grouping, the start of the period, this computer or all of them, and where
// the CSV goes. Portable: the Win32 half reads the figures and writes them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/date_time.h"

// The groupings a report is written by: the three lists of the window, its
// month chart, and the job log (every job of the period).
enum class ReportGrouping { printer, user, computer, month, job };

// The start: one of the fixed periods, a date saved under a name, or a
// moment given on the command line.
enum class ReportStart { period, saved, moment };

struct ReportRequest {
    ReportGrouping by = ReportGrouping::printer;
    ReportStart start = ReportStart::period;
    int period = 0; // with ReportStart::period: everything, today, this month, this year
    std::u16string savedName;
    DateTime since{}; // with ReportStart::moment
    bool allComputers = false;
    std::u16string outFile; // empty: the console or what it was redirected to
};

// The words of the command line (the switch "/report" among them). Options
// are matched without regard to case and start with "/" or "-"; values
// follow their option as the next word. Nothing, and the first word not
// understood in `fault`, when one is unknown, lacks its value, has a value
// of no meaning, or names a start a second time.
std::optional<ReportRequest> readReportRequest(
    const std::vector<std::u16string>& words, std::u16string& fault);

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM", a real date and time of the years 1800
// to 9999; nothing for any other text.
std::optional<DateTime> readReportMoment(const std::u16string& text);

// The names of the fixed periods on the command line, in their order.
inline constexpr const char16_t* reportPeriodNames[] = {u"everything", u"today", u"month", u"year"};
