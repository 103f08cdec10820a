// winspool.drv for the tests: the spooler calls of the tray program answered
// from spooler-scenario.txt in the program's folder, in winspool's own
// structures and protocols, so that the unmodified program plays a scenario
// under Wine (WINEDLLOVERRIDES=winspool.drv=n, the library beside the
// program). When the scenario has ended it creates the marker file beside
// the program and chooses the main menu's quit, as a user would. Never part
// of the package.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "monitor/sim/scripted_layout_win32.h"

namespace {

// Only the monitor thread calls the spooler, so no lock guards this.
ScriptedSpooler spooler;
bool loaded = false;
// The snapshot that an enumeration took but could not yet hand over because
// the caller's buffer was too small: the retry must see the same snapshot.
const Snapshot* pending = nullptr;
bool markerWritten = false;

// Printer handles name their printer: a handle outlives the snapshot it was
// opened in, and the printer may vanish meanwhile.
std::map<HANDLE, std::u16string> printerHandles;
std::uintptr_t lastHandle = 0x1000;

struct ChangeHandle {
    std::size_t watch = 0;
};
std::map<HANDLE, ChangeHandle> changeHandles; // keyed by the event each is
int infosOut = 0;                             // notification buffers not freed yet

std::u16string folderOfProgram()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return u".";
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::u16string folder = utf16(path.data());
    return folder.substr(0, folder.find_last_of(u'\\'));
}

bool fileBesideProgram(const std::u16string& name)
{
    return GetFileAttributesW(wide((folderOfProgram() + u"\\" + name).c_str())) != INVALID_FILE_ATTRIBUTES;
}

[[noreturn]] void scenarioUnusable(const std::string& why)
{
    std::fprintf(stderr, "spooler-scenario.txt: %s\n", why.c_str());
    std::fflush(stderr);
    ExitProcess(2);
}

void loadScenario()
{
    loaded = true;
    const std::u16string path = folderOfProgram() + u"\\" + utf16(contract::scenarioFile);
    HANDLE file = CreateFileW(wide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) scenarioUnusable("cannot be read");
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    std::string error;
    if (!parseScenario(text, spooler.scenario, error)) scenarioUnusable(error);
    spooler.fileExists = fileBesideProgram;
    spooler.realClock = [] { return static_cast<std::uint64_t>(GetTickCount64()) * 1000; };
}

HWND ownMainWindow()
{
    for (HWND window = FindWindowExW(nullptr, nullptr, contract::mainWindowClass, nullptr); window;
         window = FindWindowExW(nullptr, window, contract::mainWindowClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId()) return window;
    }
    return nullptr;
}

