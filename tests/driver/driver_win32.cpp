// The test driver's common ground and its entry point.
//
// Usage: pwdriver SCENARIO PROGRAM.exe
#include "driver/driver_win32.h"

#include <shellapi.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/scoped_handle_win32.h"

namespace {

int failures = 0;
bool scenarioSkipped = false;

std::map<std::wstring, Scenario>& scenarioTable()
{
    static std::map<std::wstring, Scenario> table;
    return table;
}

} // namespace

// ---- checks ------------------------------------------------------------------------

void check(bool condition, const char* what)
{
    std::printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    std::fflush(stdout);
    if (!condition) ++failures;
}

// The condition is asked again after a pause that doubles up to 64 ms: a
// change that comes at once is seen at once, and a long wait costs a few
// looks a second, not two hundred (each may read the database or send the
// program a message, which on a loaded machine slows everyone down).
bool waitUntil(const std::function<bool()>& condition, DWORD limit)
{
    DWORD start = GetTickCount();
    DWORD pause = 4;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= limit) return false;
        Sleep(pause);
        pause = std::min<DWORD>(pause * 2, 64);
    }
}

void skipScenario(const char* why)
{
    std::printf("skip %s\n", why);
    scenarioSkipped = true;
}

bool addScenario(const wchar_t* name, Scenario run)
{
    scenarioTable()[name] = run;
    return true;
}

// ---- the program under test --------------------------------------------------------

std::wstring programPath;

std::wstring programFolder()
{
    return programPath.substr(0, programPath.find_last_of(L'\\'));
}

std::wstring dataFolder()
{
    wchar_t named[1024] = {}, expanded[1024] = {};
    GetPrivateProfileStringW(
        L"data", L"folder", L"", named, 1024, (programFolder() + L"\\pagewarden.ini").c_str());
    ExpandEnvironmentStringsW(named, expanded, 1024);
    return expanded[0] == 0 ? programFolder() : std::wstring(expanded);
}

bool dataFileThere(const std::wstring& name)
{
    return GetFileAttributesW((dataFolder() + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Program::Program()
    : Program(programPath)
{
}

Program::Program(const std::wstring& path, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + path + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
            &startup, &process)) {
        std::printf("FAIL cannot start %ls (error %lu)\n", path.c_str(), GetLastError());
        std::exit(1);
    }
}

Program::Program(HWND window)
    : owned(false)
{
    GetWindowThreadProcessId(window, &process.dwProcessId);
    process.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process.dwProcessId);
}

Program::~Program()
{
    // Whatever a failed check left running is ended here, and only that.
    if (owned && running()) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, deadline);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

DWORD Program::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

namespace {

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

} // namespace

HWND findWindow(const wchar_t* className, DWORD processId, bool visibleOnly)
{
    WindowSearch search{className, processId, visibleOnly, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const wchar_t* className, const Program& program, DWORD limit)
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindow(className, program.id(), true)) != nullptr; }, limit);
    return window;
}

HWND waitForMainWindow(const Program& program)
{
    // The window is there during its WM_CREATE; its status bar comes near
    // the end of it, and a message it answers once the creation is over.
    HWND window = nullptr;
    waitUntil([&] {
        window = findWindow(mainWindowClass, program.id());
        return window != nullptr && FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr) != nullptr;
    });
    DWORD_PTR answer = 0;
    if (window != nullptr) SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, deadline, &answer);
    return window;
}

HWND waitForTrayMenu(const Program& program)
{
    return waitForWindow(L"#32768", program);
}

HWND waitForMessageBox(const Program& program, DWORD limit)
{
    return waitForWindow(L"#32770", program, limit);
}

std::wstring messageBoxText(HWND box)
{
    return windowText(GetDlgItem(box, 0xFFFF));
}

std::vector<std::wstring> messageLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = text.find(L"\r\n", at);
        lines.push_back(text.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at));
        if (end == std::wstring::npos) return lines;
        at = end + 2;
    }
}

void dismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

