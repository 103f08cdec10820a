#include "dates/saved_date_rules.h"

#include "common/strings.h"

#include <vector>

std::u16string trimmedDateName(const std::u16string& typed)
{
    // wstrTrim works on a terminated buffer; a name may hold any unit but 0.
    std::vector<char16_t> buffer(typed.begin(), typed.end());
    buffer.push_back(0);
    return wstrTrim(buffer.data());
}

bool isFixedPeriodName(const std::u16string& name, const PeriodTexts& fixedTexts)
{
    for (const std::u16string& fixed : fixedTexts)
        if (wstrCompare(name.c_str(), fixed.c_str()) == 0) return true;
    return false;
}

DateNameVerdict checkDateName(const std::u16string& trimmedName, const PeriodTexts& fixedTexts)
{
    if (trimmedName.empty()) return DateNameVerdict::empty;
    if (isFixedPeriodName(trimmedName, fixedTexts)) return DateNameVerdict::fixedPeriod;
    return DateNameVerdict::accepted;
}

DateTime savedDateFrom(const DateTime& day, const DateTime& time, bool withTimeOfDay)
{
    DateTime saved = day;
    saved.hour = withTimeOfDay ? time.hour : 0;
    saved.minute = withTimeOfDay ? time.minute : 0;
    saved.second = withTimeOfDay ? time.second : 0;
    saved.milliseconds = 0;
    return saved;
}