void writeMarker()
{
    if (markerWritten) return;
    const std::u16string path = folderOfProgram() + u"\\" + utf16(contract::scenarioEndedMarker);
    HANDLE file = CreateFileW(
        wide(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    markerWritten = true;
}

// A timeline's quit comes a moment after the last pass began, when the
// monitor waits between passes on its change handles.
DWORD WINAPI quitLater(void*)
{
    Sleep(30);
    if (HWND window = ownMainWindow()) PostMessageW(window, WM_COMMAND, contract::cmdQuit, 0);
    return 0;
}

// The main window may not exist yet when a short scenario ends; the quit is
// then offered again at the next call.
void postQuitWhenDue()
{
    if (!spooler.quitDue || spooler.quitGiven) return;
    writeMarker();
    HWND window = ownMainWindow();
    if (window == nullptr) return; // no window (a service): the marker says it all
    if (spooler.scenario.timeline) {
        HANDLE thread = CreateThread(nullptr, 0, quitLater, nullptr, 0, nullptr);
        if (thread == nullptr) return;
        CloseHandle(thread);
        takeQuit(spooler);
        return;
    }
    if (PostMessageW(window, WM_COMMAND, contract::cmdQuit, 0)) takeQuit(spooler);
}

const ScriptedPrinter* printerOf(HANDLE printer)
{
    auto name = printerHandles.find(printer);
    if (name == printerHandles.end()) return nullptr;
    return findScriptedPrinter(currentSnapshot(spooler), name->second);
}

// With PW_SPOOLER_COUNTS naming a file, every 1,000th enumeration appends
// the number of open handles of the process (found by asking each handle
// value, which Wine answers where it reports no count), and the change
// handles and notification buffers given out and not yet returned, for a
// measurement of the monitor over many passes (bench/wine/monitor-handles).
void noteCounts()
{
    if (spooler.enumerations % 1000 != 0) return;
    wchar_t path[MAX_PATH];
    if (GetEnvironmentVariableW(L"PW_SPOOLER_COUNTS", path, MAX_PATH) - 1 >= MAX_PATH - 1) return;
    unsigned handles = 0;
    for (std::uintptr_t value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
    }
    char line[128];
    int length = std::snprintf(line, sizeof line, "%llu %u %zu %d\n",
        static_cast<unsigned long long>(spooler.enumerations), handles, changeHandles.size(), infosOut);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
}

// After the clock moved, a change handle is signalled while its printer has
// changes waiting.
void signalChanges()
{
    for (auto& [event, change] : changeHandles)
        if (watchHasChanges(spooler.timeline, change.watch)) SetEvent(event);
}

} // namespace

extern "C" {

BOOL WINAPI EnumPrintersW(
    DWORD, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (!loaded) loadScenario();
    if (level != 4) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (pending == nullptr) {
        // A new enumeration: the pass before it is over.
        finishPass(spooler);
        postQuitWhenDue();
        pending = &takeSnapshot(spooler);
        if (spooler.scenario.timeline) signalChanges();
        noteCounts();
    }
    const Snapshot& snapshot = *pending;
    if (snapshot.unreachable) {
        pending = nullptr;
        postQuitWhenDue();
        *needed = 0;
        *returned = 0;
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return FALSE;
    }
    BOOL ok = writePrinterInfo4(snapshot, buffer, size, needed, returned);
    if (ok) pending = nullptr;
    return ok;
}

BOOL WINAPI OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW)
{
    if (name == nullptr || printer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Snapshot& snapshot = currentSnapshot(spooler);
    for (const ScriptedPrinter& scripted : snapshot.printers) {
        if (scripted.name != utf16(name)) continue;
        if (scripted.quitWhileRead) {
            // The user quits while this slow server answers: the interface
            // thread sets the stop event during the pause below.
            quitWhileReading(spooler);
            postQuitWhenDue();
        }
        if (scripted.slowMilliseconds > 0) Sleep(scripted.slowMilliseconds);
        postQuitWhenDue(); // the main window may not have existed a moment ago
        if (scripted.unopenable) break;
        *printer = reinterpret_cast<HANDLE>(lastHandle += 4);
        printerHandles[*printer] = scripted.name;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

BOOL WINAPI GetPrinterW(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    const ScriptedPrinter* scripted = printerOf(printer);
    if (scripted == nullptr || scripted->infoFails || level != 2) {
        // What a printer deleted, or a server gone, after the opening answers.
        *needed = 0;
        SetLastError(scripted == nullptr ? ERROR_INVALID_HANDLE
                : level != 2             ? ERROR_INVALID_LEVEL
                                         : ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    return writePrinterInfo2(*scripted, buffer, size, needed);
}

BOOL WINAPI EnumJobsW(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
    LPDWORD needed, LPDWORD returned)
{
    const ScriptedPrinter* scripted = printerOf(printer);
    if (scripted == nullptr || scripted->jobsFail || level != 2) {
        *needed = 0;
        *returned = 0;
        SetLastError(scripted == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return writeJobInfo2(*scripted, firstJob, count, buffer, size, needed, returned);
}

BOOL WINAPI ClosePrinter(HANDLE printer)
{
    if (printerHandles.erase(printer) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE printer, DWORD, DWORD, LPVOID)
{
    auto name = printerHandles.find(printer);
    std::size_t watch = 0;
    if (name != printerHandles.end() && spooler.scenario.timeline)
        watch = watchTimelinePrinter(spooler.timeline, name->second);
    if (watch == 0) {
        // As Wine answers: no handle, and no error either.
        SetLastError(0);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return INVALID_HANDLE_VALUE;
    changeHandles[event] = ChangeHandle{watch};
    return event;
}

BOOL WINAPI FindNextPrinterChangeNotification(HANDLE change, PDWORD what, LPVOID options, LPVOID* info)
{
    auto found = changeHandles.find(change);
    if (found == changeHandles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::size_t watch = found->second.watch;
    const auto* asked = static_cast<const PRINTER_NOTIFY_OPTIONS*>(options);
    ChangesRead read;
    DWORD flags = 0;
    if (asked && (asked->Flags & PRINTER_NOTIFY_OPTIONS_REFRESH) != 0) {
        read.changes = refreshTimelineWatch(spooler.timeline, watch);
    } else {
        if (!readTimelineChanges(spooler.timeline, watch, read)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (read.discarded) {
            // The refreshed jobs come only when asked for.
            flags = PRINTER_NOTIFY_INFO_DISCARDED;
            read.changes.clear();
        }
    }
    ResetEvent(change);
    if (what) *what = read.changes.empty() && flags == 0 ? 0 : PRINTER_CHANGE_SET_JOB;
    if (info) {
        *info = newNotifyInfo(read.changes, flags);
        if (*info) ++infosOut;
        if (*info == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL WINAPI FindClosePrinterChangeNotification(HANDLE change)
{
    auto found = changeHandles.find(change);
    if (found == changeHandles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    unwatchTimelinePrinter(spooler.timeline, found->second.watch);
    CloseHandle(found->first);
    changeHandles.erase(found);
    return TRUE;
}

BOOL WINAPI FreePrinterNotifyInfo(PPRINTER_NOTIFY_INFO info)
{
    if (info) --infosOut;
    releaseNotifyInfo(info);
    return TRUE;
}

// What the common dialogs import besides: a spooler without a default
// printer, drivers or device capabilities.
BOOL WINAPI GetDefaultPrinterA(LPSTR, LPDWORD)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
BOOL WINAPI GetDefaultPrinterW(LPWSTR, LPDWORD)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
// Declared by wingdi.h as imports of gdi32: exported under their names by
// the module definition file.
int WINAPI scriptedDeviceCapabilitiesA(LPCSTR, LPCSTR, WORD, LPSTR, const DEVMODEA*)
{
    return -1;
}
int WINAPI scriptedDeviceCapabilitiesW(LPCWSTR, LPCWSTR, WORD, LPWSTR, const DEVMODEW*)
{
    return -1;
}
LONG WINAPI DocumentPropertiesA(HWND, HANDLE, LPSTR, PDEVMODEA, PDEVMODEA, DWORD)
{
    return -1;
}
LONG WINAPI DocumentPropertiesW(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD)
{
    return -1;
}
BOOL WINAPI EnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned)
{
    *needed = 0;
    *returned = 0;
    return TRUE;
}
BOOL WINAPI GetPrinterA(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD needed)
{
    *needed = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
BOOL WINAPI GetPrinterDriverA(HANDLE, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD needed)
{
    *needed = 0;
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
}
BOOL WINAPI GetPrinterDriverW(HANDLE, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed)
{
    *needed = 0;
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
}
BOOL WINAPI OpenPrinterA(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA)
{
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

} // extern "C"
