#include "store/date_time_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "common/strings.h"

std::u16string formatDateTimeText(const DateTime& time)
{
    char text[64];
    int length = std::snprintf(text, sizeof text, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d", time.year, time.month,
        time.day, time.hour, time.minute, time.second, time.milliseconds);
    return std::u16string(text, text + std::clamp(length, 0, static_cast<int>(sizeof text) - 1));
}

bool isWritableDateTime(const DateTime& time)
{
    if (time.year > 9999 || time.month < 1 || time.month > 12 || time.day < 1) return false;
    const bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
    constexpr std::uint16_t monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int days = monthDays[time.month - 1] + (time.month == 2 && leap ? 1 : 0);
    return time.day <= days && time.hour < 24 && time.minute < 60 && time.second < 60
        && time.milliseconds < 1000;
}

void parseDateTimeText(const char16_t* text, DateTime& time)
{
    std::uint16_t* const fields[]
        = {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second, &time.milliseconds};
    constexpr char16_t separators[] = {u'-', u'-', u'T', u':', u':', u'.'};
    for (std::uint16_t* field : fields) *field = 0;

    // The text is read as if copied into a 100-unit buffer: nothing past it counts.
    std::size_t length = 0;
    while (text && length < dateTimeTextCapacity && text[length] != 0) ++length;
    std::size_t at = 0;
    for (std::size_t index = 0; index < std::size(fields); ++index) {
        if (index > 0) {
            if (at >= length || text[at] != separators[index - 1]) return;
            ++at;
        }
        // As %d reads: white space, an optional sign, at least one digit.
        while (at < length && wstrIsSpace(text[at])) ++at;
        bool negative = false;
        if (at < length && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
        std::size_t digitsFrom = at;
        std::uint16_t value = 0; // unsigned arithmetic keeps the low 16 bits of any length of digits
        while (at < length && text[at] >= u'0' && text[at] <= u'9')
            value = static_cast<std::uint16_t>(value * 10u + static_cast<unsigned>(text[at++] - u'0'));
        if (at == digitsFrom) return;
        *fields[index] = negative ? static_cast<std::uint16_t>(0u - value) : value;
    }
}
