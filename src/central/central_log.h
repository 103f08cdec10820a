// Every computer's job log, read from the central database a page at a time
// by keyset, as this computer's is read from its file: newest first or in
// the order of another column, filtered to one printer, user or computer
// and by a text. The rows' key (source, file_id, row_id) breaks ties.
// Portable: statements and their parameters only; the ODBC half sends them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/job_log.h"

namespace central {

// What the connection's role may read of pagewarden_jobs: the log's columns
// (the row's key, its time, names and pages), the details, and the
// documents' names, which a viewer is granted only on purpose.
struct LogColumnsGranted {
    bool log = false, details = false, documents = false;
};
// One row: yes or no for each of the three, in that order.
std::u16string logColumnsQuery();

struct LogQuery {
    std::u16string statement;
    std::vector<std::optional<std::u16string>> parameters;
};
// How many entries the filter gives, its search included.
LogQuery logCountQuery(const LogFilter& filter, const LogColumnsGranted& granted);
// Up to `count` entries in the order after `after` (from the first without
// it), `skip` of them skipped; with `fromEnd` the same from the other end.
// Each row is read by logEntryOfRow.
LogQuery logPageQuery(const LogFilter& filter, const LogOrder& order, const LogEntry* after,
    std::size_t count, bool fromEnd, std::size_t skip, const LogColumnsGranted& granted);
LogEntry logEntryOfRow(const std::vector<std::optional<std::u16string>>& row);

} // namespace central
