// Scenarios of the about window, and of secondary windows open over each
// other: each nested loop ends only when its own window is gone.
#include <algorithm>
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

// The link targets the program hands to the shell.
constexpr wchar_t webPage[] = L"https://pagewarden.org/";
constexpr wchar_t donation[] = L"https://pagewarden.org/donate";
constexpr wchar_t mail[] = L"mailto:hello@pagewarden.org";

std::wstring linksFile()
{
    return programFolder() + L"\\links.txt";
}

// The lines the link recorder wrote: one link a line.
std::vector<std::wstring> recordedLinks()
{
    std::vector<std::wstring> links;
    HANDLE file = CreateFileW(linksFile().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return links;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) break;
        std::string line = bytes.substr(at, end - at);
        links.push_back(std::wstring(line.begin(), line.end()));
        at = end + 1;
    }
    return links;
}

// While it lives, the shell opens web and mail links with this driver's
// link recorder. Wine reads the handlers from the machine's classes; the
// ones it had are put back after.
struct LinkHandlers {
    static constexpr const wchar_t* schemes[] = {L"http", L"https", L"mailto"};
    std::vector<std::wstring> saved;

    static std::wstring commandKey(const wchar_t* scheme)
    {
        return L"Software\\Classes\\" + std::wstring(scheme) + L"\\shell\\open\\command";
    }
    static void setCommand(const wchar_t* scheme, const std::wstring& command)
    {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, commandKey(scheme).c_str(), nullptr, REG_SZ, command.c_str(),
            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }

    // By default the links go to this driver's recorder; a command given
    // here instead (a program that does not exist, say) goes for them all.
    explicit LinkHandlers(std::wstring command = L"")
    {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (command.empty()) command = L"\"" + std::wstring(self) + L"\" record-link \"%1\"";
        for (const wchar_t* scheme : schemes) {
            wchar_t old[1024] = L"";
            DWORD size = sizeof old;
            RegGetValueW(
                HKEY_LOCAL_MACHINE, commandKey(scheme).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, old, &size);
            saved.push_back(old);
            setCommand(scheme, command);
        }
        DeleteFileW(linksFile().c_str());
    }
    ~LinkHandlers()
    {
        for (std::size_t i = 0; i < saved.size(); ++i) setCommand(schemes[i], saved[i]);
    }
    LinkHandlers(const LinkHandlers&) = delete;
    LinkHandlers& operator=(const LinkHandlers&) = delete;
};

HWND openAbout(const Program& program, HWND main)
{
    PostMessageW(main, WM_COMMAND, cmdAbout, 0);
    HWND about = waitForWindow(aboutClass, program);
    check(about != nullptr, "the about window opens");
    if (about == nullptr) {
        HWND box = waitForMessageBox(program, 100);
        if (box)
            std::printf(
                "     (a message box: %ls / %ls)\n", windowText(box).c_str(), messageBoxText(box).c_str());
        EnumWindows(
            [](HWND w, LPARAM pid) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == static_cast<DWORD>(pid))
                    std::printf("     (window %p class %ls visible %d)\n", static_cast<void*>(w),
                        className(w).c_str(), IsWindowVisible(w));
                return TRUE;
            },
            program.id());
        HWND any = findWindow(aboutClass, program.id());
        std::printf(
            "     (about window %p visible %d)\n", static_cast<void*>(any), any ? IsWindowVisible(any) : 0);
    }
    return about;
}

std::wstring expectedBody()
{
    std::wstring body = texts[6] + L"\r\n\r\n";
    for (unsigned long label = 7; label <= 15; label += 2) {
        body += label == 7 ? L"\r\n" : L"\r\n\r\n";
        body += texts[label] + L"\r\n\t" + texts[label + 1];
    }
    // Who counts: this program, with no service installed.
    return body + L"\r\n\r\n" + texts[1430001] + L"\r\n\t" + texts[1430002];
}

