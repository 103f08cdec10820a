// What one pass over the print spooler means for each followed printer and
// job: which printers are followed, which jobs are followed with which
// printing marks, and which jobs have finished and go to a recorder.
// Portable: the spooler is reached only through the plain functions of
// SpoolerReads, so the same passes run against Windows or a scenario file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/job_record.h"
#include "monitor/job_changes.h"
#include "monitor/recorded_jobs.h"

// Status bits that show a job being printed or just printed. Windows marks a
// job that has been sent or printed COMPLETE or PRINTED just before it leaves
// the queue, so a job whose last sighting says so was printed as well.
inline constexpr std::uint32_t jobStatusPrinting = 0x10;
inline constexpr std::uint32_t jobStatusPrinted = 0x80;
inline constexpr std::uint32_t jobStatusComplete = 0x1000;

bool isPrintingStatus(std::uint32_t status);

// One followed printer. The i-th mark and flag belong to the i-th job; a job
// was seen printing at its latest sighting, by a poll or a change
// notification, when both are non-zero (mark: PagesPrinted + 1, in 64 bits so
// that a job reporting 0xFFFFFFFF pages printed does not wrap to 0 and go
// unseen; flag: -1).
struct PrinterEntry {
    std::u16string name; // as the enumeration gave it
    std::vector<JobRecord> jobs;
    std::vector<std::uint64_t> marks;
    std::vector<std::int32_t> flags;
    // Whether the i-th job's submission time is known. A job known only from
    // the tail of its changes (its start lost in a discarded read, or the
    // late changes of a job already recorded) cannot be told from another
    // with its id, so it is never recorded.
    std::vector<std::uint8_t> dated;
    bool watched = false;        // its change notifications are registered
    std::uint64_t nextWatch = 0; // when a failed registration is tried again
};

bool seenPrinting(const PrinterEntry& entry, std::size_t job);
bool isDated(const PrinterEntry& entry, std::size_t job);

// Merges a new enumeration into the followed printers, in the enumeration's
// order. Returns the jobs to record: those of printers that vanished whose
// PagesPrinted is not 0, also when the enumeration lists no printer at all.
std::vector<JobRecord> refreshPrinters(
    std::vector<PrinterEntry>& printers, const std::vector<std::u16string>& names);

// Replaces a printer's followed jobs by a new reading of its whole queue and
// returns the jobs that left it after being seen printing, as they were last
// seen. A job is the same job from poll to poll when its JobId and its
// Submitted time both match: the spooler hands a freed id to the next job.
std::vector<JobRecord> followJobs(PrinterEntry& entry, std::vector<JobRecord> newJobs);

// Folds a read of change notifications into a printer's followed jobs, in the
// order the spooler gave them, and returns the jobs that left the queue (a
// status with JOB_STATUS_DELETED) after their latest sighting showed them
// printing, printed or complete, as they stood when they left. The changes
// of one job that come together are applied together. A new submission
// time under a followed id means the followed job has left. A status that
// says only that the job is being deleted keeps the sighting before it.
std::vector<JobRecord> foldChanges(PrinterEntry& entry, const std::vector<JobChange>& changes);

// ---- the spooler as the passes see it ---------------------------------------------

enum class EnumOutcome : std::uint8_t {
    listed,      // names filled (possibly none)
    unreachable, // the spooler service cannot be reached (1722)
    failed,      // any other failure that did not ask for a larger buffer
};

// How the reading of one printer's queue went. Only `read` says anything
// about the jobs: after any other outcome the printer's followed jobs stay
// as they are for the pass and are judged at its next good reading, for a
// queue that could not be read has not been seen empty.
enum class QueueOutcome : std::uint8_t {
    read,       // jobs holds the whole queue
    unopened,   // the printer could not be opened
    infoFailed, // opened, but its information could not be read (server gone, printer deleted)
    jobsFailed, // its job count was read, its jobs could not be
};

struct QueueRead {
    std::uint32_t jobCount = 0; // what the printer reports; read also when its jobs cannot be
    std::vector<JobRecord> jobs;
};