std::wstring windowText(HWND window)
{
    // WM_GETTEXT, not GetWindowText: for a control of another process the
    // latter reads the title the system keeps, not what an edit box holds.
    auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring className(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

LONG styleOf(HWND window)
{
    return GetWindowLongW(window, GWL_STYLE);
}

std::vector<HWND> childWindows(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

RECT childRect(HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool sameRect(const RECT& r, int x, int y, int width, int height)
{
    return r.left == x && r.top == y && r.right == width && r.bottom == height;
}

// ---- the tray icon ------------------------------------------------------------------

namespace {

// One shell call about the program's icon (owner window, id 0), no other field set.
bool notifyProgramIcon(HWND window, DWORD action)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = 0;
    return Shell_NotifyIconW(action, &record) != FALSE;
}

} // namespace

// The shell keeps icons by owner window and id; modifying nothing succeeds
// exactly when it holds ours.
bool trayIconPresent(HWND window)
{
    return notifyProgramIcon(window, NIM_MODIFY);
}

void deleteTrayIcon(HWND window)
{
    notifyProgramIcon(window, NIM_DELETE);
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

void trayClick(HWND main)
{
    SendMessageW(main, trayCallbackMsg, 0, WM_LBUTTONDOWN);
}

void quitFromTheMenu(const Program& program, HWND main)
{
    PostMessageW(main, WM_COMMAND, cmdQuit, 0);
    check(program.ends() && program.exitCode() == 0, "the main menu's quit ends the program with code 0");
}

void trayMenuQuit(const Program& program, HWND main)
{
    PostMessageW(main, trayCallbackMsg, 0, WM_RBUTTONDOWN);
    HWND menu = waitForTrayMenu(program);
    check(menu != nullptr, "a right click on the icon opens the tray menu");
    if (menu == nullptr) return;
    // The loop of the menu reads keys from the thread's queue: select the one
    // item, then choose it.
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_CHAR, L'\r', 0);
}

// ---- language texts ---------------------------------------------------------------

std::map<unsigned long, std::wstring> texts;

std::map<unsigned long, std::wstring> languageTexts(const std::wstring& file)
{
    std::map<unsigned long, std::wstring> found;
    HANDLE handle
        = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return found;
    std::wstring content(GetFileSize(handle, nullptr) / 2, L'\0');
    DWORD got = 0;
    ReadFile(handle, content.data(), static_cast<DWORD>(content.size() * 2), &got, nullptr);
    CloseHandle(handle);
    std::size_t at = 0;
    while (at < content.size()) {
        std::size_t end = content.find(L"\r\n", at);
        if (end == std::wstring::npos) end = content.size();
        std::wstring line = content.substr(at, end - at);
        if (!line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
        std::size_t equals = line.find(L'=');
        unsigned long id = std::wcstoul(line.c_str(), nullptr, 10);
        if (equals != std::wstring::npos && found.count(id) == 0) found[id] = line.substr(equals + 1);
        at = end + 2;
    }
    return found;
}

void loadActiveLanguage()
{
    std::wstring folder = programFolder() + L"\\lang\\";
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"_*.lang.txt").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    FindClose(search);
    texts = languageTexts(folder + entry.cFileName);
}

std::vector<std::wstring> folderNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool fileThere(const std::wstring& name)
{
    return GetFileAttributesW((programFolder() + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> pendingFiles()
{
    std::vector<std::wstring> found;
    for (const std::wstring& name : folderNames(dataFolder())) {
        const bool batch = name.size() == 17 + 32 + 4 && name.starts_with(L"pgwarden-pending-")
            && name.ends_with(L".txt") && name.find_first_not_of(L"0123456789abcdef", 17) == 17 + 32;
        if (name == L"pgwarden-pending.txt" || batch) found.push_back(name);
    }
    return found;
}

void writeFile(const std::wstring& name, const std::string& content)
{
    HANDLE file = CreateFileW(
        (programFolder() + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

std::string fileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::string utf8Of(const std::wstring& text)
{
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(),
        static_cast<int>(text.size()), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

std::wstring privateProgramCopy(const std::wstring& name)
{
    const std::wstring from = programFolder();
    const std::wstring to = from + L"\\" + name;
    for (const std::wstring& old : folderNames(to + L"\\lang")) DeleteFileW((to + L"\\lang\\" + old).c_str());
    RemoveDirectoryW((to + L"\\lang").c_str());
    for (const std::wstring& old : folderNames(to)) DeleteFileW((to + L"\\" + old).c_str());
    CreateDirectoryW(to.c_str(), nullptr);
    CreateDirectoryW((to + L"\\lang").c_str(), nullptr);
    std::wstring program = programPath.substr(programPath.find_last_of(L'\\') + 1);
    // The scripted spooler too, where there is one: a copy plays scenarios as well.
    for (const std::wstring& file : {program, std::wstring(L"sqlite3.dll"), std::wstring(L"winspool.drv")})
        CopyFileW((from + L"\\" + file).c_str(), (to + L"\\" + file).c_str(), FALSE);
    for (const std::wstring& file : folderNames(from + L"\\lang"))
        CopyFileW((from + L"\\lang\\" + file).c_str(), (to + L"\\lang\\" + file).c_str(), FALSE);
    return to + L"\\" + program;
}

// ---- memory in the program's process ------------------------------------------------

RemoteMemory::RemoteMemory(const Program& program, SIZE_T size)
    : process(program.process.hProcess)
    , address(static_cast<char*>(
          VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)))
{
    if (address == nullptr) {
        std::printf("FAIL cannot allocate memory in the program (error %lu)\n", GetLastError());
        std::exit(1);
    }
}

RemoteMemory::~RemoteMemory()
{
    VirtualFreeEx(process, address, 0, MEM_RELEASE);
}

std::wstring RemoteMemory::readText(SIZE_T offset, SIZE_T limit) const
{
    std::wstring text(limit, L'\0');
    ReadProcessMemory(process, address + offset, text.data(), limit * sizeof(wchar_t), nullptr);
    text.resize(text.find(L'\0') == std::wstring::npos ? limit : text.find(L'\0'));
    return text;
}

std::vector<std::wstring> tabTexts(const Program& program, HWND tabs)
{
    return itemTexts<TCITEMW>(program, tabs, TCM_GETITEMCOUNT, TCM_GETITEMW, TCIF_TEXT);
}

std::vector<std::wstring> comboTexts(const Program&, HWND combo)
{
    // Wine carries CB_GETLBTEXT between processes itself, into a buffer of
    // the sender's.
    std::vector<std::wstring> found;
    auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        auto length = static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0));
        std::wstring text(length + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(text.find(L'\0'));
        found.push_back(text);
    }
    return found;
}

void clickTab(const Program& program, HWND tabs, int tab)
{
    RemoteMemory memory(program, sizeof(RECT));
    SendMessageW(tabs, TCM_GETITEMRECT, tab, memory.at());
    RECT r = memory.read<RECT>();
    LPARAM point = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(tabs, WM_LBUTTONUP, 0, point);
}

void setPicker(const Program& program, HWND picker, const SYSTEMTIME& value)
{
    RemoteMemory memory(program, sizeof value);
    memory.write(value);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, memory.at());
}

SYSTEMTIME pickerValue(const Program& program, HWND picker)
{
    RemoteMemory memory(program, sizeof(SYSTEMTIME));
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, memory.at());
    return memory.read<SYSTEMTIME>();
}

bool checked(HWND radio)
{
    return SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// ---- real input -----------------------------------------------------------------------

// A real click of the left button in the middle of a window: it activates
// the window and puts the focus where a user's click would.
void clickWithMouse(HWND target)
{
    RECT r{};
    GetWindowRect(target, &r);
    INPUT click[3] = {};
    for (INPUT& input : click) input.type = INPUT_MOUSE;
    click[0].mi.dx = ((r.left + r.right) / 2) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    click[0].mi.dy = ((r.top + r.bottom) / 2) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, click, sizeof(INPUT));
}

bool focusedIn(HWND window, HWND field)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetForegroundWindow() == window
        && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus == field;
}

bool focusByClick(HWND window, HWND field)
{
    for (int click = 0; click < 3; ++click) {
        SetForegroundWindow(window);
        if (click == 0) {
            clickWithMouse(field);
        } else {
            std::printf("     the mouse's click did not reach the field: a click as messages\n");
            RECT r{};
            GetClientRect(field, &r);
            const LPARAM point = MAKELPARAM(r.right / 2, r.bottom / 2);
            PostMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, point);
            PostMessageW(field, WM_LBUTTONUP, 0, point);
        }
        if (waitUntil([&] { return focusedIn(window, field); }, 10000)) return true;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    wchar_t foreground[128] = L"", focus[128] = L"";
    GetClassNameW(GetForegroundWindow(), foreground, 128);
    GetClassNameW(info.hwndFocus, focus, 128);
    std::printf("     the foreground window is %ls, the focus %ls\n", foreground, focus);
    return false;
}

void pressKeys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        --key;
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::wstring clipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = units;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void emptyClipboard()
{
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

// ---- screenshots --------------------------------------------------------------------

namespace {

// The screen DC of Wine shows none of the other process's windows, so the
// script takes the picture from the X server: the driver leaves NAME.request
// in the folder "shots" beside the program and waits until the script has
// taken it away. A request that holds a geometry, WxH+X+Y, asks for that
// part of the screen only.
void requestScreenshot(HWND window, const wchar_t* name, const std::string& geometry)
{
    SendMessageW(window, WM_NULL, 0, 0);
    // Painting waits for an empty queue and cannot be watched from another
    // process; this only gives it time, a late picture fails nothing.
    Sleep(300);
    std::wstring folder = programFolder() + L"\\shots";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring request = folder + L"\\" + name + L".request";
    // Written under another name and renamed, so the script never reads a
    // request that is still empty.
    std::wstring partial = request + L".part";
    {
        ScopedHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), geometry.data(), static_cast<DWORD>(geometry.size()), &written, nullptr);
    }
    MoveFileExW(partial.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    bool taken
        = waitUntil([&] { return GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
    std::printf("     (screenshot %ls%s)\n", name, taken ? "" : " not taken");
}

} // namespace

void screenshot(HWND window, const wchar_t* name)
{
    requestScreenshot(window, name, "");
}

// The desktop of Wine's virtual desktop starts at the X screen's corner, so
// screen coordinates are the picture's.
void windowScreenshot(HWND window, const wchar_t* name)
{
    RECT r{};
    GetWindowRect(window, &r);
    char geometry[64];
    std::snprintf(
        geometry, sizeof geometry, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top);
    requestScreenshot(window, name, geometry);
}

// ---- the database beside the program ---------------------------------------------------

namespace {

struct DatabaseConnection {
    sqlite3* db = nullptr;
    DatabaseConnection()
    {
        std::wstring path = dataFolder() + L"\\pgwarden.db";
        if (sqlite3_open16(path.c_str(), &db) != SQLITE_OK)
            std::printf("FAIL cannot open %ls\n", path.c_str());
        sqlite3_busy_timeout(db, 10000);
    }
    ~DatabaseConnection() { sqlite3_close_v2(db); }
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;
};

} // namespace

std::vector<std::wstring> databaseRows(const std::wstring& sql)
{
    DatabaseConnection connection;
    std::vector<std::wstring> rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare16_v2(connection.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        std::printf("FAIL the query %ls: %s\n", sql.c_str(), sqlite3_errmsg(connection.db));
        ++failures;
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::wstring row;
        for (int cell = 0; cell < sqlite3_column_count(statement); ++cell) {
            if (cell > 0) row += L'|';
            auto text = static_cast<const wchar_t*>(sqlite3_column_text16(statement, cell));
            row += text
                ? std::wstring(text, static_cast<std::size_t>(sqlite3_column_bytes16(statement, cell)) / 2)
                : L"NULL";
        }
        rows.push_back(row);
    }
    sqlite3_finalize(statement);
    return rows;
}

void databaseExec(const std::wstring& sql)
{
    DatabaseConnection connection;
    std::wstring rest = sql;
    const void* tail = rest.c_str();
    while (tail != nullptr && *static_cast<const wchar_t*>(tail) != 0) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare16_v2(connection.db, tail, -1, &statement, &tail) != SQLITE_OK) {
            std::printf("FAIL the statement %ls: %s\n", sql.c_str(), sqlite3_errmsg(connection.db));
            ++failures;
            return;
        }
        if (statement == nullptr) break;
        sqlite3_step(statement);
        sqlite3_finalize(statement);
    }
}

// ---- time -------------------------------------------------------------------------------

Ticks ticksOf(const SYSTEMTIME& time)
{
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    return (static_cast<Ticks>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME timeOf(Ticks ticks)
{
    FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time;
    FileTimeToSystemTime(&file, &time);
    return time;
}

SYSTEMTIME dayAt(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME time{};
    time.wYear = year, time.wMonth = month, time.wDay = day, time.wHour = hour, time.wMinute = minute;
    return timeOf(ticksOf(time));
}

// ---- entry ----------------------------------------------------------------------------------

int wmain(int argc, wchar_t** argv)
{
    if (recordLink(argc, argv)) return 0;
    if (argc == 3 && std::wstring(argv[1]) == L"admin-only")
        return giveAdministratorsOnlyList(argv[2]) ? 0 : 1;
    const auto& scenarios = scenarioTable();
    // A helper process of a scenario: it holds what the scenario asks and
    // leaves its verdict to the scenario.
    if (argc == 3 && std::wstring(argv[1]) == L"hold-mutex") {
        wchar_t full[MAX_PATH];
        GetFullPathNameW(argv[2], MAX_PATH, full, nullptr);
        programPath = full;
        holdMonitorMutex();
        return 0;
    }
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
    return scenarioSkipped ? 77 : 0;
}

void databaseFromAFirstRun(const std::wstring& sql)
{
    DeleteFileW((dataFolder() + L"\\pgwarden.db").c_str());
    {
        Program first;
        HWND main = waitForMainWindow(first);
        PostMessageW(main, WM_COMMAND, cmdQuit, 0);
        check(first.ends(), "a first run makes the database");
    }
    databaseExec(sql);
}

ForeignLock::ForeignLock(Kind kind)
{
    sqlite3_open16((dataFolder() + L"\\pgwarden.db").c_str(), &db_);
    sqlite3_busy_timeout(db_, 10000);
    const std::string begin = kind == exclusive ? "BEGIN EXCLUSIVE;" : "BEGIN IMMEDIATE;";
    bool held = sqlite3_exec(db_,
                    (begin
                        + " INSERT INTO tbFechas (fefecha, fememo) VALUES "
                          "('2026-01-01T00:00:00.000', 'unsaved');")
                        .c_str(),
                    nullptr, nullptr, nullptr)
        == SQLITE_OK;
    check(held,
        kind == exclusive ? "another program holds pgwarden.db exclusively"
                          : "another program holds a write transaction on pgwarden.db");
}

void ForeignLock::release()
{
    if (db_ == nullptr) return;
    sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

// The CSV as the clipboard's table: cells between commas become cells
// between tabs, quoted where a tab table quotes them.
std::wstring csvAsTable(const std::string& csv)
{
    std::wstring text(csv.size(), L'\0');
    const std::size_t skip = csv.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    text.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, csv.data() + skip,
        static_cast<int>(csv.size() - skip), text.data(), static_cast<int>(text.size()))));
    std::wstring table, cell;
    bool quoted = false;
    auto endCell = [&](wchar_t after) {
        const bool quote = cell.find_first_of(L"\t\r\n\"") != std::wstring::npos;
        std::wstring written = cell;
        if (quote) {
            written.clear();
            for (wchar_t c : cell) written += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
            written = L"\"" + written + L"\"";
        }
        table += written;
        table += after;
        cell.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (quoted && c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
            cell += L'"';
            ++i;
        } else if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && c == L',') {
            endCell(L'\t');
        } else if (!quoted && c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            endCell(L'\r');
            table += L'\n';
            ++i;
        } else {
            cell += c;
        }
    }
    return table;
}

void saveLogAsCsv(const Program& program, HWND log, const std::wstring& saved)
{
    DeleteFileW(saved.c_str());
    RECT r{};
    GetWindowRect(log, &r);
    PostMessageW(log, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(log), MAKELPARAM(r.left + 30, r.top + 30));
    HWND menu = waitForTrayMenu(program);
    check(menu != nullptr, "a right click in the log opens its menu");
    if (menu == nullptr) return;
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_CHAR, L'\r', 0);
    HWND dialog = waitForMessageBox(program);
    check(dialog != nullptr, "Save as CSV opens the save dialog");
    if (dialog == nullptr) return;
    HWND name = GetDlgItem(dialog, 0x47C);
    if (name == nullptr) name = GetDlgItem(dialog, 0x480);
    check(
        windowText(name) == texts[1450031] + L"-1800-01-01.csv", "it suggests the log's name and the start");
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    // Written beside its name, then moved into place once whole.
    check(waitUntil(
              [&] {
                  return GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES
                      && GetFileAttributesW((saved + L".new").c_str()) == INVALID_FILE_ATTRIBUTES;
              },
              30000),
        "the log is saved");
}
