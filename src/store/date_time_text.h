// The date-time text of trfecha and fefecha, as the program writes and reads
// it. Portable: no Windows header here.
#pragma once

#include <cstddef>
#include <string>

#include "common/date_time.h"

// Longest date-time text that is read, terminator not counted.
inline constexpr std::size_t dateTimeTextCapacity = 100;

// "2016-03-05T09:07:02.045": zero-padded to 4, 2, 2, 2, 2, 2 and 3 digits.
std::u16string formatDateTimeText(const DateTime& time);
// True when the fields name a real moment that formatDateTimeText writes in
// that form: years 0 to 9999, a day its month has, a time of day below 24:00.
bool isWritableDateTime(const DateTime& time);
// Reads "%d-%d-%dT%d:%d:%d.%d" from at most the first 100 units into the seven
// fields from year to milliseconds, each taking the number's low 16 bits.
// Fields that the text does not reach become 0; dayOfWeek is left alone.
void parseDateTimeText(const char16_t* text, DateTime& time);
