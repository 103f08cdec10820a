// The timeline form of a scenario: the spooler as it changes over time, on a
// virtual clock, with the change notifications a real spooler keeps for
// every registered printer until they are read.
//   timeline pass=MS [notify=yes|unsupported] [merge] [hold=N] [clock=real]
//   at MS printer "NAME" [gone]            listed from MS on; gone: no longer listed
//   at MS job ID printer="NAME" [fields]   the job enters the queue, or changes;
//                                          a field not given keeps its value
//   at MS job ID printer="NAME" gone       the job leaves the queue
//   end MS                                 the user quits once the pass that sees MS is over
// Times are milliseconds, fractions allowed (0.25). Enumeration k sees the
// spooler as it stands at k x pass, and so does every queue read of that
// pass. A notification read returns every change not read before, in time
// order (merge: one entry per field of each job, holding the latest value); a
// job that leaves comes as its last status with JOB_STATUS_DELETED added. A
// read that would return more than N events (hold=N) is discarded, and its
// changes are lost; a refreshed read returns every queued job whole.
// notify=unsupported: registration fails as it does under Wine.
// clock=real: the clock is the time since the first enumeration instead, for
// a live run a person watches (make run); tests keep the virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/job_record.h"
#include "monitor/job_changes.h"

struct TimelineEvent {
    enum class Kind : std::uint8_t { printer, printerGone, job, jobGone };
    std::uint64_t at = 0; // microseconds
    Kind kind = Kind::printer;
    std::u16string printer;
    JobRecord job;               // the values the line gives
    std::vector<JobField> given; // which fields it gives
};

struct Timeline {
    std::uint64_t pass = 100000; // microseconds between enumerations
    bool notify = true;
    bool merge = false;
    std::optional<std::size_t> hold;
    std::vector<TimelineEvent> events; // in time order, file order among equal times
    std::optional<std::uint64_t> end;
    bool realClock = false;
};

// A job event's effect on the queue, as notifications report it.
struct LoggedChange {
    std::u16string printer;
    std::uint32_t jobId = 0;
    std::vector<JobChange> changes;
};

// The spooler a timeline describes, at the time it has been advanced to.
struct TimelineSpooler {
    const Timeline* timeline = nullptr;
    std::uint64_t now = 0;
    std::size_t applied = 0;                                 // events applied so far
    std::vector<std::u16string> listed;                      // in the order they were listed
    std::map<std::u16string, std::vector<JobRecord>> queues; // every printer ever named
    // One entry per job event applied that some open watch has not read;
    // the first is the logBase-th since the start.
    std::deque<LoggedChange> log;
    std::size_t logBase = 0;

    struct Watch {
        std::u16string printer;
        std::size_t unread = 0; // the number, since the start, of its first entry not read yet
        bool open = false;
    };
    std::vector<Watch> watches; // a watch's number is its index + 1
};

// Applies every event up to `time` (never back).
void advanceTimeline(TimelineSpooler& spooler, std::uint64_t time);
bool isListed(const TimelineSpooler& spooler, const std::u16string& printer);
const std::vector<JobRecord>& queueOf(const TimelineSpooler& spooler, const std::u16string& printer);

// Registers for the printer's job changes from now on: a watch number, or 0
// when notifications are unsupported or the printer is not listed.
std::size_t watchTimelinePrinter(TimelineSpooler& spooler, const std::u16string& printer);
void unwatchTimelinePrinter(TimelineSpooler& spooler, std::size_t watch);
// Whether the watch has changes waiting.
bool watchHasChanges(const TimelineSpooler& spooler, std::size_t watch);
// Reads what the watch holds: false when the watch is unknown or closed.
bool readTimelineChanges(TimelineSpooler& spooler, std::size_t watch, ChangesRead& read);
// Every queued job of the watch's printer, whole.
std::vector<JobChange> refreshTimelineWatch(const TimelineSpooler& spooler, std::size_t watch);

// Sorts the events by time, keeping the file's order among equal times.
void finishTimeline(Timeline& timeline);
