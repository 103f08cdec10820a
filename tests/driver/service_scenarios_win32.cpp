// Scenarios of the service: installed, counting with nobody's tray program,
// stopped while its recorders wait, beside a tray program, handing the
// counting over and back with jobs in flight, and failing on a damaged
// database without a window. The program plays its scenarios through the
// scripted winspool.drv beside it, which the service loads as well and which
// leaves scenario-ended beside the program at the end.

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "driver/driver_win32.h"

namespace {

struct ServiceHandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

ServiceHandle openService(DWORD access)
{
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return nullptr;
    return ServiceHandle(OpenServiceW(manager.get(), serviceName, access));
}

std::optional<SERVICE_STATUS_PROCESS> serviceStatus()
{
    ServiceHandle service = openService(SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!service
        || !QueryServiceStatusEx(
            service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return std::nullopt;
    return status;
}

bool serviceIn(DWORD state)
{
    auto status = serviceStatus();
    return status && status->dwCurrentState == state;
}

void deleteBesideProgram(std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) DeleteFileW((programFolder() + L"\\" + name).c_str());
    for (const std::wstring& name : pendingFiles()) DeleteFileW((programFolder() + L"\\" + name).c_str());
}

void deleteInDataFolder(std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) DeleteFileW((dataFolder() + L"\\" + name).c_str());
}

// The service's data in a folder of the run's own, named beside the program.
void nameDataFolder(const std::wstring& folder)
{
    writeFile(L"pagewarden.ini", "[data]\r\nfolder=" + std::string(folder.begin(), folder.end()) + "\r\n");
}

struct LocalMemory {
    void operator()(void* memory) const { LocalFree(memory); }
};

// A file's or folder's access list in SDDL, and whether it is protected.
std::wstring accessListText(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL list = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
            &list, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return L"";
    std::unique_ptr<void, LocalMemory> owned(descriptor);
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

bool setAccessList(const std::wstring& path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    std::unique_ptr<void, LocalMemory> owned(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
    std::wstring name = path;
    return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, list,
               nullptr)
        == ERROR_SUCCESS;
}

// As under Program Files: administrators and the system change, users read and run.
constexpr wchar_t administratorsOnly[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

} // namespace

bool giveAdministratorsOnlyList(const std::wstring& folder)
{
    // Wine keeps the list it is given without passing it on to what the
    // folder holds, so each entry gets its own.
    bool done = setAccessList(folder, administratorsOnly);
    for (const std::wstring& name : folderNames(folder)) {
        const std::wstring path = folder + L"\\" + name;
        done = (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY
                       ? giveAdministratorsOnlyList(path)
                       : setAccessList(path, administratorsOnly))
            && done;
    }
    return done;
}

// "pwdriver hold-mutex": what any user may do: make the monitor's mutex
// first, own it, and keep it until end-squat.txt appears beside the program.
void holdMonitorMutex()
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, monitorMutexName);
    writeFile(L"squatting.txt", "");
    waitUntil([] { return fileThere(L"end-squat.txt"); }, 240000);
    if (mutex != nullptr) CloseHandle(mutex);
}

