// The printers whose job changes the monitor is told of: for each, the open
// printer and the waitable change-notification handle, owned together and
// closed together. Only the monitor thread uses a table.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "monitor/job_changes.h"

class ChangeWatches {
public:
    ChangeWatches();
    ~ChangeWatches();
    ChangeWatches(const ChangeWatches&) = delete;
    ChangeWatches& operator=(const ChangeWatches&) = delete;

    // Opens the printer and registers for every field a job record holds.
    // False when the spooler gives no handle, whatever its last error says.
    bool watch(const std::u16string& printer);
    // Reads what the handle holds, when it is signalled. A discarded read is
    // read again refreshed. Every buffer is freed before this returns.
    ChangesOutcome read(const std::u16string& printer, ChangesRead& read);
    void unwatch(const std::u16string& printer);
    // The handle to wait on, or null.
    HANDLE handleOf(const std::u16string& printer) const;
    std::size_t size() const;

private:
    struct Watch;
    std::map<std::u16string, std::unique_ptr<Watch>> watches_;
};

// The job entries of a notification read, in order; entries of other types
// are left out.
std::vector<JobChange> changesOf(const PRINTER_NOTIFY_INFO& info);
