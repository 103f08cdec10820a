// The spooler of the simulation build: it plays spooler-scenario.txt from the
// program's folder, and at the scenario's end quits through the main menu's
// quit command, so the program ends the way a user ends it.
#include <cstdio>
#include <string>

#include "common/folders_win32.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "monitor/sim/scripted_layout_win32.h"
#include "monitor/spooler_win32.h"

namespace {

// Only the monitor thread calls the spooler, so no lock guards this.
ScriptedSpooler spooler;
bool loaded = false;
// The snapshot that an enumeration took but could not yet hand over because
// the caller's buffer was too small: the retry must see the same snapshot.
const Snapshot* pending = nullptr;

[[noreturn]] void scenarioUnusable(const std::string& why)
{
    std::fprintf(stderr, "spooler-scenario.txt: %s\n", why.c_str());
    std::fflush(stderr);
    ExitProcess(2);
}

void loadScenario()
{
    std::string text;
    if (readWholeFile(programFolder() + u"\\spooler-scenario.txt", text) != FileRead::read)
        scenarioUnusable("cannot be read");
    std::string error;
    if (!parseScenario(text, spooler.scenario, error)) scenarioUnusable(error);
    spooler.fileExists = [](const std::u16string& name) {
        return GetFileAttributesW(wide((programFolder() + u"\\" + name).c_str())) != INVALID_FILE_ATTRIBUTES;
    };
    loaded = true;
}

// The main window may not exist yet when a short scenario ends; the quit is
// then offered again at the next call.
void postQuitWhenDue()
{
    if (!spooler.quitDue || spooler.quitGiven) return;
    HWND mainWindow = FindWindowW(contract::mainWindowClass, nullptr);
    if (mainWindow == nullptr) return;
    if (PostMessageW(mainWindow, WM_COMMAND, contract::cmdQuit, 0)) takeQuit(spooler);
}

const ScriptedPrinter* printerOf(HANDLE printer)
{
    auto index = reinterpret_cast<std::uintptr_t>(printer);
    const Snapshot& snapshot = currentSnapshot(spooler);
    if (index == 0 || index > snapshot.printers.size()) return nullptr;
    return &snapshot.printers[index - 1];
}

} // namespace

BOOL spoolEnumPrinters(DWORD, DWORD, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned)
{
    if (!loaded) loadScenario();
    if (pending == nullptr) pending = &takeSnapshot(spooler);
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

BOOL spoolOpenPrinter(const wchar_t* name, HANDLE* printer)
{
    const Snapshot& snapshot = currentSnapshot(spooler);
    for (std::size_t i = 0; i < snapshot.printers.size(); ++i) {
        const ScriptedPrinter& scripted = snapshot.printers[i];
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
        *printer = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(i + 1));
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
}

BOOL spoolGetPrinter(HANDLE printer, DWORD, BYTE* buffer, DWORD size, DWORD* needed)
{
    const ScriptedPrinter* scripted = printerOf(printer);
    if (scripted == nullptr || scripted->infoFails) {
        // What a printer deleted, or a server gone, after the opening answers.
        *needed = 0;
        SetLastError(scripted ? ERROR_INVALID_PRINTER_NAME : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return writePrinterInfo2(*scripted, buffer, size, needed);
}

BOOL spoolEnumJobs(HANDLE printer, DWORD firstJob, DWORD count, DWORD, BYTE* buffer, DWORD size,
    DWORD* needed, DWORD* returned)
{
    const ScriptedPrinter* scripted = printerOf(printer);
    if (scripted == nullptr || scripted->jobsFail) {
        *needed = 0;
        *returned = 0;
        SetLastError(scripted ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return writeJobInfo2(*scripted, firstJob, count, buffer, size, needed, returned);
}

BOOL spoolClosePrinter(HANDLE)
{
    return TRUE;
}

void spoolAfterPass()
{
    finishPass(spooler);
    postQuitWhenDue();
}
