// What one pass over the print spooler means for each followed printer and
// job: which printers are followed, which jobs are followed with which
// printing marks, and which jobs have finished and go to a recorder.
// Portable: the spooler is reached only through the plain functions of
// SpoolerReads, so the same passes run against Windows or a scenario file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/job_record.h"

// Status bits that show a job being printed or just printed. Windows marks a
// job that has been sent or printed COMPLETE or PRINTED just before it leaves
// the queue, so a job whose last sighting says so was printed as well.
inline constexpr std::uint32_t jobStatusPrinting = 0x10;
inline constexpr std::uint32_t jobStatusPrinted = 0x80;
inline constexpr std::uint32_t jobStatusComplete = 0x1000;

bool isPrintingStatus(std::uint32_t status);

// One followed printer. The i-th mark and flag belong to the i-th job; a job
// was seen printing at the last poll when both are non-zero (mark:
// PagesPrinted + 1, flag: -1).
struct PrinterEntry {
    std::u16string name; // as the enumeration gave it
    std::vector<JobRecord> jobs;
    std::vector<std::uint32_t> marks;
    std::vector<std::int32_t> flags;
};

bool seenPrinting(const PrinterEntry& entry, std::size_t job);

// Merges a new enumeration into the followed printers, in the enumeration's
// order. Returns the jobs to record: those of printers that vanished whose
// PagesPrinted is not 0. An empty enumeration drops every job unrecorded.
std::vector<JobRecord> refreshPrinters(
    std::vector<PrinterEntry>& printers, const std::vector<std::u16string>& names);

// Replaces a printer's followed jobs by a new reading of its queue (empty when
// the queue could not be read) and returns the jobs that left it after being
// seen printing, as they were last seen.
std::vector<JobRecord> followJobs(PrinterEntry& entry, std::vector<JobRecord> newJobs);

// ---- the spooler as the passes see it ---------------------------------------------

enum class EnumOutcome : std::uint8_t {
    listed,      // names filled (possibly none)
    unreachable, // the spooler service cannot be reached (1722)
    failed,      // any other failure that did not ask for a larger buffer
};

struct QueueRead {
    std::uint32_t jobCount = 0;  // what the printer reports, even when its queue cannot be read
    std::vector<JobRecord> jobs; // empty when the job enumeration failed
};

struct SpoolerReads {
    void* context = nullptr;
    EnumOutcome (*enumPrinters)(void* context, std::vector<std::u16string>& names) = nullptr;
    // False when the printer cannot be opened: its followed jobs stay as they are.
    bool (*readQueue)(void* context, const std::u16string& printer, QueueRead& read) = nullptr;
    // Waits before the enumeration is tried again; true when a stop came meanwhile.
    bool (*waitBeforeRetry)(void* context, std::uint32_t milliseconds) = nullptr;
};

// Pauses, in milliseconds.
inline constexpr std::uint32_t pollPeriod = 100;        // between idle passes
inline constexpr std::uint32_t busyPause = 10;          // between passes while queues hold jobs
inline constexpr std::uint32_t unreachableRetry = 1000; // spooler service down
inline constexpr std::uint32_t failedRetry = 10;        // other enumeration failures

// Enumerates until the spooler answers. False when a stop came while waiting.
bool enumeratePrinters(const SpoolerReads& spooler, std::vector<std::u16string>& names);

// Reads every followed printer's queue, appending finished jobs to toRecord.
// Returns the busy flag: true when some printer reported jobs.
bool pollQueues(
    std::vector<PrinterEntry>& printers, const SpoolerReads& spooler, std::vector<JobRecord>& toRecord);

struct PassOutcome {
    bool stopped = false; // a stop came while the spooler was being retried
    bool busy = false;
};

// One whole pass: enumeration, merge, every queue. Finished jobs are appended
// to toRecord in the order they were found.
PassOutcome runPass(
    std::vector<PrinterEntry>& printers, const SpoolerReads& spooler, std::vector<JobRecord>& toRecord);

// The pause before the next pass. Idle passes keep a fixed 100 ms schedule
// from the pacing mark (the tick of the last idle pass); a late pass or a
// wrapped tick counter restarts the schedule. Busy passes leave the mark alone.
std::uint32_t pacePass(std::uint32_t& mark, std::uint32_t now);
std::uint32_t pauseAfterPass(bool busy, std::uint32_t& mark, std::uint32_t now);
