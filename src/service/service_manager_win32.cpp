// The system calls of installing and removing the service: the service
// manager, the event log source, the access lists of the program's files
// and of the data folder. Linked into the
// programs only; the tests bring their own, which fail where a test asks.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "common/folders_win32.h"
#include "common/scoped_handle_win32.h"
#include "common/service_identity_win32.h"
#include "common/system_message_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "service/service_setup.h"

namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

struct RegistryKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

constexpr wchar_t eventSourceKey[]
    = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Pagewarden";
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
    // The service's own SID in its token, so the data folder's list can
    // name it rather than LocalService, which other services share.
    SERVICE_SID_INFO sidInfo{SERVICE_SID_TYPE_UNRESTRICTED};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sidInfo)
        && GetLastError() != ERROR_INVALID_LEVEL)
        return GetLastError();
    return ERROR_SUCCESS;
}

// Access lists as text: SIDs and rights as the system writes them in SDDL.
struct SecurityFree {
    void operator()(void* memory) const { LocalFree(memory); }
};
using OwnedMemory = std::unique_ptr<void, SecurityFree>;

std::u16string sidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return u"";
    OwnedMemory owned(text);
    return utf16(text);
}

// DOMAIN\name for the words of a refusal; the SID when it has no name.
std::u16string accountName(PSID sid)
{
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return sidText(sid);
    return domainSize == 0 ? std::u16string(utf16(name))
                           : std::u16string(utf16(domain)) + u"\\" + utf16(name);
}