namespace {

// A service left by a run that failed half-way is stopped and removed, and
// the folder starts without a database or the files of a former run.
void freshFolder()
{
    if (ServiceHandle service = openService(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)) {
        SERVICE_STATUS status{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        waitUntil([] { return !serviceIn(SERVICE_RUNNING) && !serviceIn(SERVICE_STOP_PENDING); });
        DeleteService(service.get());
    }
    deleteBesideProgram({L"pgwarden.db", L"scenario-ended", L"go.txt", L"held.txt", L"back.txt", L"end.txt",
        L"end-squat.txt"});
    // Installing refuses a folder that others than administrators may change.
    const std::wstring data = programFolder() + L"\\data";
    nameDataFolder(data);
    CreateDirectoryW(data.c_str(), nullptr);
    deleteInDataFolder({L"pgwarden.db", L"pgwarden.db-journal", L"pgwarden-pending.txt",
        L"pagewarden-handover.dat", L"pagewarden-service.log"});
    check(
        giveAdministratorsOnlyList(programFolder()), "the program's folder changes for administrators only");
}

// "/install-service" or "/uninstall-service", with "/quiet": its exit code.
DWORD runSetup(const wchar_t* arguments)
{
    Program setup(programPath, arguments);
    if (!setup.ends()) return STILL_ACTIVE;
    return setup.exitCode();
}

// The service has made pgwarden.db and its tables.
bool prepared()
{
    return dataFileThere(L"pgwarden.db")
        && databaseRows(L"select count(*) from sqlite_master where name = 'tbTrabajos';")
        == std::vector<std::wstring>{L"1"};
}

// The rows as user|printer|pages, sorted.
std::vector<std::wstring> jobRows()
{
    // The file comes a moment before its tables.
    if (!prepared()) return {};
    return databaseRows(L"select trusuario||'|'||trimpresora||'|'||trnumpags from tbTrabajos order by 1;");
}

bool rowsAre(const std::vector<std::wstring>& expected)
{
    return waitUntil([&] { return jobRows() == expected; });
}

// pagewarden-service.log beside the program, read as UTF-8.
std::wstring serviceLog()
{
    std::string log;
    if (FILE* file = _wfopen((dataFolder() + L"\\pagewarden-service.log").c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) log.append(chunk, got);
        std::fclose(file);
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, log.data(), static_cast<int>(log.size()), nullptr, 0);
    std::wstring words(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, log.data(), static_cast<int>(log.size()), words.data(), length);
    std::printf("     (pagewarden-service.log: %zu bytes)\n", log.size());
    return words;
}

// No window of the service's process, shown or hidden, of the kinds the
// program makes: the main window, a message box.
bool serviceShowsNothing(DWORD processId)
{
    return findWindow(mainWindowClass, processId) == nullptr && findWindow(L"#32770", processId) == nullptr
        && findWindow(L"#32770", 0, true) == nullptr;
}

// The tooltip of the one icon in the notification area, as the shell shows
// it when the mouse rests there.
std::wstring trayTooltip()
{
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r{};
    if (tray == nullptr || !GetWindowRect(tray, &r)) return L"";
    // The one icon sits at the right end of the taskbar.
    const int x = r.right - GetSystemMetrics(SM_CXSMICON) / 2 - 4, y = (r.top + r.bottom) / 2;
    SetCursorPos(x - 60, y);
    Sleep(200);
    for (int step = 5; step >= 0; --step) {
        SetCursorPos(x - step, y);
        Sleep(50);
    }
    std::wstring tip;
    waitUntil(
        [&] {
            HWND shown = findWindow(L"tooltips_class32", 0, true);
            if (shown != nullptr) tip = windowText(shown);
            return !tip.empty();
        },
        5000);
    return tip;
}

std::wstring countedBy(unsigned long who)
{
    return texts[1000003] + L" \u2013 " + texts[1430001] + L": " + texts[who];
}

// ---- installed, counting alone, removed ---------------------------------------------

void installCountRemove()
{
    freshFolder();
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=1 user=ana\njob 2 status=0x8 user=bo\n"
        "printer \"Lab \U0001F5A8\"\njob 3 status=0x10 printed=4 user=\"J\u00FCrgen\"\n"
        "pass\nprinter \"Office\"\njob 2 status=0x10 printed=2 user=bo\nprinter \"Lab \U0001F5A8\"\n"
        "pass\nprinter \"Office\"\nprinter \"Lab \U0001F5A8\"\nend\n");
    Program install(programPath, L"/install-service");
    HWND box = waitForMessageBox(install);
    check(box != nullptr
            && messageBoxText(box)
                == texts[1430010] + L"\r\n\r\n" + texts[1430057] + L" " + programFolder() + L"\\data",
        "installing says the service runs, and where its data is");
    if (box != nullptr) {
        windowScreenshot(box, L"service-1-installed");
        dismissMessageBox(box);
    }
    check(install.ends() && install.exitCode() == 0, "and ends with 0");

    // Closed before the removal: an open handle keeps a removed service
    // marked for deletion.
    ServiceHandle service = openService(SERVICE_QUERY_CONFIG);
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    check(service && QueryServiceConfigW(service.get(), config, 8192, &needed), "the service is registered");
    if (service && config->lpBinaryPathName != nullptr) {
        check(config->lpBinaryPathName == L"\"" + programPath + L"\" /service",
            "as the quoted program, /service");
        check(config->dwStartType == SERVICE_AUTO_START, "starting with Windows");
        check(lstrcmpiW(config->lpServiceStartName, L"NT AUTHORITY\\LocalService") == 0, "as LocalService");
        check(lstrcmpW(config->lpDisplayName, L"Pagewarden page counter") == 0,
            "named Pagewarden page counter");
        auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
        check(QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), 8192, &needed)
                && description->lpDescription == texts[1430000],
            "described in the active language");
    }
    service.reset();
    auto status = serviceStatus();
    check(status && status->dwCurrentState == SERVICE_RUNNING, "it runs");
    check(rowsAre({L"J\u00FCrgen|Lab \U0001F5A8|4", L"ana|Office|1", L"bo|Office|2"}),
        "it counts with no tray program: every row, once");
    check(status && serviceShowsNothing(status->dwProcessId), "without a window or a box");
    screenshot(nullptr, L"service-2-counting-with-no-window");

    // Installing again restarts it with the same state: nothing counted twice.
    deleteBesideProgram({L"scenario-ended"});
    check(runSetup(L"/install-service /quiet") == 0, "installing again succeeds quietly");
    check(waitUntil([] { return fileThere(L"scenario-ended"); }), "the new service plays the scenario");
    Sleep(1000); // time for any recorder of its last passes
    check(serviceIn(SERVICE_RUNNING) && jobRows().size() == 3, "and counts none of its jobs again");

    check(runSetup(L"/uninstall-service /quiet") == 0, "removing it succeeds");
    check(!serviceStatus(), "it is gone");
    check(jobRows().size() == 3, "pgwarden.db stays with its rows");
    Program again(programPath, L"/uninstall-service");
    box = waitForMessageBox(again);
    check(box != nullptr && messageBoxText(box) == texts[1430012],
        "removing it twice says it is not installed");
    if (box != nullptr) dismissMessageBox(box);
    check(again.ends() && again.exitCode() == 0, "which is no failure");

    // A quiet installation that fails before it starts (no language file)
    // ends with 1 and waits for nobody's click.
    const std::wstring lang = programFolder() + L"\\lang", away = lang + L"-away";
    MoveFileW(lang.c_str(), away.c_str());
    check(runSetup(L"/install-service /quiet") == 1 && findWindow(L"#32770", 0) == nullptr,
        "a quiet installation without its texts fails with 1 and no box");
    MoveFileW(away.c_str(), lang.c_str());
    check(serviceLog().find(L"\r\nmilibreria\r\n") != std::wstring::npos, "its report is in the log");
}

