// The system calls of installing and removing the service: the service
// manager, the event log source and the folder's rights. Linked into the
// programs only; the tests bring their own, which fail where a test asks.
#include <windows.h>

#include <aclapi.h>

#include <memory>

#include "common/system_message_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "service/service_setup.h"

namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

struct RegistryKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

constexpr wchar_t eventSourceKey[]
    = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Pagewarden";
// What the service may do in its folder: read, write, create and delete
// files (the database, its journal, the hand-over file and the log).
constexpr DWORD modifyRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
// Stopping waits for every finished job to be written; starting for the
// language texts and the first report of the service.
constexpr DWORD stopLimit = 120000;
constexpr DWORD startLimit = 30000;

DWORD openService(DWORD access, ServiceHandle& service)
{
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return GetLastError();
    service.reset(OpenServiceW(manager.get(), contract::serviceName, access));
    return service ? ERROR_SUCCESS : GetLastError();
}

// Polls until the service leaves the pending state; false on a failed query
// or when the limit passed first.
bool waitWhile(SC_HANDLE service, DWORD pending, DWORD limit, SERVICE_STATUS_PROCESS& status, DWORD& error)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD needed = 0;
        if (!QueryServiceStatusEx(
                service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
            error = GetLastError();
            return false;
        }
        if (status.dwCurrentState != pending) return true;
        if (GetTickCount64() - start > limit) {
            error = ERROR_SERVICE_REQUEST_TIMEOUT;
            return false;
        }
        Sleep(100);
    }
}

DWORD stopAndWait(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status{};
    SERVICE_STATUS reported{};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &reported)) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_NOT_ACTIVE) return ERROR_SUCCESS;
        // Still starting: wait for it to run, then stop it.
        if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) return error;
        if (!waitWhile(service, SERVICE_START_PENDING, startLimit, status, error)) return error;
        if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SUCCESS;
        if (!ControlService(service, SERVICE_CONTROL_STOP, &reported)) return GetLastError();
    }
    DWORD error = ERROR_SUCCESS;
    if (!waitWhile(service, SERVICE_STOP_PENDING, stopLimit, status, error)) return error;
    return ERROR_SUCCESS;
}

DWORD describe(SC_HANDLE service, const std::u16string& description)
{
    std::u16string text = description;
    SERVICE_DESCRIPTIONW described{wide(text.data())};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &described)) return GetLastError();

    // Restarted a minute after a failure, three times; the count starts over
    // after a day without one.
    SC_ACTION restart[3]
        = {{SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW actions{};
    actions.dwResetPeriod = 24 * 60 * 60;
    actions.cActions = 3;
    actions.lpsaActions = restart;
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions)) return GetLastError();
    // A fatal report ends the service with an exit code rather than a
    // crash; this makes that a failure too. A service manager that does not
    // know the setting (Wine's) still restarts after crashes.
    SERVICE_FAILURE_ACTIONS_FLAG onExitCode{TRUE};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onExitCode)
        && GetLastError() != ERROR_INVALID_LEVEL)
        return GetLastError();
    return ERROR_SUCCESS;
}

// The well-known SID of NT AUTHORITY\LocalService, whatever the system's language.
std::unique_ptr<BYTE[]> localServiceSid()
{
    DWORD size = SECURITY_MAX_SID_SIZE;
    auto sid = std::make_unique<BYTE[]>(size);
    if (!CreateWellKnownSid(WinLocalServiceSid, nullptr, sid.get(), &size)) return nullptr;
    return sid;
}

