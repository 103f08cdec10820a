// Drives the tray program from outside, as a user and the shell would, and
// checks what they would see: windows, message boxes, the tray icon and the
// exit code. One scenario per run; exit code 0 when every check held.
//
// Usage: pwdriver SCENARIO PROGRAM.exe
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr wchar_t mainWindowClass[] = L"pgwarden1";
constexpr UINT trayCallbackMsg = WM_USER + 1;
constexpr WORD cmdQuit = 10006;
constexpr WORD cmdAbout = 10016;
// Every wait is a poll against a deadline far above what an idle machine
// needs, so a loaded one slows the test down without failing it.
constexpr DWORD deadline = 30000;

int failures = 0;

void check(bool condition, const char* what)
{
    std::printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    std::fflush(stdout);
    if (!condition) ++failures;
}

bool waitUntil(const std::function<bool()>& condition, DWORD limit = deadline)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= limit) return false;
        Sleep(5);
    }
}

// ---- the program under test ---------------------------------------------------

std::wstring programPath;

struct Program {
    PROCESS_INFORMATION process{};

    Program()
    {
        std::wstring commandLine = L"\"" + programPath + L"\"";
        std::wstring folder = programPath.substr(0, programPath.find_last_of(L'\\'));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                folder.c_str(), &startup, &process)) {
            std::printf("FAIL cannot start the program (error %lu)\n", GetLastError());
            std::exit(1);
        }
    }
    ~Program()
    {
        // Whatever a failed check left running is ended here, and only that.
        if (running()) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, deadline);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    bool ends() const { return WaitForSingleObject(process.hProcess, deadline) == WAIT_OBJECT_0; }
    DWORD exitCode() const
    {
        DWORD code = 259;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    DWORD id() const { return process.dwProcessId; }
};

struct WindowSearch {
    const wchar_t* className;
    DWORD processId;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    wchar_t name[64];
    if (!GetClassNameW(window, name, 64) || lstrcmpW(name, search.className) != 0) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search.processId != 0 && owner != search.processId) return TRUE;
    if (search.visibleOnly && !IsWindowVisible(window)) return TRUE;
    search.found = window;
    return FALSE;
}

// A top-level window of the class belonging to the process (any process for 0).
HWND findWindow(const wchar_t* className, DWORD processId, bool visibleOnly = false)
{
    WindowSearch search{className, processId, visibleOnly, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForMainWindow(const Program& program)
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindow(mainWindowClass, program.id())) != nullptr; });
    return window;
}

// The shell keeps icons by owner window and id; modifying nothing succeeds
// exactly when it holds ours.
bool trayIconPresent(HWND window)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

// The pixels of the taskbar's right end, where the notification area is.
// Once the owner window is gone the shell drops a left-over icon from its
// list the moment anyone asks about it, so after the end of the program only
// the picture tells whether the icon was deleted or merely abandoned.
std::vector<COLORREF> notificationAreaPicture()
{
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT area{};
    if (taskbar == nullptr || !GetWindowRect(taskbar, &area)) return {};
    area.left = std::max(area.left, area.right - 200);
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &format, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void deleteTrayIcon(HWND window)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = 0;
    Shell_NotifyIconW(NIM_DELETE, &record);
}

std::wstring windowText(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// Nothing but the taskbar's own colour: no icon is drawn there.
bool notificationAreaEmpty(const std::vector<COLORREF>& picture)
{
    return !picture.empty()
        && std::all_of(picture.begin(), picture.end(), [&](COLORREF c) { return c == picture[0]; });
}

// The icon is in the shell's list and drawn in the notification area.
bool waitForTrayIcon(HWND window)
{
    return waitUntil(
        [&] { return trayIconPresent(window) && !notificationAreaEmpty(notificationAreaPicture()); });
}

// ---- language texts, read the way the program reads them --------------------------

std::map<unsigned long, std::wstring> texts;

void loadActiveLanguage()
{
    std::wstring folder = programPath.substr(0, programPath.find_last_of(L'\\')) + L"\\lang\\";
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"_*.lang.txt").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    HANDLE file = CreateFileW((folder + entry.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::wstring content(GetFileSize(file, nullptr) / 2, L'\0');
    DWORD got = 0;
    ReadFile(file, content.data(), static_cast<DWORD>(content.size() * 2), &got, nullptr);
    CloseHandle(file);
    std::size_t at = 0;
    while (at < content.size()) {
        std::size_t end = content.find(L"\r\n", at);
        if (end == std::wstring::npos) end = content.size();
        std::wstring line = content.substr(at, end - at);
        if (!line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
        std::size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            texts[std::wcstoul(line.c_str(), nullptr, 10)] = line.substr(equals + 1);
        at = end + 2;
    }
}

// ---- scenarios ------------------------------------------------------------------

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

    PostMessageW(window, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "and it quits with code 0");
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

    PostMessageW(window, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "and it quits with code 0");
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

HWND waitForTrayMenu(const Program& program)
{
    HWND menu = nullptr;
    waitUntil([&] { return (menu = findWindow(L"#32768", program.id(), true)) != nullptr; });
    return menu;
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

// Exit code of a scenario that found nothing to test.
constexpr int skipped = 77;
bool scenarioSkipped = false;

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
        std::puts("skip the about window does not open yet");
        scenarioSkipped = true;
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
    PostMessageW(window, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "then it quits with code 0");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::map<std::wstring, void (*)()> scenarios = {
        {L"second-start", secondStartIsRefused},
        {L"hide", closingAndMinimisingHide},
        {L"tray-icon", trayIconComesAtTheFirstTick},
        {L"quit-command", quitCommandEndsTheProgram},
        {L"tray-quit", trayMenuQuitEndsTheProgram},
        {L"unknown-command", unknownCommandReturnsOne},
        {L"quit-over-about", trayQuitDuringSecondaryWindow},
    };
    auto scenario = argc == 3 ? scenarios.find(argv[1]) : scenarios.end();
    if (scenario == scenarios.end()) {
        std::fputs("usage: pwdriver SCENARIO PROGRAM.exe\nscenarios:", stderr);
        for (const auto& [name, run] : scenarios) std::fprintf(stderr, " %ls", name.c_str());
        std::fputs("\n", stderr);
        return 2;
    }
    wchar_t full[MAX_PATH];
    GetFullPathNameW(argv[2], MAX_PATH, full, nullptr);
    programPath = full;
    loadActiveLanguage();
    if (texts.empty()) {
        std::puts("FAIL no active language file beside the program");
        return 1;
    }
    scenario->second();
    if (failures != 0) return 1;
    return scenarioSkipped ? skipped : 0;
}
