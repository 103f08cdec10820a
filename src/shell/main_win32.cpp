// The program's main routine. Without a switch of ours: the tray program, with
// its texts, the single-instance guard, the hidden main window and the
// message loop that lasts for the whole run. With one: the service, the
// installation or removal of the service, or a report for a script.
#include <windows.h>

#include <shellapi.h>

#include <new>
#include <string>
#include <vector>

#include "common/database_lock_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_files_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "common/window_helpers_win32.h"
#include "service/service_command.h"
#include "service/service_log_win32.h"
#include "service/service_setup.h"
#include "service/service_win32.h"
#include "shell/main_window_win32.h"
#include "shell/report_win32.h"

namespace {

// Another copy holds the name: say so and leave it alone; nothing is created.
[[noreturn]] void refuseSecondCopy()
{
    MessageBoxW(nullptr, wide(getText(textid::alreadyRunning)), wide(getText(textid::mainTitle)), MB_OK);
    freeTexts();
    ExitProcess(0);
}

// Looked up rather than imported: a Windows 7 without its loader update
// lacks the call, and the program must start there all the same.
void restrictLibrarySearch()
{
    using Restrict = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto restrict = kernel == nullptr ? nullptr
                                      : reinterpret_cast<Restrict>(reinterpret_cast<void*>(
                                          GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::vector<std::u16string> commandLineWords()
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) fatalError(unit::shell, u"103");
    std::vector<std::u16string> result;
    for (int i = 1; i < count; ++i) result.emplace_back(utf16(words[i]));
    LocalFree(words);
    return result;
}

// What installing or removing did, in a box unless the caller asked for
// quiet (a deployment script reads the exit code instead).
int tellSetupOutcome(const SetupOutcome& outcome, bool quiet)
{
    if (!quiet)
        MessageBoxW(nullptr, wide(outcome.message.c_str()), wide(getText(textid::mainTitle)),
            MB_OK | (outcome.exitCode == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    freeTexts();
    return outcome.exitCode;
}

HWND createMainWindow(HINSTANCE instance)
{
    WNDCLASSEXW windowClass;
    registerWindowClass(windowClass, 0, mainWndProc,
        LoadIconW(instance, MAKEINTRESOURCEW(shell::largeIconId)), LoadCursorW(nullptr, IDC_ARROW),
        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, contract::mainWindowClass,
        LoadIconW(instance, MAKEINTRESOURCEW(shell::smallIconId)));
    HMENU menu = buildMainMenu();
    HWND window = CreateWindowExW(0, contract::mainWindowClass, wide(getText(textid::mainTitle)),
        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, shell::mainWindowWidth, shell::mainWindowHeight,
        nullptr, menu, instance, nullptr);
    if (window == nullptr) fatalError(unit::shell, u"102");
    return window;
}

// A language file that could not be read is said once, where the role says
// things: a box, or the service's log.
void tellLanguageFileNote(const CommandLineRequest& request)
{
    const std::u16string note = languageFileNote();
    if (note.empty()) return;
    if (request.role == ProgramRole::service || request.quiet)
        appendServiceLog(getText(textid::mainTitle), note);
    else
        MessageBoxW(nullptr, wide(note.c_str()), wide(getText(textid::mainTitle)), MB_OK | MB_ICONWARNING);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Memory running out anywhere, in any thread, ends in the same report as
    // a failed allocation of our own, never in an unexplained crash.
    std::set_new_handler([] { fatalError(unit::library, u"191"); });
    // Libraries loaded from here on come from the system folder alone,
    // never from the current folder or PATH. sqlite3.dll and winspool.drv
    // are imports, loaded before this line from beside the program, which
    // only administrators may change where the service runs from.
    restrictLibrarySearch();
    const std::vector<std::u16string> words = commandLineWords();
    const CommandLineRequest request = readCommandLine(words);
    // A service shows nothing, from its first step on; nor does a quiet
    // installation or removal, nor a report.
    if (request.role == ProgramRole::service)
        prepareServiceReports();
    else if (request.role == ProgramRole::report)
        prepareReportOutput();
    else if (request.quiet && request.role != ProgramRole::trayProgram)
        prepareQuietReports();
    // Texts come first: even the refusal of a second copy is a language text.
    loadTexts();
    tellLanguageFileNote(request);
    switch (request.role) {
    case ProgramRole::service: {
        int exitCode = runService();
        freeTexts();
        return exitCode;
    }
    case ProgramRole::installService: return tellSetupOutcome(installService(programPath()), request.quiet);
    case ProgramRole::uninstallService:
        return tellSetupOutcome(uninstallService(programPath()), request.quiet);
    case ProgramRole::report: {
        int exitCode = runReport(words);
        freeTexts();
        return exitCode;
    }
    case ProgramRole::trayProgram: break;
    }

    // The same mutex is the database lock; nobody owns it at creation.
    dbMutex = CreateMutexW(nullptr, FALSE, contract::mutexName);
    if (dbMutex == nullptr) fatalError(unit::shell, u"101");
    if (GetLastError() == ERROR_ALREADY_EXISTS) refuseSecondCopy();

    initCommonControls();
    HWND window = createMainWindow(instance);
    // The program starts in the tray; the window waits for a click on the icon.
    ShowWindow(window, SW_HIDE);

    auto exitCode = static_cast<int>(runMessageLoop());
    freeTexts();
    return exitCode;
}