// ---- a stop while recorders wait for the database ----------------------------------

// Another program holds the database; three jobs finish meanwhile, and the
// service is told to stop. It says it is stopping while its recorder waits,
// writes all three once the file is free (two seconds later, within the
// five a stop tries before it keeps rows in the pending file) and stops
// cleanly.
void stopWhileRecordersWait()
{
    freshFolder();
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=1 user=ana\njob 2 status=0x10 printed=2 "
        "user=bo\n"
        "job 3 status=0x10 printed=3 user=cy\njob 4 status=0x10 printed=4 user=di\n"
        "pass\nprinter \"Office\"\njob 2 status=0x10 printed=2 user=bo\njob 3 status=0x10 printed=3 user=cy\n"
        "job 4 status=0x10 printed=4 user=di\n"
        "pass after=\"go.txt\"\nprinter \"Office\"\nend\n");
    check(runSetup(L"/install-service /quiet") == 0, "the service is installed");
    check(rowsAre({L"ana|Office|1"}), "its first row is written");

    ForeignLock lock(ForeignLock::exclusive);
    writeFile(L"go.txt", "");
    check(waitUntil([] { return fileThere(L"scenario-ended"); }), "three jobs finish meanwhile");
    ServiceHandle service = openService(SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS control{};
    check(service && ControlService(service.get(), SERVICE_CONTROL_STOP, &control), "the service is stopped");
    DWORD firstCheckPoint = 0, lastCheckPoint = 0;
    bool pendingAllAlong = waitUntil(
        [&] {
            auto status = serviceStatus();
            if (!status || status->dwCurrentState != SERVICE_STOP_PENDING || status->dwWaitHint == 0)
                return true;
            if (firstCheckPoint == 0) firstCheckPoint = status->dwCheckPoint;
            lastCheckPoint = status->dwCheckPoint;
            return false;
        },
        2000);
    check(!pendingAllAlong && lastCheckPoint > firstCheckPoint,
        "it says it is stopping, with a wait hint and a moving check point, while the rows wait");
    lock.release();
    check(waitUntil([] { return serviceIn(SERVICE_STOPPED); }), "once the file is free it stops");
    auto status = serviceStatus();
    check(status && status->dwWin32ExitCode == NO_ERROR, "cleanly");
    check(jobRows()
            == std::vector<std::wstring>{L"ana|Office|1", L"bo|Office|2", L"cy|Office|3", L"di|Office|4"},
        "with every finished job written");
    check(runSetup(L"/uninstall-service /quiet") == 0, "and is removed");
}

