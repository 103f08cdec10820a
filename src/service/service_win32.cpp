// The service plumbing in one place: the control handler only records the
// request and signals; the service's own thread starts and stops the
// monitor; every status goes to the service manager from reportStatus.
#include "service/service_win32.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "central/shipping_control.h"
#include "common/database_lock_win32.h"
#include "common/fatal_report.h"
#include "common/scoped_handle_win32.h"
#include "common/window_contract.h"
#include "monitor/monitor_control.h"
#include "monitor/monitor_handover_win32.h"
#include "monitor/recorder_win32.h"
#include "service/service_log_win32.h"
#include "store/database_worker_win32.h"

namespace {

// What the service manager is told to allow for each step, in milliseconds:
// stopping waits for every finished job to be written, and a status comes
// at least this often meanwhile.
constexpr DWORD startWaitHint = 10000;
constexpr DWORD stopWaitHint = 5000;
constexpr DWORD stopReportPeriod = 1000;
// The service-specific exit code of a fatal report: the service failed, and
// its log and the event log say why.
constexpr DWORD fatalExitCode = 1;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
std::mutex statusLock; // the handler, the service's thread and a failing thread all report
SERVICE_STATUS status{};
ScopedHandle stopRequested;

void reportStatus(DWORD state, DWORD waitHint = 0, DWORD exitCode = 0)
{
    std::lock_guard lock(statusLock);
    if (statusHandle == nullptr) return;
    // Once stopped, nothing more: a late report would revive a stopped service.
    if (status.dwCurrentState == SERVICE_STOPPED) return;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    // The notice before shutdown comes while the system still waits for
    // services (the shutdown notice gives seconds only): the stop writes
    // every finished job, or keeps it in the pending file, within it.
    status.dwControlsAccepted = state == SERVICE_RUNNING
        ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN
        : 0;
    status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    status.dwWaitHint = pending ? waitHint : 0;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    SetServiceStatus(statusHandle, &status);
}

void reportToLogs(const std::u16string& message, const std::u16string& caption)
{
    appendServiceLog(caption, message);
    reportToEventLog(message);
    // Stopped with an exit code, so the service manager counts a failure
    // and its failure actions start the service again.
    reportStatus(SERVICE_STOPPED, 0, fatalExitCode);
}

void reportToLogFile(const std::u16string& message, const std::u16string& caption)
{
    appendServiceLog(caption, message);
}

DWORD WINAPI onControl(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
        reportStatus(SERVICE_STOP_PENDING, stopWaitHint);
        SetEvent(stopRequested.get());
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD WINAPI stopThread(void*)
{
    // The same stop as a tray quit: a preparation of the file under way is
    // rolled back, the monitor ends its pass, and the recorder writes every
    // finished job (or keeps it in the pending file while another program
    // holds the database).
    stopDatabaseWorker();
    stopMonitor();
    // Then what the monitor wrote last goes to the central database, if one
    // is set and answers within moments.
    stopShipping();
    return 0;
}

// The stop can take as long as a busy database makes the recorders wait;
// the service manager hears that it goes on, once a second.
void stopCountingWhileReporting()
{
    ScopedHandle stopper(CreateThread(nullptr, 0, stopThread, nullptr, 0, nullptr));
    if (!stopper) fatalError(unit::service, u"21");
    while (WaitForSingleObject(stopper.get(), stopReportPeriod) == WAIT_TIMEOUT)
        reportStatus(SERVICE_STOP_PENDING, stopWaitHint);
}

void WINAPI serviceMain(DWORD, LPWSTR*)
{
    statusHandle = RegisterServiceCtrlHandlerExW(contract::serviceName, onControl, nullptr);
    if (statusHandle == nullptr) fatalError(unit::service, u"11");
    reportStatus(SERVICE_START_PENDING, startWaitHint);
    // The lock of this process's own recorders. Unnamed: the tray program's
    // named one guards a single copy per session, and a service sharing its
    // name would turn the tray program away.
    dbMutex = CreateMutexW(nullptr, FALSE, nullptr);
    if (dbMutex == nullptr) fatalError(unit::service, u"12");
    // Running from here on, also while a tray program hands the monitor
    // over: the tray programs yield to a running service, and a stop is
    // answered at once in the meantime.
    reportStatus(SERVICE_RUNNING);
    if (takeMonitorForService(stopRequested.get())) {
        // Started once the tray program has let the counting go, so that
        // the rows it had to keep in the pending file are written first;
        // the recorder writes once the file is ready.
        startDatabaseWorker(nullptr, allowRecording);
        startMonitor();
        startShipping();
        WaitForSingleObject(stopRequested.get(), INFINITE);
        stopCountingWhileReporting();
        giveUpMonitorFromService();
    }
    CloseHandle(dbMutex);
    reportStatus(SERVICE_STOPPED);
}

} // namespace

void prepareServiceReports()
{
    sendFatalReportsTo(reportToLogs);
    // Nor may the system itself ask anything: no box for a missing disk or a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

void prepareQuietReports()
{
    sendFatalReportsTo(reportToLogFile);
}

int runService()
{
    stopRequested = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopRequested) fatalError(unit::service, u"13");
    std::wstring name = contract::serviceName; // the table wants it writable
    SERVICE_TABLE_ENTRYW services[] = {{name.data(), serviceMain}, {nullptr, nullptr}};
    // Fails when a user starts "/service" by hand: the log says so.
    if (!StartServiceCtrlDispatcherW(services)) fatalError(unit::service, u"14");
    return 0;
}
