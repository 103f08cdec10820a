// The owned copy of one job of a level-2 job enumeration.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "common/job_record.h"

// Texts are copied whole; of the device mode only what counts copies and
// describes the printout is kept, and a job without one has hasDevMode false.
JobRecord copyJobRecord(const JOB_INFO_2W& job);

// The printout's fields of a device mode of which `bytes` can be read (the
// spooler may hand out less than the public part): a field beyond them
// reads 0 and its flag is taken out of `fields`.
DeviceModeDetails copyDeviceModeDetails(const DEVMODEW& devMode, std::size_t bytes, std::uint32_t& fields);
