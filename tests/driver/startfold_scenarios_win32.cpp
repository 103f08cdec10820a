// Scenarios of Startfold, the companion that opens the Startup folder. Run
// with Startfold.exe in place of the tray program.
#include <shlobj.h>

#include <set>

#include "driver/driver_win32.h"

namespace {

struct FolderWindow {
    HWND window;
    DWORD processId;
};

BOOL CALLBACK collectFolderWindow(HWND window, LPARAM context)
{
    // The folder windows of Wine's explorer and of the Windows shell.
    std::wstring name = className(window);
    if (name == L"ExplorerWClass" || name == L"CabinetWClass") {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        reinterpret_cast<std::vector<FolderWindow>*>(context)->push_back({window, owner});
    }
    return TRUE;
}

std::vector<FolderWindow> folderWindows()
{
    std::vector<FolderWindow> found;
    EnumWindows(collectFolderWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Folder windows that the shell opens while it lives are closed when it ends,
// failed checks included: Wine shows a folder in an explorer process of its
// own, which inherits the test's output pipe, and while it runs the test run
// never sees the end of its output.
struct FolderWindowsOpenedHere {
    std::set<HWND> before;

    FolderWindowsOpenedHere()
    {
        for (const FolderWindow& folder : folderWindows()) before.insert(folder.window);
    }
    ~FolderWindowsOpenedHere() { closeAll(); }
    FolderWindowsOpenedHere(const FolderWindowsOpenedHere&) = delete;
    FolderWindowsOpenedHere& operator=(const FolderWindowsOpenedHere&) = delete;

    std::vector<FolderWindow> opened() const
    {
        std::vector<FolderWindow> found = folderWindows();
        std::erase_if(found, [&](const FolderWindow& folder) { return before.count(folder.window) != 0; });
        return found;
    }

    // True when every window went and its process ended of itself.
    bool closeAll() const
    {
        bool clean = true;
        DWORD desktopProcess = 0;
        GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
        for (const FolderWindow& folder : opened()) {
            PostMessageW(folder.window, WM_CLOSE, 0, 0);
            // A folder shown by the desktop's own process only loses its window.
            if (folder.processId == desktopProcess) {
                clean &= waitUntil([&] { return !IsWindow(folder.window); });
                continue;
            }
            HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, folder.processId);
            if (process == nullptr) continue; // already gone
            if (WaitForSingleObject(process, deadline) != WAIT_OBJECT_0) {
                TerminateProcess(process, 99);
                clean = false;
            }
            CloseHandle(process);
        }
        return clean;
    }
};

std::wstring startupFolderPath()
{
    wchar_t path[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return L"";
    return path;
}

void startfoldOpensTheStartupFolder()
{
    std::wstring startup = startupFolderPath();
    check(!startup.empty(), "the prefix has a Startup folder");
    std::wstring folderName = startup.substr(startup.find_last_of(L'\\') + 1);
    FolderWindowsOpenedHere folders;
    {
        Program program;
        bool boxSeen = false;
        check(waitUntil([&] {
            boxSeen |= findWindow(L"#32770", program.id(), true) != nullptr;
            return !program.running();
        }),
            "Startfold ends by itself");
        check(!boxSeen, "without any message box");
        check(program.exitCode() == 0, "with exit code 0");
    }
    std::vector<FolderWindow> opened;
    check(waitUntil([&] { return !(opened = folders.opened()).empty(); }), "the shell opens a folder window");
    check(opened.size() == 1, "exactly one");
    if (opened.size() == 1) {
        HWND window = opened[0].window;
        // Wine titles the window with the folder's name, Windows may add more;
        // the title and the showing come a moment after the window itself.
        check(waitUntil([&] { return windowText(window).find(folderName) != std::wstring::npos; }),
            "it shows the Startup folder");
        check(waitUntil([&] { return IsWindowVisible(window) != FALSE; }) && !IsIconic(window)
                && !IsZoomed(window),
            "in a normal window");
        screenshot(window, L"startfold-opened");
    }
    check(folders.closeAll(), "the folder window closes and its process ends");
}

// Where the shell finds the Startup folder. Pointed at a name that no file
// system allows ("|"), SHGetFolderPathW reports the folder missing; the
// original value comes back at the end, failed checks included.
struct StartupFolderUnavailable {
    HKEY key = nullptr;
    DWORD type = REG_EXPAND_SZ;
    std::vector<BYTE> original;
    bool hadValue = false;
    bool changed = false;

    StartupFolderUnavailable()
    {
        if (RegOpenKeyExW(HKEY_CURRENT_USER,
                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                KEY_QUERY_VALUE | KEY_SET_VALUE, &key)
            != ERROR_SUCCESS) {
            key = nullptr;
            return;
        }
        DWORD size = 0;
        hadValue = RegQueryValueExW(key, L"Startup", nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
        original.resize(size);
        if (hadValue)
            hadValue = RegQueryValueExW(key, L"Startup", nullptr, &type, original.data(), &size) == 0;
        static constexpr wchar_t nowhere[] = L"C:\\Startup|unavailable";
        changed = RegSetValueExW(key, L"Startup", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(nowhere),
                      sizeof nowhere)
            == ERROR_SUCCESS;
    }
    ~StartupFolderUnavailable()
    {
        restore();
        if (key != nullptr) RegCloseKey(key);
    }
    StartupFolderUnavailable(const StartupFolderUnavailable&) = delete;
    StartupFolderUnavailable& operator=(const StartupFolderUnavailable&) = delete;

    bool restore()
    {
        if (!changed) return true;
        changed = false;
        if (!hadValue) return RegDeleteValueW(key, L"Startup") == ERROR_SUCCESS;
        return RegSetValueExW(key, L"Startup", 0, type, original.data(), static_cast<DWORD>(original.size()))
            == ERROR_SUCCESS;
    }
};

// The child windows of a message box of the given class, visible ones only.
std::vector<HWND> visibleChildren(HWND box, const wchar_t* childClass)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && lstrcmpiW(className(child).c_str(), childClass) == 0)
            found.push_back(child);
    return found;
}

void startfoldFailureShowsItsBoxAndExitsWithOne()
{
    FolderWindowsOpenedHere folders;
    {
        StartupFolderUnavailable unavailable;
        check(unavailable.changed, "the Startup folder is pointed somewhere that cannot exist");
        check(startupFolderPath().empty(), "and the shell can no longer find it");

        Program program;
        HWND box = nullptr;
        check(waitUntil([&] { return (box = findWindow(L"#32770", program.id(), true)) != nullptr; }),
            "Startfold shows a message box");
        if (box != nullptr) {
            check(windowText(box) == L"This program will close", "captioned \"This program will close\"");
            check(windowText(GetDlgItem(box, 0xFFFF)) == L"I was unable of openning startup folder",
                "saying \"I was unable of openning startup folder\"");
            std::vector<HWND> buttons = visibleChildren(box, L"Button");
            check(buttons.size() == 1 && GetDlgCtrlID(buttons[0]) == IDOK, "with a single OK button");
            // Wine keeps the icon control of a box without icon, empty.
            bool icon = false;
            for (HWND image : visibleChildren(box, L"Static"))
                icon |= (styleOf(image) & SS_TYPEMASK) == SS_ICON
                    && SendMessageW(image, STM_GETICON, 0, 0) != 0;
            check(!icon, "and no icon");
            check(GetWindow(box, GW_OWNER) == nullptr, "owned by no window");
            screenshot(box, L"startfold-failure");
            check(program.running(), "Startfold waits while the box is shown");
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        check(program.ends(), "Startfold ends once the box is dismissed");
        check(program.exitCode() == 1, "with exit code 1");
        check(folders.opened().empty(), "no folder window was opened");
        check(unavailable.restore(), "the Startup folder is put back");
    }
    check(!startupFolderPath().empty(), "the shell finds it again");
}

const bool registered = addScenario(L"startfold-opens", startfoldOpensTheStartupFolder)
    && addScenario(L"startfold-failure", startfoldFailureShowsItsBoxAndExitsWithOne);

} // namespace
