// A spooler played from a scenario file, for tests and the simulation build.
// The file is UTF-8, one directive a line:
//   pass [unreachable] [after="FILE"]     the next snapshot of the spooler; with
//                                         after=, not before FILE exists beside
//                                         the program (the last one repeats till then)
//   printer "NAME" [unopenable] [info-fails] [jobs-fail] [reports=N] [slow=MS] [quit]
//   job ID [status=N] [printed=N] [total=N] [copies=N] [user=U] [machine=M]
//          [document="D"] [submitted=YYYY-MM-DDTHH:MM:SS.mmm] [nodevmode]
//          [color=yes|no] [duplex=none|long|short] [papersize=N] [form="NAME"]
//          [size=BYTES]                  each device-mode field given sets its
//                                        flag in dmFields; one not given leaves it out
//   end                                   quit once the last snapshot's pass is over
// Or, when the first directive is `timeline`, the spooler over time on a
// virtual clock, with change notifications (scripted_timeline.h).
// The words after a printer's name, for that snapshot only:
//   unopenable   OpenPrinterW fails
//   info-fails   opened, GetPrinterW fails without asking for a larger buffer
//   jobs-fail    EnumJobsW fails without asking for a larger buffer
//   reports=N    GetPrinterW reports N jobs, whatever the queue holds (a job
//                queued or gone between the two calls)
//   slow=MS      opening the printer takes MS milliseconds (a slow print server)
//   quit         the user quits while this printer is being read
// Blank lines and lines starting with # are ignored; a quoted value runs from
// one " to the next, so names may hold blanks, apostrophes and backslashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/job_record.h"
#include "monitor/job_tracking.h"
#include "monitor/sim/scripted_timeline.h"

struct ScriptedPrinter {
    std::u16string name;
    bool unopenable = false;
    bool infoFails = false; // the printer information cannot be read once it is opened
    bool jobsFail = false;  // the job enumeration fails without asking for a larger buffer
    std::optional<std::uint32_t>
        reportedJobs;                   // the job count of the printer information, when not the queue's
    std::uint32_t slowMilliseconds = 0; // how long opening it takes
    bool quitWhileRead = false;
    std::vector<JobRecord> jobs;
};

// The job count the printer information of this printer gives.
std::uint32_t reportedJobCount(const ScriptedPrinter& printer);

struct Snapshot {
    bool unreachable = false; // the enumeration fails with 1722
    std::u16string after;     // taken only once this file exists; empty: at once
    std::vector<ScriptedPrinter> printers;
};

struct Scenario {
    std::vector<Snapshot> snapshots;
    bool end = false;
    std::optional<Timeline> timeline; // a timeline instead of snapshots
};

// False with a message naming the line when the text is not a scenario.
bool parseScenario(std::string_view text, Scenario& scenario, std::string& error);

// Plays a scenario: each enumeration takes the next snapshot (the last one
// repeats), and the queue reads that follow answer from it.
struct ScriptedSpooler {
    Scenario scenario;
    std::size_t taken = 0;      // snapshots handed out so far
    bool quitAfterPass = false; // the last snapshot was listed; quit once its pass is over
    bool quitDue = false;       // the quit should be given now
    bool quitGiven = false;
    std::vector<std::uint32_t> retryWaits; // waits asked for before retrying an enumeration
    std::uint64_t readingMilliseconds = 0; // time the slow printers took to open, in all
    // Whether the file a snapshot waits for exists; none: every file does.
    bool (*fileExists)(const std::u16string& name) = nullptr;

    // A timeline's spooler: enumeration k advances it to k x pass, unless
    // the caller keeps the clock itself (a benchmark's own pacing).
    TimelineSpooler timeline;
    Snapshot timelineSnapshot; // the listed printers as the clock stands
    std::uint64_t enumerations = 0;
    bool manualClock = false;
    // The real clock of a clock=real timeline, in microseconds; none: k x pass.
    std::uint64_t (*realClock)() = nullptr;
    std::uint64_t realStart = 0;
    std::map<std::u16string, std::size_t> watchOf; // printer -> watch number, for scriptedReads
};

// The snapshot a timeline gives at the time its spooler stands at.
void refreshTimelineSnapshot(ScriptedSpooler& spooler);

const Snapshot& takeSnapshot(ScriptedSpooler& spooler);
const Snapshot& currentSnapshot(const ScriptedSpooler& spooler);
const ScriptedPrinter* findScriptedPrinter(const Snapshot& snapshot, const std::u16string& name);
// Called when a pass is over.
void finishPass(ScriptedSpooler& spooler);
// Called when a printer marked quit is being read: the quit is due at once.
void quitWhileReading(ScriptedSpooler& spooler);
// True exactly once, when the scenario's end has come.
bool takeQuit(ScriptedSpooler& spooler);

// The spooler reads answered from the scenario. A retry wait and the check
// between printers report a stop once the quit is due, as the quit of the
// real program would.
SpoolerReads scriptedReads(ScriptedSpooler& spooler);

// UTF-8 to UTF-16; false on a malformed sequence.
bool utf8ToUtf16(std::string_view text, std::u16string& result);
