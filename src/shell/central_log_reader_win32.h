// Every computer's job log for the Jobs tab, read from the central database
// on a thread of its own, so that a slow or absent server never holds up the
// window: the list asks for an entry, one not read yet is asked for, and the
// window gets centralLogMessage once a count or a page came.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "store/job_log.h"

inline constexpr UINT centralLogMessage = WM_APP + 43;

// Forgets what was read and asks for the number of entries anew.
void startCentralLog(HWND window, const LogFilter& filter, const LogOrder& order);
// The entry if read; otherwise it is asked for, and empty.
std::optional<LogEntry> centralLogEntry(std::int64_t index);

struct CentralLogState {
    std::optional<std::int64_t> count; // known once the server said it
    bool granted = true;               // false: the role may not read the log
    std::u16string error;              // the server's last failure in words
};
CentralLogState centralLogState();

// Every entry of the filter in the order, a page at a time on the calling
// thread; stops when `cancel` is set or onEntry returns false. onProgress
// gets the share read in thousandths. False when it stopped or failed; a
// failure's reason in words into `why` when given.
bool forEachCentralLogEntry(const LogFilter& filter, const LogOrder& order,
    const std::function<bool(const LogEntry&)>& onEntry, const std::atomic<bool>& cancel,
    const std::function<void(int permille)>& onProgress, std::u16string* why = nullptr);
