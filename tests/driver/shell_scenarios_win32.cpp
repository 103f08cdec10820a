// Scenarios of the tray program's life: start, a second copy, hiding, the
// tray icon, the ways out, and the fatal report.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

void secondStartIsRefused()
{
    Program first;
    HWND window = waitForMainWindow(first);
    check(window != nullptr, "the first copy creates its main window");

    Program second;
    HWND box = nullptr;
    check(waitUntil([&] { return (box = findWindow(L"#32770", second.id(), true)) != nullptr; }),
        "the second copy shows a message box");
    if (box != nullptr) {
        check(windowText(box) == texts[1000003], "the box is captioned with text 1000003");
        // A message box shows its message in the static control with id 0xFFFF.
        check(windowText(GetDlgItem(box, 0xFFFF)) == texts[30], "the box says text 30");
        check(findWindow(mainWindowClass, second.id()) == nullptr, "the second copy creates no main window");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    check(second.ends(), "the second copy ends once the box is closed");
    check(second.exitCode() == 0, "the second copy exits with code 0");
    check(first.running() && IsWindow(window), "the first copy goes on with its window");
    check(
        findWindow(mainWindowClass, second.id()) == nullptr, "no main window of the second copy at any time");
}

void closingAndMinimisingHide()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(window != nullptr, "the main window exists");
    check(!IsWindowVisible(window), "it is hidden at start");
    check(waitForTrayIcon(window), "the tray icon comes");
    check(!IsWindowVisible(window), "the window stays hidden once the icon is there");

    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    check(title == texts[1000003], "its title is text 1000003");
    RECT frame{};
    GetWindowRect(window, &frame);
    check(frame.right - frame.left == 650 && frame.bottom - frame.top == 340, "it measures 650 x 340");

    auto open = [&] {
        PostMessageW(window, trayCallbackMsg, 0, WM_LBUTTONDOWN);
        return waitUntil([&] { return IsWindowVisible(window) != FALSE; });
    };
    check(open(), "a left click on the icon shows it");
    check(!IsIconic(window), "shown restored");

    PostMessageW(window, WM_CLOSE, 0, 0);
    check(waitUntil([&] { return !IsWindowVisible(window); }), "WM_CLOSE hides it");
    check(program.running() && IsWindow(window), "after closing, the program keeps running");

    check(open(), "a left click shows it again");
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    check(waitUntil([&] { return !IsWindowVisible(window); }), "minimising hides it");
    check(program.running() && IsWindow(window), "after minimising, the program keeps running");

    check(open(), "a left click after minimising shows it");
    check(waitUntil([&] { return !IsIconic(window); }), "restored, not minimised");

    // Button releases and double clicks on the icon do nothing.
    PostMessageW(window, WM_CLOSE, 0, 0);
    waitUntil([&] { return !IsWindowVisible(window); });
    PostMessageW(window, trayCallbackMsg, 0, WM_LBUTTONUP);
    PostMessageW(window, trayCallbackMsg, 0, WM_LBUTTONDBLCLK);
    PostMessageW(window, trayCallbackMsg, 0, WM_RBUTTONUP);
    SendMessageW(window, WM_NULL, 0, 0); // the posted ones are handled before this returns
    check(!IsWindowVisible(window), "releases and double clicks leave it hidden");

    quitFromTheMenu(program, window);
}

void trayIconComesAtTheFirstTick()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(window != nullptr, "the main window exists");
    DWORD seen = GetTickCount();
    check(!trayIconPresent(window), "no tray icon at once");
    check(waitUntil([&] { return trayIconPresent(window); }), "the icon is added");
    DWORD delay = GetTickCount() - seen;
    std::printf("     (icon after %lu ms)\n", delay);
    check(delay >= 700, "the icon waits for the first tick");

    // Once the shell has the icon, the timer stops offering it.
    deleteTrayIcon(window);
    Sleep(3 * 1500 + 1000);
    check(!trayIconPresent(window), "a deleted icon is not offered again without TaskbarCreated");

    // A new taskbar clears the flag; the next tick offers the icon again.
    PostMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    check(
        waitUntil([&] { return trayIconPresent(window); }), "after TaskbarCreated the icon is offered again");

    // With the icon still there, TaskbarCreated makes every tick retry an add
    // that fails; the icon and the window must not change.
    PostMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    Sleep(2 * 1500 + 500);
    check(trayIconPresent(window) && program.running(), "repeated adds of a present icon change nothing");

    quitFromTheMenu(program, window);
}

// Quits through the action and checks the end the user sees: the process
// gone with code 0 and no icon left in the notification area. (Wine drops
// the icon of a destroyed window by itself soon after; the script checks in
// the shell's trace that the program deleted it.)
void checkQuitRemovesEverything(const Program& program, HWND window)
{
    check(program.ends(), "the program ends");
    check(program.exitCode() == 0, "with exit code 0");
    check(waitUntil([] { return notificationAreaEmpty(notificationAreaPicture()); }, 5000),
        "no icon is left in the notification area");
    check(!trayIconPresent(window), "the shell holds no icon of the window");
}