// ---- a tray program beside the running service -------------------------------------

void trayBesideService()
{
    freshFolder();
    // The tray program plays the same scenario from its start: had it
    // counted, job 1 would have two rows.
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=3 user=ana\njob 2 status=0x8 user=bo\n"
        "pass\nprinter \"Office\"\njob 2 status=0x10 printed=1 user=bo\n"
        "pass after=\"go.txt\"\nprinter \"Office\"\nend\n");
    check(runSetup(L"/install-service /quiet") == 0, "the service is installed");
    check(rowsAre({L"ana|Office|3"}), "and counts");

    Program tray;
    HWND main = waitForMainWindow(tray);
    check(main != nullptr && waitForTrayIcon(main), "a tray program starts beside it");
    if (main == nullptr) return;
    std::wstring tip = trayTooltip();
    check(tip == countedBy(1430003), "its tooltip says the service counts");
    screenshot(nullptr, L"service-3-tooltip");

    PostMessageW(main, WM_COMMAND, cmdAbout, 0);
    HWND about = waitForWindow(aboutClass, tray);
    check(about != nullptr, "its about window opens");
    if (about != nullptr) {
        std::wstring body = windowText(childWindows(about).at(0));
        check(body.ends_with(L"\r\n\r\n" + texts[1430001] + L"\r\n\t" + texts[1430003]),
            "and says the service counts");
        windowScreenshot(about, L"service-4-about");
        PostMessageW(about, WM_CLOSE, 0, 0);
        waitUntil([&] { return !IsWindow(about); });
    }

    trayClick(main);
    StatisticsControls view = findStatisticsControls(main);
    if (view.complete()) {
        choosePeriod(main, view, 0);
        check(sameRows(listRows(tray, view.statsList), {{L"Office", L"3", L"1"}}),
            "its window shows the service's rows");
        windowScreenshot(main, L"service-5-window");
    }
    // A script's report beside both: the service's figures, the file as it was.
    const std::wstring out = programFolder() + L"\\report beside the service.csv";
    const std::string before = fileBytes(dataFolder() + L"\\pgwarden.db");
    Program report(programPath, L"/report /by printer /out \"" + out + L"\"");
    check(report.ends() && report.exitCode() == 0, "a report beside the service ends with 0");
    // The job has a device mode: no colour, one-sided, so three sheets.
    const std::wstring header = texts[1200001] + L"," + texts[1200002] + L"," + texts[1200003] + L","
        + texts[1450000] + L"," + texts[1450001];
    check(fileBytes(out) == "\xEF\xBB\xBF" + utf8Of(header) + "\r\nOffice,3,1,0,3\r\n",
        "with the service's figures");
    check(fileBytes(dataFolder() + L"\\pgwarden.db") == before, "and changes nothing in pgwarden.db");
    writeFile(L"go.txt", "");
    check(rowsAre({L"ana|Office|3", L"bo|Office|1"}), "a job finishing now is counted by the service alone");
    Sleep(1600); // a tick of the tray timer, in which the tray program could have started counting
    check(jobRows().size() == 2, "and the tray program counted nothing");
    quitFromTheMenu(tray, main);
    check(runSetup(L"/uninstall-service /quiet") == 0, "the service is removed");
}

