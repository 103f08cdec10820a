// The owned copy of one job of a level-2 job enumeration.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "common/job_record.h"

// Texts are copied whole; of the device mode only what counts copies is kept,
// and a job without one has hasDevMode false.
JobRecord copyJobRecord(const JOB_INFO_2W& job);
