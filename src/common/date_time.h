// A point in time as Windows' SYSTEMTIME lays it out: eight 16-bit fields.
#pragma once

#include <cstdint>

struct DateTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};
static_assert(sizeof(DateTime) == 16);