// ---- the counting handed over and back with jobs in flight -------------------------

// The tray program counts; the service starts and takes over; the service
// stops and the tray program takes the counting back. Each time, jobs are
// printing, and some leave their queue while neither monitor polls. Another
// program holds the file through the service's stop: the service keeps the
// row it could not write in the pending file, and the tray program that took
// the counting back writes it once the file is free, without a restart.
void handOverAndBack()
{
    freshFolder();
    // The tray program's scenario: its own passes, then (after back.txt)
    // the world once the service has stopped, then its end (after end.txt).
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=1 user=ana\njob 2 status=0x10 printed=1 "
        "user=bo\n"
        "job 3 status=0x8 user=cy\n"
        "pass\nprinter \"Office\"\njob 2 status=0x10 printed=2 user=bo\njob 3 status=0x8 user=cy\n"
        "job 4 status=0x10 printed=1 user=di\n"
        // 4 left while nobody polled; 6 goes on printing.
        "pass after=\"back.txt\"\nprinter \"Office\"\njob 6 status=0x10 printed=4 user=fay\n"
        "pass after=\"end.txt\"\nprinter \"Office\"\njob 6 status=0x10 printed=5 user=fay\n"
        "pass\nprinter \"Office\"\nend\n");
    Program tray;
    HWND main = waitForMainWindow(tray);
    check(main != nullptr, "the tray program starts");
    check(rowsAre({L"ana|Office|1"}), "and counts");

    // The service's scenario: 2 left during the change; 5 leaves while the
    // file is held; 4 and 6 are printing when it stops.
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 3 status=0x10 printed=1 user=cy\njob 4 status=0x10 printed=2 user=di\n"
        "pass\nprinter \"Office\"\njob 4 status=0x10 printed=3 user=di\njob 5 status=0x10 printed=1 "
        "user=eve\n"
        "job 6 status=0x10 printed=4 user=fay\n"
        "pass after=\"held.txt\"\nprinter \"Office\"\njob 4 status=0x10 printed=3 user=di\n"
        "job 6 status=0x10 printed=4 user=fay\nend\n");
    check(runSetup(L"/install-service /quiet") == 0, "the service is installed");
    check(rowsAre({L"ana|Office|1", L"bo|Office|2", L"cy|Office|1"}),
        "the service takes over: the job that left meanwhile is counted once, from its last sighting");
    check(!dataFileThere(L"pagewarden-handover.dat"), "what the tray program left is taken");

    ForeignLock lock(ForeignLock::exclusive);
    writeFile(L"held.txt", "");
    check(waitUntil([] { return fileThere(L"scenario-ended"); }), "a job finishes meanwhile");
    writeFile(L"back.txt", "");
    check(runSetup(L"/uninstall-service /quiet") == 0, "the service is stopped and removed");
    check(!pendingFiles().empty(), "its row waits in the pending file");
    check(waitUntil([] { return trayTooltip() == countedBy(1430002); }),
        "the tray program takes the counting back");
    lock.release();
    check(
        waitUntil([] { return pendingFiles().empty(); }), "once the file is free it writes the pending row");
    writeFile(L"end.txt", "");
    check(tray.ends(), "and plays its scenario to the end");
    check(tray.exitCode() == 0, "then quits with 0");
    check(jobRows()
            == std::vector<std::wstring>{L"ana|Office|1", L"bo|Office|2", L"cy|Office|1", L"di|Office|3",
                L"eve|Office|1", L"fay|Office|5"},
        "every job counted once, those in flight at each change included");
}