void quitCommandEndsTheProgram()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(waitForTrayIcon(window), "the icon is added and shown");
    PostMessageW(window, WM_COMMAND, cmdQuit, 0);
    checkQuitRemovesEverything(program, window);
}

void trayMenuQuitEndsTheProgram()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(waitForTrayIcon(window), "the icon is added and shown");

    // Dismissing the menu changes nothing.
    PostMessageW(window, trayCallbackMsg, 0, WM_RBUTTONDOWN);
    HWND menu = waitForTrayMenu(program);
    check(menu != nullptr, "a right click opens the tray menu");
    if (menu != nullptr) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    check(
        waitUntil([&] { return findWindow(L"#32768", program.id(), true) == nullptr; }), "Escape closes it");
    Sleep(500);
    check(program.running() && trayIconPresent(window), "and the program goes on with its icon");

    PostMessageW(window, trayCallbackMsg, 0, WM_RBUTTONDOWN);
    menu = waitForTrayMenu(program);
    check(menu != nullptr, "a second right click opens it again");
    if (menu != nullptr) {
        // The loop of the menu reads keys from the thread's queue: select the
        // one item, then choose it.
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_CHAR, L'\r', 0);
    }
    checkQuitRemovesEverything(program, window);
}

// The about window runs a loop of its own inside the main window's command
// handler; quitting from the tray meanwhile must still end the program.
void trayQuitDuringSecondaryWindow()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(waitForTrayIcon(window), "the icon is added and shown");
    PostMessageW(window, WM_COMMAND, cmdAbout, 0);
    HWND about = nullptr;
    if (!waitUntil(
            [&] { return (about = findWindow(L"MirtAboutF1", program.id(), true)) != nullptr; }, 10000)) {
        skipScenario("the about window does not open yet");
        PostMessageW(window, WM_COMMAND, cmdQuit, 0);
        program.ends();
        return;
    }
    PostMessageW(window, trayCallbackMsg, 0, WM_RBUTTONDOWN);
    HWND menu = waitForTrayMenu(program);
    check(menu != nullptr, "the tray menu opens over the about window");
    if (menu != nullptr) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_CHAR, L'\r', 0);
    }
    check(program.ends(), "choosing quit ends the program, not only the about window's loop");
    check(program.exitCode() == 0, "with exit code 0");
}

void unknownCommandReturnsOne()
{
    Program program;
    HWND window = waitForMainWindow(program);
    check(window != nullptr, "the main window exists");
    check(SendMessageW(window, WM_COMMAND, MAKEWPARAM(12345, 0), 0) == 1, "an unknown command returns 1");
    check(SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, CBN_DROPDOWN), 0) == 1,
        "a notification of no control of ours returns 1");
    check(program.running(), "and changes nothing");
    quitFromTheMenu(program, window);
}

// Without its language folder the program cannot even word its report: it
// shows the plain one, creates no window and ends with code 1, so whoever
// started it can tell the failure from a normal quit.
void missingLanguageFolderEndsInThePlainReport()
{
    std::wstring folder = programFolder();
    std::wstring lang = folder + L"\\lang", aside = folder + L"\\lang-aside";
    check(MoveFileW(lang.c_str(), aside.c_str()) != FALSE, "the language folder is put aside");
    {
        Program program;
        HWND box = nullptr;
        check(waitUntil([&] { return (box = findWindow(L"#32770", program.id(), true)) != nullptr; }),
            "the program shows a message box");
        if (box != nullptr) {
            std::wstring message = windowText(GetDlgItem(box, 0xFFFF));
            check(message.find(L"\r\n163\r\n") != std::wstring::npos, "it names line 163");
            std::vector<std::wstring> lines = messageLines(message);
            check(lines.size() == 5 && lines[3] == L"milibreria",
                "it names the unit milibreria on its fourth line");
            check(lines.size() == 5 && lines[4].find(L"\\lang: ") != std::wstring::npos
                    && lines[4].size() > lines[4].find(L": ") + 4,
                "and says on a fifth which folder and why, in the system's words");
            if (lines.size() == 5) std::printf("     (%ls)\n", lines[4].c_str());
            check(findWindow(mainWindowClass, program.id()) == nullptr, "no main window was created");
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        check(program.ends(), "the program ends once the box is closed");
        check(program.exitCode() == 1, "it exits with code 1");
    }
    check(MoveFileW(aside.c_str(), lang.c_str()) != FALSE, "the language folder is put back");
}

const bool registered = addScenario(L"second-start", secondStartIsRefused)
    && addScenario(L"hide", closingAndMinimisingHide)
    && addScenario(L"tray-icon", trayIconComesAtTheFirstTick)
    && addScenario(L"quit-command", quitCommandEndsTheProgram)
    && addScenario(L"tray-quit", trayMenuQuitEndsTheProgram)
    && addScenario(L"unknown-command", unknownCommandReturnsOne)
    && addScenario(L"quit-over-about", trayQuitDuringSecondaryWindow)
    && addScenario(L"fatal-report", missingLanguageFolderEndsInThePlainReport);

} // namespace
