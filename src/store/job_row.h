// The row a finished job gives in tbTrabajos. Portable: no Windows header here.
#pragma once

#include <cstdint>
#include <string>

#include "common/date_time.h"
#include "common/job_record.h"
#include "store/job_details.h"

// Turns the job's UTC submission time into local time; false when it cannot,
// and the row then carries the UTC time unchanged.
using LocalTimeConverter = bool (*)(const DateTime& utc, DateTime& local);

// PagesPrinted, or TotalPages when that is 0, times the device mode's copies
// when it carries them (fewer than one copy counts as one).
std::int64_t jobPageCount(const JobRecord& job);

// The row a finished job gives: all a job waiting to be written needs.
struct JobRow {
    DateTime submitted; // local time
    std::u16string user, machine, printer;
    std::int64_t pages = 0;
    std::optional<JobDetails> details; // its row in tbDetalles, if any

    friend bool operator==(const JobRow&, const JobRow&) = default;
};
// A submission time that gives no date the file can hold (a year past 9999
// after the conversion, fields out of range) is replaced by `leftQueue`, the
// local time at which the job was seen leaving its queue: the job still
// counts, near the moment it printed. The details are fixed here, at the
// prices and settings given.
JobRow jobRowOf(const JobRecord& job, LocalTimeConverter toLocal, const DateTime& leftQueue,
    const RecordSettings& settings = {});
