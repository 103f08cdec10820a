// What a name typed into the saved-dates window becomes, whether it may be
// saved, and which moment is saved with it. Portable: the window puts it on
// screen.
#pragma once

#include <cstddef>
#include <string>

#include "common/date_time.h"
#include "common/language_texts.h"

// The name field takes at most this many characters.
inline constexpr std::size_t savedDateNameLimit = 250;

// The name without the blanks (tab, LF, VT, FF, CR, space) at either end.
std::u16string trimmedDateName(const std::u16string& typed);

// True when the name is, unit for unit, one of the four fixed period texts:
// the period list could not tell such a saved date from the period.
bool isFixedPeriodName(const std::u16string& name, const PeriodTexts& fixedTexts);

enum class DateNameVerdict {
    accepted,
    empty,      // nothing but blanks
    fixedPeriod // the text of a fixed period
};
// The verdict on a trimmed name; a name already saved is the store's to find.
DateNameVerdict checkDateName(const std::u16string& trimmedName, const PeriodTexts& fixedTexts);

// The moment saved under a name: the day picker's date, with the time
// picker's time of day when the user chose date and time, otherwise
// midnight. Always whole seconds: the time picker keeps the milliseconds of
// the moment it was created, which it never shows.
DateTime savedDateFrom(const DateTime& day, const DateTime& time, bool withTimeOfDay);
