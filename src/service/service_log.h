// The service's log in the data folder, where its fatal reports are kept
// (a service has nobody to read a message box): UTF-8 with a byte order mark,
// CR LF line ends, each report dated, bounded in size. Portable.
#pragma once

#include <cstddef>
#include <string>

#include "common/date_time.h"

// About a megabyte: years of reports, and still a file Notepad opens at once.
inline constexpr std::size_t serviceLogLimit = 1024 * 1024;

// "YYYY-MM-DD HH:MM:SS  caption", the report's lines, then an empty line.
std::string serviceLogEntry(
    const DateTime& localTime, const std::u16string& caption, const std::u16string& message);

// The log with the entry appended. When the whole would pass the limit, the
// older half of the log is dropped first, from the first entry that starts
// in the newer half, so no entry is kept cut. An entry larger than the limit
// by itself is kept whole, alone.
std::string appendToServiceLog(
    const std::string& log, const std::string& entry, std::size_t limit = serviceLogLimit);
