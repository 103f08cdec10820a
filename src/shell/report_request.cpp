#include "shell/report_request.h"

#include <array>
#include <string_view>

#include "store/civil_days.h"

namespace {

char16_t lowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

std::u16string lowered(const std::u16string& word)
{
    std::u16string lower = word;
    for (char16_t& unit : lower) unit = lowerAscii(unit);
    return lower;
}

// The option's name without its "/" or "-", lowered; empty for a value.
std::u16string optionName(const std::u16string& word)
{
    if (word.size() < 2 || (word[0] != u'/' && word[0] != u'-')) return u"";
    return lowered(word.substr(1));
}

std::optional<ReportGrouping> groupingNamed(const std::u16string& value)
{
    constexpr std::array<std::pair<std::u16string_view, ReportGrouping>, 5> names = {{
        {u"printer", ReportGrouping::printer},
        {u"user", ReportGrouping::user},
        {u"computer", ReportGrouping::computer},
        {u"month", ReportGrouping::month},
        {u"job", ReportGrouping::job},
    }};
    const std::u16string lower = lowered(value);
    for (const auto& [name, grouping] : names)
        if (lower == name) return grouping;
    return std::nullopt;
}

std::optional<int> periodNamed(const std::u16string& value)
{
    const std::u16string lower = lowered(value);
    for (int i = 0; i < static_cast<int>(std::size(reportPeriodNames)); ++i)
        if (lower == reportPeriodNames[i]) return i;
    return std::nullopt;
}

// Digits only, all of them: a number of exactly `text.size()` digits.
std::optional<int> digits(std::u16string_view text)
{
    int value = 0;
    for (char16_t unit : text) {
        if (unit < u'0' || unit > u'9') return std::nullopt;
        value = value * 10 + (unit - u'0');
    }
    return value;
}

// The value of an option that takes one into the request; false when it
// means nothing.
bool takeValue(const std::u16string& option, const std::u16string& value, ReportRequest& request)
{
    if (option == u"by") {
        const std::optional<ReportGrouping> grouping = groupingNamed(value);
        if (grouping) request.by = *grouping;
        return grouping.has_value();
    }
    if (option == u"period") {
        const std::optional<int> period = periodNamed(value);
        request.start = ReportStart::period;
        if (period) request.period = *period;
        return period.has_value();
    }
    if (option == u"since") {
        const std::optional<DateTime> since = readReportMoment(value);
        request.start = ReportStart::moment;
        if (since) request.since = *since;
        return since.has_value();
    }
    if (option == u"saved") {
        request.start = ReportStart::saved;
        request.savedName = value;
        return !value.empty();
    }
    request.outFile = value; // "out"
    return !value.empty();
}

} // namespace

std::optional<DateTime> readReportMoment(const std::u16string& text)
{
    if (text.size() != 10 && text.size() != 16) return std::nullopt;
    const std::u16string_view t(text);
    if (t[4] != u'-' || t[7] != u'-' || (t.size() == 16 && (t[10] != u'T' && t[10] != u't')))
        return std::nullopt;
    if (t.size() == 16 && t[13] != u':') return std::nullopt;
    const auto year = digits(t.substr(0, 4)), month = digits(t.substr(5, 2)), day = digits(t.substr(8, 2));
    const auto hour = t.size() == 16 ? digits(t.substr(11, 2)) : std::optional<int>(0);
    const auto minute = t.size() == 16 ? digits(t.substr(14, 2)) : std::optional<int>(0);
    if (!year || !month || !day || !hour || !minute) return std::nullopt;
    if (*year < 1800 || *month < 1 || *month > 12 || *day < 1 || *hour > 23 || *minute > 59)
        return std::nullopt;
    // A day past the month's end comes back as a day of the next month.
    const store::CivilDate civil = store::civilFromDays(
        store::daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)));
    if (civil.day != static_cast<unsigned>(*day)) return std::nullopt;
    DateTime moment{};
    moment.year = static_cast<std::uint16_t>(*year);
    moment.month = static_cast<std::uint16_t>(*month);
    moment.day = static_cast<std::uint16_t>(*day);
    moment.hour = static_cast<std::uint16_t>(*hour);
    moment.minute = static_cast<std::uint16_t>(*minute);
    return moment;
}

std::optional<ReportRequest> readReportRequest(
    const std::vector<std::u16string>& words, std::u16string& fault)
{
    ReportRequest request;
    bool startGiven = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::u16string option = optionName(words[i]);
        fault = words[i];
        if (option == u"report") continue;
        if (option == u"all-computers") {
            request.allComputers = true;
            continue;
        }
        const bool start = option == u"period" || option == u"since" || option == u"saved";
        if (!start && option != u"by" && option != u"out") return std::nullopt;
        if (start && startGiven) return std::nullopt; // two starts: which one was meant?
        startGiven = startGiven || start;
        if (i + 1 == words.size()) return std::nullopt;
        fault = words[i] + u" " + words[i + 1];
        if (!takeValue(option, words[++i], request)) return std::nullopt;
    }
    fault.clear();
    return request;
}
