// Changes to jobs as the spooler's change notifications report them: one
// entry per field of one job, numbered as winspool numbers its job fields.
// Portable: the Win32 side turns PRINTER_NOTIFY_INFO_DATA into these and
// back, and the scripted spooler makes them from its timeline.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/job_record.h"

// JOB_NOTIFY_FIELD_* of winspool.h.
enum class JobField : std::uint16_t {
    printerName = 0x00,
    machineName = 0x01,
    portName = 0x02,
    userName = 0x03,
    notifyName = 0x04,
    datatype = 0x05,
    printProcessor = 0x06,
    parameters = 0x07,
    driverName = 0x08,
    devMode = 0x09,
    status = 0x0A,
    statusText = 0x0B,
    securityDescriptor = 0x0C,
    document = 0x0D,
    priority = 0x0E,
    position = 0x0F,
    submitted = 0x10,
    startTime = 0x11,
    untilTime = 0x12,
    time = 0x13,
    totalPages = 0x14,
    pagesPrinted = 0x15,
    totalBytes = 0x16,
    bytesPrinted = 0x17,
};

// Every field a JobRecord holds: what the monitor asks to be told about.
inline constexpr std::array<JobField, 21> recordFields = {JobField::printerName, JobField::machineName,
    JobField::userName, JobField::notifyName, JobField::datatype, JobField::printProcessor,
    JobField::parameters, JobField::driverName, JobField::devMode, JobField::status, JobField::statusText,
    JobField::document, JobField::priority, JobField::position, JobField::submitted, JobField::startTime,
    JobField::untilTime, JobField::time, JobField::totalPages, JobField::pagesPrinted, JobField::totalBytes};

enum class FieldKind : std::uint8_t { number, text, time, devMode, other };
FieldKind kindOf(JobField field);

// JOB_STATUS_DELETED: the job has left its queue. JOB_STATUS_DELETING comes
// before it.
inline constexpr std::uint32_t jobStatusDeleted = 0x100;
inline constexpr std::uint32_t jobStatusDeleting = 0x4;

// The new value of one field of one job.
struct JobChange {
    std::uint32_t jobId = 0;
    JobField field = JobField::status;
    std::uint32_t number = 0;           // FieldKind::number
    std::optional<std::u16string> text; // FieldKind::text; none: the spooler gave no text
    DateTime time;                      // FieldKind::time (Submitted, UTC)
    bool hasDevMode = false;            // FieldKind::devMode
    std::uint32_t dmFields = 0;
    std::int16_t dmCopies = 0;
    DeviceModeDetails details;
};

// The change that gives `field` the value it has in `job`.
JobChange changeOf(const JobRecord& job, JobField field);
// One change per field of recordFields: the job whole, as a newly queued job
// or a refreshed read reports it.
std::vector<JobChange> wholeJob(const JobRecord& job);
void applyChange(JobRecord& job, const JobChange& change);

// What a read of a printer's notifications gave.
struct ChangesRead {
    // The spooler could not keep every change (PRINTER_NOTIFY_INFO_DISCARDED):
    // `changes` then holds a refreshed read of every queued job, and what
    // happened in the gap is lost.
    bool discarded = false;
    std::vector<JobChange> changes; // in the order the spooler gave them
};

enum class ChangesOutcome : std::uint8_t {
    nothing, // no change waiting
    read,    // read filled
    failed,  // the read failed: the printer is polled only from now on
};
