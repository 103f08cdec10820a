#include "service/service_log_win32.h"

#include <windows.h>

#include "common/date_time_win32.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "service/service_log.h"

// Neither may end in a fatal report of its own: they are the report. What
// cannot be written is lost, and the service still stops with its exit code.
void appendServiceLog(const std::u16string& caption, const std::u16string& message)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::u16string path = dataFolder() + u"\\" + contract::serviceLogFileName;
    std::string log;
    // A log grown far past its own limit was not grown by us: it starts afresh.
    if (readWholeFile(path, log, 4 * serviceLogLimit) != FileRead::read) log.clear();
    log = appendToServiceLog(log, serviceLogEntry(fromSystemTime(now), caption, message));
    // Whole or not at all: a report cut by the end of the process must not
    // damage the reports before it.
    const std::u16string fresh = path + u".new";
    ScopedHandle file(CreateFileW(
        wide(fresh.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    bool whole = WriteFile(file.get(), log.data(), static_cast<DWORD>(log.size()), &written, nullptr)
        && written == log.size() && FlushFileBuffers(file.get());
    file.reset();
    if (!whole || !MoveFileExW(wide(fresh.c_str()), wide(path.c_str()), MOVEFILE_REPLACE_EXISTING))
        DeleteFileW(wide(fresh.c_str()));
}

void reportToEventLog(const std::u16string& message)
{
    HANDLE source = RegisterEventSourceW(nullptr, contract::eventSource);
    if (source == nullptr) return;
    const wchar_t* strings[] = {wide(message.c_str())};
    // The program's message table holds "%1" for this event: the viewer
    // shows the report's words as they are.
    ReportEventW(
        source, EVENTLOG_ERROR_TYPE, 0, contract::serviceReportEvent, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}