DWORD changeFolderRights(const std::u16string& folder, ACCESS_MODE mode)
{
    std::unique_ptr<BYTE[]> sid = localServiceSid();
    if (!sid) return GetLastError();
    std::u16string path = folder;
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(wide(path.data()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
        nullptr, &current, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    std::unique_ptr<void, LocalMemoryFree> ownedDescriptor(descriptor);

    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = modifyRights;
    access.grfAccessMode = mode;
    // The folder and everything in it, files made later included.
    access.grfInheritance = mode == REVOKE_ACCESS ? NO_INHERITANCE : SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid.get());
    PACL changed = nullptr;
    error = SetEntriesInAclW(1, &access, current, &changed);
    if (error != ERROR_SUCCESS) return error;
    std::unique_ptr<void, LocalMemoryFree> ownedAcl(changed);
    return SetNamedSecurityInfoW(
        wide(path.data()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, changed, nullptr);
}

} // namespace

std::uint32_t setupRegisterService(const ServiceRegistration& registration, bool& created)
{
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) return GetLastError();
    const wchar_t* commandLine = wide(registration.commandLine.c_str());
    // LocalService has no password; the service manager wants none given.
    ServiceHandle service(CreateServiceW(manager.get(), contract::serviceName, contract::serviceDisplayName,
        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, commandLine,
        nullptr, nullptr, nullptr, contract::serviceAccount, nullptr));
    created = static_cast<bool>(service);
    if (!service) {
        if (GetLastError() != ERROR_SERVICE_EXISTS) return GetLastError();
        // Installed before, perhaps from another folder: stopped, then made
        // this program, so the start below runs this copy.
        service.reset(OpenServiceW(manager.get(), contract::serviceName, SERVICE_ALL_ACCESS));
        if (!service) return GetLastError();
        if (DWORD error = stopAndWait(service.get()); error != ERROR_SUCCESS) return error;
        if (!ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                SERVICE_ERROR_NORMAL, commandLine, nullptr, nullptr, nullptr, contract::serviceAccount, L"",
                contract::serviceDisplayName))
            return GetLastError();
    }
    return describe(service.get(), registration.description);
}

std::uint32_t setupDeleteService()
{
    ServiceHandle service;
    if (DWORD error = openService(DELETE, service); error != ERROR_SUCCESS) return error;
    return DeleteService(service.get()) ? ERROR_SUCCESS : GetLastError();
}

std::uint32_t setupRegisterEventSource(const std::u16string& programPath)
{
    HKEY raw = nullptr;
    LSTATUS error = RegCreateKeyExW(
        HKEY_LOCAL_MACHINE, eventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (error != ERROR_SUCCESS) return static_cast<std::uint32_t>(error);
    RegistryKey key(raw);
    // The program's own message table turns each report into its words in
    // the event viewer.
    auto bytes = static_cast<DWORD>((programPath.size() + 1) * sizeof(char16_t));
    error = RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
        reinterpret_cast<const BYTE*>(programPath.c_str()), bytes);
    if (error != ERROR_SUCCESS) return static_cast<std::uint32_t>(error);
    DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    error = RegSetValueExW(
        key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    return static_cast<std::uint32_t>(error);
}

std::uint32_t setupRemoveEventSource()
{
    LSTATUS error = RegDeleteKeyW(HKEY_LOCAL_MACHINE, eventSourceKey);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<std::uint32_t>(error);
}

std::uint32_t setupGrantFolder(const std::u16string& folder)
{
    // SET_ACCESS rather than GRANT_ACCESS: installing twice leaves one entry.
    return changeFolderRights(folder, SET_ACCESS);
}

std::uint32_t setupRevokeFolder(const std::u16string& folder)
{
    return changeFolderRights(folder, REVOKE_ACCESS);
}

std::uint32_t setupStartService(bool& stoppedAtOnce)
{
    stoppedAtOnce = false;
    ServiceHandle service;
    if (DWORD error = openService(SERVICE_START | SERVICE_QUERY_STATUS, service); error != ERROR_SUCCESS)
        return error;
    if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return GetLastError();
    SERVICE_STATUS_PROCESS status{};
    DWORD error = ERROR_SUCCESS;
    if (!waitWhile(service.get(), SERVICE_START_PENDING, startLimit, status, error)) return error;
    stoppedAtOnce = status.dwCurrentState == SERVICE_STOPPED;
    return ERROR_SUCCESS;
}

std::uint32_t setupStopService()
{
    ServiceHandle service;
    if (DWORD error = openService(SERVICE_STOP | SERVICE_QUERY_STATUS, service); error != ERROR_SUCCESS)
        return error;
    return stopAndWait(service.get());
}

std::u16string setupErrorWords(std::uint32_t code)
{
    return systemMessage(code);
}
