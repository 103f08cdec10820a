// The tray program's main routine: texts, the single-instance guard, the
// hidden main window and the message loop that lasts for the whole run.
#include <new>

#include "common/database_lock_win32.h"
#include "common/fatal_report.h"
#include "common/language_files_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "common/window_helpers_win32.h"
#include "shell/main_window_win32.h"

namespace {

// Another copy holds the name: say so and leave it alone; nothing is created.
[[noreturn]] void refuseSecondCopy()
{
    MessageBoxW(nullptr, wide(getText(textid::alreadyRunning)), wide(getText(textid::mainTitle)), MB_OK);
    freeTexts();
    ExitProcess(0);
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

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Memory running out anywhere, in any thread, ends in the same report as
    // a failed allocation of our own, never in an unexplained crash.
    std::set_new_handler([] { fatalError(unit::library, u"191"); });
    // Texts come first: even the refusal of a second copy is a language text.
    loadTexts();

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
