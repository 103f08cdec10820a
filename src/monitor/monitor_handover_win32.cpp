#include "monitor/monitor_handover_win32.h"

#include <sddl.h>

#include <atomic>
#include <memory>
#include <string>

#include "central/shipping_control.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "monitor/monitor_control.h"
#include "monitor/monitor_handover.h"

namespace {

// Who may use each object, whoever made it first: the service's account,
// the interactive users (the tray programs), the system and administrators.
// The mutex: wait on it and release it. The flag: the service sets it,
// everyone else may only look. The file: read and deleted by the next
// monitor, whichever account it runs under.
constexpr wchar_t mutexRights[]
    = L"D:(A;;0x00100001;;;SY)(A;;0x00100001;;;BA)(A;;0x00100001;;;LS)(A;;0x00100001;;;IU)";
constexpr wchar_t flagRights[]
    = L"D:(A;;0x001F0003;;;SY)(A;;0x001F0003;;;BA)(A;;0x001F0003;;;LS)(A;;0x00100000;;;IU)";
constexpr wchar_t fileRights[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRSD;;;LS)(A;;FRSD;;;IU)";

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Security attributes made from a descriptor's text, owning the descriptor.
class SecurityAttributes {
public:
    explicit SecurityAttributes(const wchar_t* text)
    {
        PSECURITY_DESCRIPTOR made = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &made, nullptr))
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
// hand-over, and the system closes it when the process ends.
HANDLE monitorMutex = nullptr;
// The tray program's side.
bool counting = false;
MonitorHolder holder = MonitorHolder::otherProgram;
// The service's side: the flag it holds raised while it runs.
ScopedHandle serviceFlag;
// Set while a monitor stops for another one; read by the monitor thread at its end.
std::atomic<bool> leaveStateAtStop{false};

HANDLE theMonitorMutex()
{
    if (monitorMutex != nullptr) return monitorMutex;
    SecurityAttributes rights(mutexRights);
    // Only the rights the descriptor gives: opening an existing mutex asks
    // for no more than that.
    monitorMutex
        = CreateMutexExW(rights.get(), contract::monitorMutexName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    if (monitorMutex == nullptr) fatalError(unit::monitorControl, u"42");
    return monitorMutex;
}

// An abandoned mutex is taken all the same: its last holder ended without
// letting it go (a fatal report, a killed process).
bool takeMutex(DWORD milliseconds)
{
    DWORD result = WaitForSingleObject(theMonitorMutex(), milliseconds);
    if (result == WAIT_FAILED) fatalError(unit::monitorControl, u"43");
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void letMutexGo()
{
    if (!ReleaseMutex(theMonitorMutex())) fatalError(unit::monitorControl, u"44");
}

bool serviceWantsMonitor()
{
    ScopedHandle flag(OpenEventW(SYNCHRONIZE, FALSE, contract::serviceWantsMonitorName));
    return flag && WaitForSingleObject(flag.get(), 0) == WAIT_OBJECT_0;
}

std::u16string handoverPath()
{
    return programFolder() + u"\\" + contract::handoverFileName;
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

std::uint64_t wallClock()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

bool writeWhole(const std::u16string& path, const std::string& bytes)
{
    SecurityAttributes rights(fileRights);
    ScopedHandle file(CreateFileW(
        wide(path.c_str()), GENERIC_WRITE, 0, rights.get(), CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size() && FlushFileBuffers(file.get());
}

void stopCounting(bool forAnother)
{
    leaveStateAtStop = forAnother;
    stopMonitor();
    leaveStateAtStop = false;
    // Whoever counts ships: the rows written last go too, if the central
    // database answers within moments; the service ships the rest.
    stopShipping();
    letMutexGo();
    counting = false;
}

} // namespace

bool balanceMonitor()
{
    const MonitorHolder before = holder;
    const bool wanted = serviceWantsMonitor();
    if (counting && wanted) {
        stopCounting(true);
    } else if (!counting && !wanted && takeMutex(0)) {
        counting = true;
        startMonitor();
        startShipping();
    }
    holder = counting ? MonitorHolder::thisProgram
        : wanted      ? MonitorHolder::service
                      : MonitorHolder::otherProgram;
    return holder != before;
}

void releaseMonitor()
{
    // A service starting this very moment gets what this monitor followed.
    if (counting) stopCounting(serviceWantsMonitor());
}

MonitorHolder monitorHolder()
{
    return holder;
}

bool takeMonitorForService(HANDLE stopEvent)
{
    SecurityAttributes rights(flagRights);
    serviceFlag = ScopedHandle(CreateEventExW(rights.get(), contract::serviceWantsMonitorName,
        CREATE_EVENT_MANUAL_RESET, EVENT_MODIFY_STATE | SYNCHRONIZE));
    if (!serviceFlag || !SetEvent(serviceFlag.get())) fatalError(unit::monitorControl, u"45");
    // Every stop of the service's monitor is a hand-over: a tray program may
    // take the counting back at any time after it.
    leaveStateAtStop = true;
    HANDLE waits[2] = {stopEvent, theMonitorMutex()};
    for (;;) {
        DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0) return false;
        if (result == WAIT_OBJECT_0 + 1 || result == WAIT_ABANDONED_0 + 1) return true;
        fatalError(unit::monitorControl, u"46");
    }
}

void giveUpMonitorFromService()
{
    letMutexGo();
}

void endServiceClaim()
{
    if (serviceFlag) ResetEvent(serviceFlag.get());
    serviceFlag.reset();
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