DWORD readSecurity(const std::u16string& path, ObjectSecurity& object)
{
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::u16string name = path;
    DWORD error = GetNamedSecurityInfoW(wide(name.data()), SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &list, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    OwnedMemory owned(descriptor);
    object = ObjectSecurity{path, sidText(owner), accountName(owner), list != nullptr, {}};
    for (DWORD index = 0; list != nullptr && index < list->AceCount; ++index) {
        void* raw = nullptr;
        if (!GetAce(list, index, &raw)) return GetLastError();
        const auto* header = static_cast<ACE_HEADER*>(raw);
        // Allowing and denying entries share their layout up to the SID;
        // other kinds (audit, object entries) grant nothing here.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        PSID trustee = &ace->SidStart;
        object.entries.push_back({sidText(trustee), accountName(trustee), ace->Mask,
            header->AceType == ACCESS_ALLOWED_ACE_TYPE, (header->AceFlags & INHERIT_ONLY_ACE) != 0});
    }
    return ERROR_SUCCESS;
}

// The entries of a folder a service runs code from: its programs, libraries
// and spooler drivers, and the language folder with everything in it.
bool isCode(const std::u16string& name)
{
    const std::size_t dot = name.find_last_of(u'.');
    if (dot == std::u16string::npos) return false;
    std::u16string extension = name.substr(dot);
    for (char16_t& c : extension)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return extension == u".exe" || extension == u".dll" || extension == u".drv" || extension == u".ocx";
}

DWORD readFolder(const std::u16string& folder, bool everything, std::vector<ObjectSecurity>& objects)
{
    WIN32_FIND_DATAW entry;
    const std::u16string pattern = folder + u"\\*";
    HANDLE search = FindFirstFileW(wide(pattern.c_str()), &entry);
    if (search == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = ERROR_SUCCESS;
    do {
        const std::u16string name(utf16(entry.cFileName));
        if (name == u"." || name == u".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        if (!everything && !isCode(name)) continue;
        objects.emplace_back();
        error = readSecurity(folder + u"\\" + name, objects.back());
    } while (error == ERROR_SUCCESS && FindNextFileW(search, &entry));
    FindClose(search);
    return error;
}

// The list of one trustee's entries taken off, or the data folder's whole
// list set; in both, a protected list stays protected.
DWORD setList(const std::u16string& folder, PACL list, bool protectedList)
{
    std::u16string path = folder;
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION
        | (protectedList ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    return SetNamedSecurityInfoW(wide(path.data()), SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr);
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

std::uint32_t setupReadProgramFiles(
    const std::u16string& programFolder, std::vector<ObjectSecurity>& objects, std::u16string& installerSid)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return GetLastError();
    ScopedHandle token(rawToken);
    BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size)) return GetLastError();
    installerSid = sidText(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);

    objects.emplace_back();
    if (DWORD error = readSecurity(programFolder, objects.back()); error != ERROR_SUCCESS) return error;
    if (DWORD error = readFolder(programFolder, false, objects); error != ERROR_SUCCESS) return error;
    const std::u16string languages = programFolder + u"\\lang";
    objects.emplace_back();
    if (DWORD error = readSecurity(languages, objects.back()); error != ERROR_SUCCESS) return error;
    return readFolder(languages, true, objects);
}

std::uint32_t setupDataFolder(const std::u16string& programFolder, bool create, std::u16string& folder)
{
    folder = dataFolderSetting();
    if (folder.empty() && !create) folder = programFolder;
    if (!create) return ERROR_SUCCESS;
    if (folder.empty()) {
        // Written expanded: a service may be started with an environment
        // that lacks the variable (Wine's service manager passes on another
        // program's).
        wchar_t expanded[MAX_PATH] = {};
        const DWORD length = ExpandEnvironmentStringsW(contract::defaultDataFolder, expanded, MAX_PATH);
        if (length == 0 || length > MAX_PATH || expanded[0] == L'%') return ERROR_ENVVAR_NOT_FOUND;
        const std::u16string ini = programFolder + u"\\" + contract::settingsFileName;
        if (!WritePrivateProfileStringW(L"data", L"folder", expanded, wide(ini.c_str())))
            return GetLastError();
        folder = dataFolderSetting();
        if (folder.empty()) return ERROR_ENVVAR_NOT_FOUND;
    }
    // Made with its parents, as a first installation needs.
    for (std::size_t at = folder.find(u'\\', 3);; at = folder.find(u'\\', at + 1)) {
        const std::u16string part = folder.substr(0, at);
        if (!CreateDirectoryW(wide(part.c_str()), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return GetLastError();
        if (at == std::u16string::npos) return ERROR_SUCCESS;
    }
}

std::uint32_t setupGrantFolder(const std::u16string& dataFolder)
{
    // Whatever was there before goes.
    const std::u16string text = dataFolderAccessList(serviceSidString());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            wide(text.c_str()), SDDL_REVISION_1, &descriptor, nullptr))
        return GetLastError();
    OwnedMemory owned(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) return GetLastError();
    return setList(dataFolder, list, true);
}

std::uint32_t setupRevokeFolder(const std::u16string& folder)
{
    std::u16string path = folder;
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(wide(path.data()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
        nullptr, &current, nullptr, &descriptor);
    // A data folder never made has nothing to take back.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    OwnedMemory ownedDescriptor(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(descriptor, &control, &revision)) return GetLastError();

    // The service's own SID, and LocalService, which older versions gave
    // the program's folder.
    PSID service = nullptr, localService = nullptr;
    std::u16string serviceText = serviceSidString();
    if (!ConvertStringSidToSidW(wide(serviceText.data()), &service)
        || !ConvertStringSidToSidW(L"S-1-5-19", &localService))
        return GetLastError();
    OwnedMemory ownedService(service), ownedLocal(localService);
    // A list without their entries is left as it is, untouched.
    bool named = false;
    for (DWORD index = 0; current != nullptr && index < current->AceCount; ++index) {
        void* raw = nullptr;
        if (!GetAce(current, index, &raw)) return GetLastError();
        const auto* header = static_cast<ACE_HEADER*>(raw);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        PSID trustee = &static_cast<ACCESS_ALLOWED_ACE*>(raw)->SidStart;
        named = named || EqualSid(trustee, service) || EqualSid(trustee, localService);
    }
    if (!named) return ERROR_SUCCESS;
    EXPLICIT_ACCESSW revoke[2]{};
    PSID trustees[2] = {service, localService};
    for (int i = 0; i < 2; ++i) {
        revoke[i].grfAccessMode = REVOKE_ACCESS;
        revoke[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        revoke[i].Trustee.ptstrName = static_cast<LPWSTR>(trustees[i]);
    }
    PACL changed = nullptr;
    if ((error = SetEntriesInAclW(2, revoke, current, &changed)) != ERROR_SUCCESS) return error;
    OwnedMemory ownedList(changed);
    return setList(folder, changed, (control & SE_DACL_PROTECTED) != 0);
}

DatabaseMoveResult setupMoveDatabase(const std::u16string& programFolder, const std::u16string& dataFolder)
{
    if (lstrcmpiW(wide(programFolder.c_str()), wide(dataFolder.c_str())) == 0) return {};
    DatabaseMoveResult result = moveJobDatabase(programFolder, dataFolder);
    // Jobs a stopped program kept for a busy file go with the database;
    // a pending file already in the data folder is never replaced.
    if (result.outcome == DatabaseMove::moved || result.outcome == DatabaseMove::nothingToMove) {
        const std::u16string from = programFolder + u"\\pgwarden-pending.txt";
        const std::u16string to = dataFolder + u"\\pgwarden-pending.txt";
        MoveFileExW(wide(from.c_str()), wide(to.c_str()), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
    }
    return result;
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
