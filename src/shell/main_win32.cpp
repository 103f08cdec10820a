// The tray program's main routine: texts, the single-instance guard, the
// hidden main window and the message loop that lasts for the whole run.
#include <new>

#include "common/db_mutex_win32.h"
#include "common/milibreria_win32.h"
#include "shell/iconoenbarra_win32.h"

namespace {

// Another copy holds the name: say so and leave it alone; nothing is created.
[[noreturn]] void refuseSecondCopy()
{
    MessageBoxW(nullptr, wide(getText(30)), wide(getText(1000003)), MB_OK);
    freeTexts();
    ExitProcess(0);
}

HWND createMainWindow(HINSTANCE instance)
{
    WNDCLASSEXW windowClass;
    registerWindowClass(windowClass, 0, mainWndProc,
        LoadIconW(instance, MAKEINTRESOURCEW(shell::largeIconId)), LoadCursorW(nullptr, IDC_ARROW),
        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, shell::mainWindowClass,
        LoadIconW(instance, MAKEINTRESOURCEW(shell::smallIconId)));
    HMENU menu = buildMainMenu();
    HWND window = CreateWindowExW(0, shell::mainWindowClass, wide(getText(1000003)), WS_OVERLAPPEDWINDOW,
        CW_USEDEFAULT, CW_USEDEFAULT, shell::mainWindowWidth, shell::mainWindowHeight, nullptr, menu,
        instance, nullptr);
    if (window == nullptr) fatalHere(shellUnit);
    return window;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Memory running out anywhere, in any thread, ends in the same report as
    // a failed allocation of our own, never in an unexplained crash.
    std::set_new_handler([] { fatalError(u"milibreria", u"191"); });
    // Texts come first: even the refusal of a second copy is a language text.
    loadTexts();

    // The same mutex is the database lock; nobody owns it at creation.
    dbMutex = CreateMutexW(nullptr, FALSE, shell::mutexName);
    if (dbMutex == nullptr) fatalHere(shellUnit);
    if (GetLastError() == ERROR_ALREADY_EXISTS) refuseSecondCopy();

    initCommonControls();
    HWND window = createMainWindow(instance);
    // The program starts in the tray; the window waits for a click on the icon.
    ShowWindow(window, SW_HIDE);

    auto exitCode = static_cast<int>(runMessageLoop());
    freeTexts();
    return exitCode;
}
