// The recording settings of "pagewarden.ini" beside the program, read as a
// finished job's row is made, so a job is priced at the prices of its day.
#pragma once

#include "store/job_details.h"

// Nothing recorded beyond the pages' defaults when the file is missing,
// unreadable or larger than a settings file can sensibly be (1 MiB).
RecordSettings readRecordSettings();
