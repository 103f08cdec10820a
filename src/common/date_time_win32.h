// The one conversion between the platform's SYSTEMTIME and our DateTime.
#pragma once

#include <windows.h>

#include "common/date_time.h"

inline SYSTEMTIME toSystemTime(const DateTime& time)
{
    return SYSTEMTIME{time.year, time.month, time.dayOfWeek, time.day, time.hour, time.minute, time.second,
        time.milliseconds};
}

inline DateTime fromSystemTime(const SYSTEMTIME& system)
{
    return DateTime{system.wYear, system.wMonth, system.wDayOfWeek, system.wDay, system.wHour, system.wMinute,
        system.wSecond, system.wMilliseconds};
}