// ---- a damaged database under the service ------------------------------------------

void damagedDatabase()
{
    freshFolder();
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=2 user=ana\npass after=\"go.txt\"\nprinter "
        "\"Office\"\n");
    check(runSetup(L"/install-service /quiet") == 0, "the service starts");
    // Damaged once the service has made and prepared the file: its next row fails.
    check(waitUntil(prepared), "and prepares its database");
    // Written again while the service still has the file open.
    check(waitUntil([] {
        writeFile(L"data\\pgwarden.db", std::string(8192, 'x'));
        char head[4] = {};
        if (FILE* file = _wfopen((dataFolder() + L"\\pgwarden.db").c_str(), L"rb")) {
            std::fread(head, 1, sizeof head, file);
            std::fclose(file);
        }
        return std::string(head, 4) == "xxxx";
    }),
        "the file is damaged");
    writeFile(L"go.txt", "");
    check(waitUntil([] { return serviceIn(SERVICE_STOPPED); }), "the service stops");
    auto status = serviceStatus();
    check(status && status->dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR
            && status->dwServiceSpecificExitCode != 0,
        "with a service exit code that says it failed");
    check(findWindow(L"#32770", 0) == nullptr, "no box anywhere");
    screenshot(nullptr, L"service-6-failed-with-no-window");

    std::wstring words = serviceLog();
    check(words.starts_with(L"\uFEFF"), "its log is UTF-8 with a byte order mark");
    for (const std::wstring& wanted :
        {texts[23], texts[21], texts[22], std::wstring(L"misqlite"), std::wstring(L"file is not a database")})
        check(words.find(wanted + L"\r\n") != std::wstring::npos, "the log holds each line of the report");
    check(runSetup(L"/uninstall-service /quiet") == 0, "the failed service is removed");
}

// ---- the program's folder, the data folder and a database that moves ---------------

void programAndDataFolders()
{
    freshFolder();
    // A folder that any user may write is refused, and nothing is
    // registered. (Wine keeps what a list gives everyone, in the folder's
    // mode; it keeps no entries for groups such as Users.)
    const std::wstring folder = programFolder();
    setAccessList(folder, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;WD)");
    Program refused(programPath, L"/install-service");
    HWND box = waitForMessageBox(refused);
    const std::wstring words = box != nullptr ? messageBoxText(box) : L"";
    check(words.starts_with(texts[1430013])
            && words.find(folder + L" " + texts[1430051] + L" ") != std::wstring::npos
            && words.ends_with(texts[1430052])
            && words.find(L"C:\\Program Files\\Pagewarden") != std::wstring::npos,
        "installing from a folder everyone may write is refused, with where to move the program");
    if (box != nullptr) {
        windowScreenshot(box, L"service-7-refused-folder");
        dismissMessageBox(box);
    }
    check(refused.ends() && refused.exitCode() == 1, "with 1");
    check(!serviceStatus(), "and no service registered");

    // No data folder named: the default one is, and a database beside the
    // program moves there with its rows.
    giveAdministratorsOnlyList(folder);
    DeleteFileW((folder + L"\\pagewarden.ini").c_str());
    writeFile(L"spooler-scenario.txt", "pass\n"); // the first run counts nothing
    databaseFromAFirstRun(L"insert into tbTrabajos (trfecha, trusuario, trmaquina, trimpresora, trnumpags) "
                          L"values ('2026-01-05T10:00:00.000', 'ana', 'PC', 'Office', 3), "
                          L"('2026-01-05T11:00:00.000', 'bo', 'PC', 'Office', 4);");
    const std::vector<std::wstring> before = jobRows();
    check(before.size() == 2, "a database with rows lies beside the program");
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 9 status=0x10 printed=2 user=eve\npass\nprinter \"Office\"\nend\n");
    wchar_t programData[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%ProgramData%\\Pagewarden", programData, MAX_PATH);
    const std::wstring defaultData = programData;
    DeleteFileW((defaultData + L"\\pgwarden.db").c_str());
    Program install(programPath, L"/install-service");
    box = waitForMessageBox(install);
    const std::wstring told = box != nullptr ? messageBoxText(box) : L"";
    check(told.find(texts[1430057] + L" " + defaultData) != std::wstring::npos
            && told.find(texts[1430058] + L" " + std::to_wstring(before.size())) != std::wstring::npos,
        "installing says where the data is and that the database moved with its jobs");
    if (box != nullptr) {
        windowScreenshot(box, L"service-8-database-moved");
        dismissMessageBox(box);
    }
    check(install.ends() && install.exitCode() == 0, "and ends with 0");
    check(dataFolder() == defaultData, "pagewarden.ini names the default data folder");
    check(!fileThere(L"pgwarden.db") && dataFileThere(L"pgwarden.db"),
        "the database left the program's folder");
    check(waitUntil([] { return fileThere(L"scenario-ended"); }), "the service plays its scenario");
    const bool countedOn = waitUntil([&] { return jobRows().size() == before.size() + 1; });
    for (const std::wstring& row : jobRows()) std::printf("     (row %ls)\n", row.c_str());
    check(countedOn, "with every row, and the service counts on in it");

    // Wine answers with a list made from the folder's mode, whatever list
    // it was given; the list itself is checked by the unit tests.
    const std::wstring list = accessListText(defaultData);
    std::printf("     (the data folder's list as Wine tells it: %ls)\n", list.c_str());
    check(!list.empty() && list.find(L";;;LS)") == std::wstring::npos
            && accessListText(folder).find(L";;;LS)") == std::wstring::npos,
        "no list names LocalService");
    check(runSetup(L"/uninstall-service /quiet") == 0, "removing it succeeds");
    check(jobRows().size() == before.size() + 1, "and the data stays");
    deleteInDataFolder({L"pgwarden.db", L"pgwarden.db-journal", L"pagewarden-handover.dat"});
}

