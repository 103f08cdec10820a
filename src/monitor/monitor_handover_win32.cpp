#include "monitor/monitor_handover_win32.h"

#include <sddl.h>

#include <atomic>
#include <memory>
#include <string>

#include "central/shipping_control.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/service_identity_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "monitor/monitor_control.h"
#include "monitor/monitor_handover.h"

namespace {

// Who may use each object, whoever made it first: the service's own SID,
// the interactive users (the tray programs), the system and administrators.
// The mutex: wait on it and release it. The file: read and deleted by the
// next monitor, whichever account it runs under. A user may still make the
// mutex first, with a list of their own: the service never waits on it for
// long, and a tray program that cannot open it only leaves the counting to
// whoever can.
std::wstring withServiceSid(const wchar_t* before, const wchar_t* after)
{
    const std::u16string sid = serviceSidString();
    return before + std::wstring(wide(sid.c_str())) + after;
}
std::wstring mutexRights()
{
    return withServiceSid(
        L"D:(A;;0x00100001;;;SY)(A;;0x00100001;;;BA)(A;;0x00100001;;;", L")(A;;0x00100001;;;IU)");
}
std::wstring fileRights()
{
    return withServiceSid(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRSD;;;", L")(A;;FRSD;;;IU)");
}

// How long a starting service waits for a tray program that counts to hand
// the monitor over: a tray program notices the service within a tick of its
// timer, and its stop ends within seconds. Past it, the mutex is somebody
// else's, and the service counts without it.
constexpr DWORD handOverLimit = 10000;

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Security attributes made from a descriptor's text, owning the descriptor.
class SecurityAttributes {
public:
    explicit SecurityAttributes(const std::wstring& text)
    {
        PSECURITY_DESCRIPTOR made = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                text.c_str(), SDDL_REVISION_1, &made, nullptr))
            fatalError(unit::monitorControl, u"41");
        descriptor_.reset(made);
        attributes_.lpSecurityDescriptor = made;
    }
    SECURITY_ATTRIBUTES* get() { return &attributes_; }

private:
    std::unique_ptr<void, LocalMemoryFree> descriptor_;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Opened once per process, kept till its end: the name must outlive every
// hand-over, and the system closes it when the process ends. Null when it
// cannot be had: somebody made an object of that name that we may not use.
HANDLE monitorMutex = nullptr;
bool mutexTried = false;
// The tray program's side.
bool counting = false;
MonitorHolder holder = MonitorHolder::otherProgram;
// A hand-over to the service, off the interface thread; done once it has
// stopped the monitor and the shipping (the mutex is let go on the thread
// that took it).
ScopedHandle handOverThread;
// The service's side: whether it got the mutex (it counts without it too).
bool serviceHoldsMutex = false;
// Set while a monitor stops for another one; read by the monitor thread at its end.
std::atomic<bool> leaveStateAtStop{false};

