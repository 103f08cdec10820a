// A job store of a connection per call and a full scan, kept only to be
// measured beside ours: a connection per operation, a pause of 90 ms after every SQLite call made
// under its busy retry (an opening that reads three table names costs 540 ms,
// a recording 810 ms, a query with n groups 540 + (n + 2) x 90 ms), no index,
// and julianday() of every row at every query. Statements are assembled as
// text with the values between quotes.
#pragma once

#include <cstddef>
#include <string>

#include "common/date_time.h"
#include "common/job_record.h"

struct sqlite3;

namespace fullScan {

// Opens the folder's pgwarden.db and reads the table list; creates the two
// tables when either is missing.
sqlite3* openJobDatabase(const std::u16string& folder);
void closeJobDatabase(sqlite3* db);

// The submission time is taken as local time already.
void recordJob(const std::u16string& folder, const JobRecord& job);

// Returns the number of groups; the cells are read as the list view would.
std::size_t queryStatistics(const std::u16string& folder, const DateTime& since, const char* column);

} // namespace fullScan