// ---- a mutex somebody else holds ---------------------------------------------------

void squattedMutex()
{
    freshFolder();
    deleteBesideProgram({L"squatting.txt"});
    Program squatter(programFolder() + L"\\pwdriver.exe", L"hold-mutex \"" + programPath + L"\"");
    check(waitUntil([] { return fileThere(L"squatting.txt"); }), "another process holds the monitor's mutex");
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=2 user=ana\npass\nprinter \"Office\"\n"
        "pass after=\"go.txt\"\nprinter \"Office\"\njob 2 status=0x10 printed=5 user=bo\npass\nprinter "
        "\"Office\"\nend\n");

    Program tray;
    HWND main = waitForMainWindow(tray);
    check(main != nullptr, "a tray program starts beside it, and no fatal report ends it");
    check(runSetup(L"/install-service /quiet") == 0, "the service is installed");
    check(rowsAre({L"ana|Office|2"}), "the service counts all the same");
    writeFile(L"go.txt", "");
    check(rowsAre({L"ana|Office|2", L"bo|Office|5"}), "and goes on counting");
    check(serviceIn(SERVICE_RUNNING), "it runs");
    check(findWindow(L"#32770", tray.id()) == nullptr && tray.running(),
        "the tray program runs on, without a box");
    if (main != nullptr) quitFromTheMenu(tray, main);
    check(runSetup(L"/uninstall-service /quiet") == 0, "the service is removed");

    // Without the service, the squatter keeps a tray program from counting,
    // but not from quitting cleanly.
    Program alone;
    main = waitForMainWindow(alone);
    check(main != nullptr, "a tray program starts beside the squatter alone");
    if (main != nullptr) quitFromTheMenu(alone, main);
    writeFile(L"end-squat.txt", "");
    check(squatter.ends(), "the squatter ends");
}

const bool registered = addScenario(L"service-install", installCountRemove)
    && addScenario(L"service-stop-while-writing", stopWhileRecordersWait)
    && addScenario(L"service-beside-tray", trayBesideService)
    && addScenario(L"service-handover", handOverAndBack)
    && addScenario(L"service-damaged-database", damagedDatabase)
    && addScenario(L"service-folders", programAndDataFolders)
    && addScenario(L"service-squatter", squattedMutex);

} // namespace