struct SpoolerReads {
    void* context = nullptr;
    EnumOutcome (*enumPrinters)(void* context, std::vector<std::u16string>& names) = nullptr;
    QueueOutcome (*readQueue)(void* context, const std::u16string& printer, QueueRead& read) = nullptr;
    // Waits before the enumeration is tried again; true when a stop came meanwhile.
    bool (*waitBeforeRetry)(void* context, std::uint32_t milliseconds) = nullptr;
    // Asked before each printer's queue: a slow print server must not hold
    // up a quit for the rest of the pass.
    bool (*stopRequested)(void* context) = nullptr;
    // Change notifications, beside the polls; all null: polls only. A job
    // that comes and goes between two polls is still reported by them.
    // Registers for the printer's job changes; false when the spooler cannot.
    bool (*watchPrinter)(void* context, const std::u16string& printer) = nullptr;
    // Reads what is waiting, if anything, without blocking.
    ChangesOutcome (*readChanges)(void* context, const std::u16string& printer, ChangesRead& read) = nullptr;
    void (*unwatchPrinter)(void* context, const std::u16string& printer) = nullptr;
};

// Pauses, in milliseconds.
inline constexpr std::uint32_t pollPeriod = 100;        // between idle passes
inline constexpr std::uint32_t busyPause = 10;          // between passes while queues hold jobs
inline constexpr std::uint32_t unreachableRetry = 1000; // spooler service down
inline constexpr std::uint32_t failedRetry = 10;        // other enumeration failures
inline constexpr std::uint64_t watchRetry = 60000;      // a registration that failed, or a failed read

// Enumerates until the spooler answers. False when a stop came while waiting.
bool enumeratePrinters(const SpoolerReads& spooler, std::vector<std::u16string>& names);

struct PassOutcome {
    bool stopped = false; // a stop came while the spooler was retried or between two printers
    bool busy = false;    // some printer reported jobs
};

// Reads every followed printer's queue, appending finished jobs to finished.
// A watched printer's waiting changes are folded in first, so a job that left
// since is judged on its latest sighting; a printer read well is watched from
// then on, or its registration is tried again `watchRetry` after it failed.
// A stop request seen before a printer ends the reading there: the printers
// not read keep their jobs, and none of them is judged.
PassOutcome pollQueues(std::vector<PrinterEntry>& printers, const SpoolerReads& spooler,
    std::vector<JobRecord>& finished, std::uint64_t now = 0);

// What the monitor keeps from one pass to the next.
struct MonitorState {
    std::vector<PrinterEntry> printers;
    RecordedJobs recorded;
};

// One whole pass: enumeration, merge, every queue. Finished jobs that were
// not recorded before are appended to toRecord in the order they were found,
// and remembered as recorded from `now` (milliseconds) on. The jobs found
// before a stop are handed over too.
PassOutcome runPass(
    MonitorState& state, const SpoolerReads& spooler, std::uint64_t now, std::vector<JobRecord>& toRecord);

// Between passes: reads and folds the waiting changes of the watched printer
// `printer` (an index into state.printers). A discarded read is followed by
// a poll of that queue at once. A failed read ends the watch: the printer is
// polled only until its registration is tried again. Finished jobs that were
// not recorded before are appended to toRecord, as runPass does.
void readPrinterChanges(MonitorState& state, const SpoolerReads& spooler, std::size_t printer,
    std::uint64_t now, std::vector<JobRecord>& toRecord);
// The same for every watched printer, in order.
void readAllChanges(
    MonitorState& state, const SpoolerReads& spooler, std::uint64_t now, std::vector<JobRecord>& toRecord);
// Ends every watch: at stop.
void unwatchAll(MonitorState& state, const SpoolerReads& spooler);

// The pause before the next pass. Idle passes keep a fixed 100 ms schedule
// from the pacing mark (the tick of the last idle pass); a late pass or a
// wrapped tick counter restarts the schedule. Busy passes leave the mark alone.
std::uint32_t pacePass(std::uint32_t& mark, std::uint32_t now);
std::uint32_t pauseAfterPass(bool busy, std::uint32_t& mark, std::uint32_t now);