HANDLE theMonitorMutex()
{
    if (mutexTried) return monitorMutex;
    mutexTried = true;
    SecurityAttributes rights(mutexRights());
    // Only the rights the descriptor gives: opening an existing mutex asks
    // for no more than that.
    monitorMutex
        = CreateMutexExW(rights.get(), contract::monitorMutexName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    return monitorMutex;
}

// An abandoned mutex is taken all the same: its last holder ended without
// letting it go (a fatal report, a killed process).
bool takeMutex(DWORD milliseconds)
{
    HANDLE mutex = theMonitorMutex();
    if (mutex == nullptr) return false;
    DWORD result = WaitForSingleObject(mutex, milliseconds);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void letMutexGo()
{
    if (!ReleaseMutex(theMonitorMutex())) fatalError(unit::monitorControl, u"44");
}

std::u16string handoverPath()
{
    return dataFolder() + u"\\" + contract::handoverFileName;
}

// A hand-over this program did not leave whole is kept for whoever wants to
// know what happened, under a name no monitor reads, and none of it is used.
void setHandoverAside(const std::u16string& path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t suffix[40];
    swprintf(suffix, 40, L"-damaged-%04u%02u%02u-%02u%02u%02u.dat", now.wYear, now.wMonth, now.wDay,
        now.wHour, now.wMinute, now.wSecond);
    std::u16string aside = path.substr(0, path.size() - 4) + utf16(suffix);
    if (!MoveFileExW(wide(path.c_str()), wide(aside.c_str()), MOVEFILE_WRITE_THROUGH))
        DeleteFileW(wide(path.c_str()));
}
struct ServiceManagerCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceManagerHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceManagerCloser>;

std::uint64_t wallClock()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

bool writeWhole(const std::u16string& path, const std::string& bytes)
{
    SecurityAttributes rights(fileRights());
    ScopedHandle file(CreateFileW(
        wide(path.c_str()), GENERIC_WRITE, 0, rights.get(), CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size() && FlushFileBuffers(file.get());
}

// Stops the monitor (every finished job written, or kept in the pending
// file) and the shipping; the mutex stays with the caller.
void stopCounting(bool forAnother)
{
    leaveStateAtStop = forAnother;
    stopMonitor();
    leaveStateAtStop = false;
    // Whoever counts ships: the rows written last go too, if the central
    // database answers within moments; the service ships the rest.
    stopShipping();
}

DWORD WINAPI handOverToService(void*)
{
    stopCounting(true);
    return 0;
}

// A hand-over that has ended lets the mutex go here, on the thread that took it.
bool handOverUnderWay()
{
    if (!handOverThread) return false;
    if (WaitForSingleObject(handOverThread.get(), 0) == WAIT_TIMEOUT) return true;
    handOverThread.reset();
    letMutexGo();
    counting = false;
    return false;
}

} // namespace

bool serviceIsRunning()
{
    ServiceManagerHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    ServiceManagerHandle service(OpenServiceW(manager.get(), contract::serviceName, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    // Starting, running or stopping: until it has stopped, the counting is
    // the service's, and what it hands back is only there once it has.
    return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
}

bool balanceMonitor()
{
    const MonitorHolder before = holder;
    const bool wanted = serviceIsRunning();
    if (!handOverUnderWay()) {
        if (counting && wanted) {
            // Off this thread: the stop may wait for the database and the
            // central server, and the window must answer meanwhile.
            handOverThread = ScopedHandle(CreateThread(nullptr, 0, handOverToService, nullptr, 0, nullptr));
            if (!handOverThread) fatalError(unit::monitorControl, u"47");
        } else if (!counting && !wanted && takeMutex(0)) {
            counting = true;
            startMonitor();
            startShipping();
        }
    }
    holder = counting && !handOverThread ? MonitorHolder::thisProgram
        : wanted                         ? MonitorHolder::service
                                         : MonitorHolder::otherProgram;
    return holder != before;
}

void releaseMonitor()
{
    if (handOverThread) {
        WaitForSingleObject(handOverThread.get(), INFINITE);
        handOverUnderWay();
        return;
    }
    // A service starting this very moment gets what this monitor followed.
    if (!counting) return;
    stopCounting(serviceIsRunning());
    letMutexGo();
    counting = false;
}

MonitorHolder monitorHolder()
{
    return holder;
}

bool takeMonitorForService(HANDLE stopEvent)
{
    // Every stop of the service's monitor is a hand-over: a tray program may
    // take the counting back at any time after it.
    leaveStateAtStop = true;
    HANDLE mutex = theMonitorMutex();
    if (mutex == nullptr) return WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0;
    HANDLE waits[2] = {stopEvent, mutex};
    const DWORD result = WaitForMultipleObjects(2, waits, FALSE, handOverLimit);
    if (result == WAIT_OBJECT_0) return false;
    serviceHoldsMutex = result == WAIT_OBJECT_0 + 1 || result == WAIT_ABANDONED_0 + 1;
    return true;
}

void giveUpMonitorFromService()
{
    if (serviceHoldsMutex) letMutexGo();
    serviceHoldsMutex = false;
}

void takeOverMonitorState(MonitorState& state, std::uint64_t now)
{
    const std::u16string path = handoverPath();
    std::string bytes;
    const FileRead read = readWholeFile(path, bytes, handoverFileLimit);
    std::string damage;
    if (read == FileRead::tooLarge) {
        setHandoverAside(path);
        return;
    }
    if (read != FileRead::read) return;
    MonitorState taken;
    const bool whole = decodeMonitorState(bytes, now, wallClock(), taken, &damage);
    if (!damage.empty()) {
        setHandoverAside(path);
        return;
    }
    // Taken only once it is gone: a state read twice would record its
    // finished jobs twice.
    if (!DeleteFileW(wide(path.c_str()))) return;
    if (whole) state = std::move(taken);
}

void leaveMonitorState(const MonitorState& state, std::uint64_t now)
{
    if (!leaveStateAtStop) return;
    const std::u16string path = handoverPath();
    const std::u16string fresh = path + u".new";
    // Written whole before it takes the name, so the next monitor never
    // reads half a state. Without it, the next monitor starts afresh, as
    // any monitor does after a start.
    if (writeWhole(fresh, encodeMonitorState(state, now, wallClock()))
        && MoveFileExW(
            wide(fresh.c_str()), wide(path.c_str()), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return;
    DeleteFileW(wide(fresh.c_str()));
    DeleteFileW(wide(path.c_str()));
}