void theAboutWindow()
{
    LinkHandlers handlers;
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    trayClick(main);
    HWND about = openAbout(program, main);
    if (about == nullptr) return;

    check(windowText(about) == texts[19] + L" 0.5.0.0 " + texts[20] + L" Pagewarden",
        "its caption is text 19, the version, text 20 and the product name");
    RECT frame{};
    GetWindowRect(about, &frame);
    check(frame.right - frame.left == 330 && frame.bottom - frame.top == 500, "it measures 330 x 500");
    check(frame.left == (GetSystemMetrics(SM_CXMAXIMIZED) - 330) / 2
            && frame.top == (GetSystemMetrics(SM_CYMAXIMIZED) - 500) / 2,
        "it stands at the centre of the screen");
    check((styleOf(about) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
            == (WS_CAPTION | WS_SYSMENU),
        "a caption with a close box, no resizing");
    check(GetWindow(about, GW_OWNER) == main && IsWindowEnabled(main),
        "the main window owns it and stays enabled");

    std::vector<HWND> controls = childWindows(about);
    check(controls.size() == 4, "it holds the body and three buttons");
    if (controls.size() == 4) {
        RECT client{};
        GetClientRect(about, &client);
        const int w = client.right, h = client.bottom;
        check(lstrcmpiW(className(controls[0]).c_str(), L"Static") == 0
                && windowText(controls[0]) == expectedBody()
                && sameRect(childRect(controls[0]), 25, 25, w - 50, h - 150),
            "the body: texts 6 to 16 and who counts, with their line breaks");
        struct Button {
            int id;
            unsigned long textId;
            int y;
        } buttons[]
            = {{cmdAboutWebPage, 31, h - 150}, {cmdAboutMail, 17, h - 100}, {cmdAboutDonation, 18, h - 50}};
        for (int i = 0; i < 3; ++i)
            check(GetDlgCtrlID(controls[i + 1]) == buttons[i].id
                    && windowText(controls[i + 1]) == texts[buttons[i].textId]
                    && sameRect(childRect(controls[i + 1]), 25, buttons[i].y, w - 50, 25),
                "a button with its id, text and place (web page, e-mail, donation)");
    }
    screenshot(about, L"about-1");

    // A second request shows the open window; the program goes on.
    PostMessageW(main, WM_COMMAND, cmdAbout, 0);
    check(program.running() && IsWindow(about),
        "a second about request leaves the program and the window as they were");

    for (int id : {cmdAboutWebPage, cmdAboutMail, cmdAboutDonation}) PostMessageW(about, WM_COMMAND, id, 0);
    check(waitUntil([] { return recordedLinks().size() == 3; }, 20000),
        "each button hands a link to the shell");
    std::vector<std::wstring> links = recordedLinks();
    std::sort(links.begin(), links.end());
    std::vector<std::wstring> expected = {donation, webPage, mail};
    std::sort(expected.begin(), expected.end());
    check(links == expected, "the web page, e-mail and donation links, exactly");
    check(IsWindow(about) != FALSE, "the window stays open after its links");

    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(waitUntil([&] { return !IsWindow(about); }), "the close box closes it");
    about = openAbout(program, main);
    check(about != nullptr, "it opens again after closing");
    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    waitUntil([&] { return !IsWindow(about); });

    quitFromTheMenu(program, main);
}

// The about window leaves the main window enabled, so the saved-dates window
// can be opened over it and its loop runs inside the about window's. Closing
// the about window first must end neither loop before its own window is gone.
void windowsClosedOutOfOrder()
{
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    trayClick(main);
    Sleep(2000);
    HWND about = openAbout(program, main);
    if (about == nullptr) return;
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    HWND dates = waitForWindow(savedDatesClass, program);
    check(dates != nullptr, "the saved-dates window opens over the about window");
    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(waitUntil([&] { return !IsWindow(about); }), "the about window closes first");
    Sleep(500);
    check(waitForMessageBox(program, 500) == nullptr && program.running(),
        "no fatal report, the program goes on");
    check(IsWindow(dates) && !IsWindowEnabled(main),
        "the saved-dates window stays open, the main window disabled");
    PostMessageW(dates, WM_COMMAND, cmdCloseDates, 0);
    check(waitUntil([&] { return !IsWindow(dates) && IsWindowEnabled(main); }),
        "closing it enables the main window again");

    // The other way round: the about window opened over the saved-dates one,
    // which then closes first; the main window waits for the saved-dates
    // loop, the one that disabled it, to end.
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    dates = waitForWindow(savedDatesClass, program);
    about = openAbout(program, main);
    check(dates != nullptr && about != nullptr, "both windows open again, the about window last");
    PostMessageW(dates, WM_COMMAND, cmdCloseDates, 0);
    check(waitUntil([&] { return !IsWindow(dates); }), "the saved-dates window closes first");
    Sleep(500);
    check(IsWindow(about) && program.running(), "the about window stays open");
    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(waitUntil([&] { return !IsWindow(about) && IsWindowEnabled(main); }),
        "once both are closed the main window is enabled");
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    dates = waitForWindow(savedDatesClass, program);
    check(dates != nullptr, "the saved-dates window opens once more");
    PostMessageW(dates, WM_COMMAND, cmdCloseDates, 0);
    waitUntil([&] { return !IsWindow(dates); });

    // A quit from the tray while both are open ends the program.
    about = openAbout(program, main);
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    dates = waitForWindow(savedDatesClass, program);
    check(about != nullptr && dates != nullptr, "both windows open for the quit");
    trayMenuQuit(program, main);
    check(program.ends(), "a tray quit over both windows ends the program");
    check(program.exitCode() == 0, "with exit code 0");
}

// A link that the shell cannot open stays a fatal report: it names the
// link's line and ends the program with code 1.
void aLinkWithoutAHandler()
{
    LinkHandlers nowhere(L"\"C:\\no such folder\\no such program.exe\" \"%1\"");
    Program program;
    HWND main = waitForMainWindow(program);
    HWND about = openAbout(program, main);
    if (about == nullptr) return;
    PostMessageW(about, WM_COMMAND, cmdAboutMail, 0);
    HWND box = waitForMessageBox(program);
    check(box != nullptr, "the e-mail button without a mail program ends in the fatal report");
    if (box == nullptr) return;
    const std::wstring message = messageBoxText(box);
    const std::vector<std::wstring> lines = messageLines(message);
    check(lines.size() >= 4 && lines[1] == L"42" && lines[3] == L"mirtabout",
        "it names line 42 of the unit mirtabout");
    dismissMessageBox(box);
    check(program.ends() && program.exitCode() == 1, "dismissed, it ends the program with code 1");
}

const bool registered = addScenario(L"about-window", theAboutWindow)
    && addScenario(L"about-link-fails", aLinkWithoutAHandler)
    && addScenario(L"windows-out-of-order", windowsClosedOutOfOrder);

} // namespace

// The link recorder: the shell starts the driver as "pwdriver record-link
// URL" for a web or mail link while theAboutWindow runs.
bool recordLink(int argc, wchar_t** argv)
{
    if (argc != 3 || std::wstring(argv[1]) != L"record-link") return false;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\'));
    HANDLE file = CreateFileW((folder + L"\\links.txt").c_str(), FILE_APPEND_DATA,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    std::wstring link = argv[2];
    std::string line(link.begin(), link.end());
    line += '\n';
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return true;
}
