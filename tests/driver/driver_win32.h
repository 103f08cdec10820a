// The test driver's common ground: the program under test, its windows and
// message boxes, memory in its process, its language texts, screenshots, and
// the table of scenarios that each scenario file adds to.
//
// The driver works the tray program from outside, as a user and the shell
// would, and checks what they would see. One scenario per run; exit code 0
// when every check held, 77 when the scenario found nothing to test.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "common/window_contract.h"

struct sqlite3;

// The program's window classes, commands and messages, as it declares them.
using namespace contract;

// Every wait is a poll against a deadline far above what an idle machine
// needs, so a loaded one slows the test down without failing it.
inline constexpr DWORD deadline = 30000;

// ---- checks ------------------------------------------------------------------------

void check(bool condition, const char* what);
bool waitUntil(const std::function<bool()>& condition, DWORD limit = deadline);
// Exit code 77: the scenario found nothing to test.
void skipScenario(const char* why);

// "pwdriver record-link URL": the driver standing in for the shell's web and
// mail handlers; appends the link to links.txt beside itself.
bool recordLink(int argc, wchar_t** argv);

using Scenario = void (*)();
// Called from a static initialiser of each scenario file.
bool addScenario(const wchar_t* name, Scenario run);

// ---- the program under test --------------------------------------------------------

// The program's full path, and its folder ("lang" is there, and the
// database unless pagewarden.ini names a data folder).
extern std::wstring programPath;
std::wstring programFolder();
// The folder of pgwarden.db and the files beside it, as the program finds it.
std::wstring dataFolder();
bool dataFileThere(const std::wstring& name);
// "pwdriver admin-only FOLDER": the folder, and every file and folder in it,
// given the list of a folder under Program Files (administrators and the
// system change, users read and run), as the service's installation wants.
bool giveAdministratorsOnlyList(const std::wstring& folder);
// "pwdriver hold-mutex PROGRAM.exe": a process that makes and owns the
// monitor's mutex, as any user could, until end-squat.txt lies beside the program.
void holdMonitorMutex();

struct Program {
    PROCESS_INFORMATION process{};

    bool owned = true; // started here, so ended here should a check fail

    Program(); // starts programPath in its own folder
    explicit Program(const std::wstring& path, const std::wstring& arguments = L"");
    // A program somebody else started, found by its window; left running.
    explicit Program(HWND window);
    ~Program(); // ends whatever a failed check left running, of a program started here
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    bool ends(DWORD limit = deadline) const
    {
        return WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const;
    DWORD id() const { return process.dwProcessId; }
};

// A top-level window of the class belonging to the process (any process for 0).
HWND findWindow(const wchar_t* className, DWORD processId, bool visibleOnly = false);
HWND waitForWindow(const wchar_t* className, const Program& program, DWORD limit = deadline);
HWND waitForMainWindow(const Program& program);
HWND waitForTrayMenu(const Program& program);
// A message box of the program, shown.
HWND waitForMessageBox(const Program& program, DWORD limit = deadline);
// The text a message box shows: its static control with id 0xFFFF.
std::wstring messageBoxText(HWND box);
void dismissMessageBox(HWND box);
// The lines of a text, split at CR LF.
std::vector<std::wstring> messageLines(const std::wstring& text);

std::wstring windowText(HWND window);
std::wstring className(HWND window);
LONG styleOf(HWND window);
// The children of a window in their order among siblings, which is the order
// of their creation.
std::vector<HWND> childWindows(HWND parent);
// A rectangle in the parent's client coordinates: x, y, width, height.
RECT childRect(HWND child);
bool sameRect(const RECT& r, int x, int y, int width, int height);

// ---- the tray icon ------------------------------------------------------------------

bool trayIconPresent(HWND window);
void deleteTrayIcon(HWND window);
std::vector<COLORREF> notificationAreaPicture();
bool notificationAreaEmpty(const std::vector<COLORREF>& picture);
bool waitForTrayIcon(HWND window);
void trayClick(HWND main);
// The main menu's quit: the program must end with code 0.
void quitFromTheMenu(const Program& program, HWND main);
// Opens the tray menu with a right click and chooses its one item.
void trayMenuQuit(const Program& program, HWND main);

// ---- language texts, read the way the program reads them --------------------------

extern std::map<unsigned long, std::wstring> texts;
void loadActiveLanguage();
// The texts of one language file, first line of an id first.
std::map<unsigned long, std::wstring> languageTexts(const std::wstring& file);

// ---- files ------------------------------------------------------------------------------

// The names in a folder, sorted, without "." and "..".
std::vector<std::wstring> folderNames(const std::wstring& folder);
// Writes a file beside the program (the scripted spooler's scenario, a file
// a scenario waits for, a damaged database).
void writeFile(const std::wstring& name, const std::string& content);
// Whether a file of that name lies beside the program.
bool fileThere(const std::wstring& name);
// The pending files beside the program: "pgwarden-pending.txt" and the
// files of single batches, "pgwarden-pending-" and 32 hexadecimal digits.
std::vector<std::wstring> pendingFiles();
// A file's bytes as they are (empty when it cannot be read), and text as UTF-8.
std::string fileBytes(const std::wstring& path);
std::string utf8Of(const std::wstring& text);
// A fresh copy of the program, its SQLite and its language files in a folder
// of that name beside it, for a scenario that changes files; the program's
// path in it.
std::wstring privateProgramCopy(const std::wstring& name);

// ---- memory in the program's process ------------------------------------------------

// List views, tab controls, combo boxes, date pickers and WM_NOTIFY all take
// pointers that the program dereferences in its own address space, so a
// record sent from here must live there.
struct RemoteMemory {
    HANDLE process;
    char* address;

    RemoteMemory(const Program& program, SIZE_T size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    template <typename T> void write(const T& value, SIZE_T offset = 0)
    {
        WriteProcessMemory(process, address + offset, &value, sizeof value, nullptr);
    }
    template <typename T> T read(SIZE_T offset = 0) const
    {
        T value{};
        ReadProcessMemory(process, address + offset, &value, sizeof value, nullptr);
        return value;
    }
    std::wstring readText(SIZE_T offset, SIZE_T limit) const;
    LPARAM at(SIZE_T offset = 0) const { return reinterpret_cast<LPARAM>(address + offset); }
};

// Sends a message whose lParam points at a record, placed in the program's
// memory; returns the record as the control left it.
template <typename T>
T remoteRecord(const Program& program, HWND control, UINT message, WPARAM wParam, T record)
{
    RemoteMemory memory(program, sizeof record);
    memory.write(record);
    SendMessageW(control, message, wParam, memory.at());
    return memory.read<T>();
}

// An empty record asking for these fields.
template <typename T> T withMask(UINT mask)
{
    T record{};
    record.mask = mask;
    return record;
}

inline constexpr SIZE_T textLimit = 270;
inline constexpr SIZE_T textOffset = 256; // every record we send fits before it

// The texts of a control's items (header items, tabs), read through a record
// placed in the program's memory with the text buffer behind it.
template <typename Item>
std::vector<std::wstring> itemTexts(
    const Program& program, HWND control, UINT countMessage, UINT getMessage, UINT textMask)
{
    RemoteMemory memory(program, textOffset + textLimit * sizeof(wchar_t));
    std::vector<std::wstring> found;
    auto count = static_cast<int>(SendMessageW(control, countMessage, 0, 0));
    for (int index = 0; index < count; ++index) {
        Item item{};
        item.mask = textMask;
        item.pszText = reinterpret_cast<wchar_t*>(memory.address + textOffset);
        item.cchTextMax = textLimit;
        memory.write(item);
        SendMessageW(control, getMessage, index, memory.at());
        found.push_back(memory.readText(textOffset, textLimit));
    }
    return found;
}
std::vector<std::wstring> tabTexts(const Program& program, HWND tabs);
std::vector<std::wstring> comboTexts(const Program& program, HWND combo);
// A real click on a tab: the tab control selects it and notifies its parent.
void clickTab(const Program& program, HWND tabs, int tab);
// Sets a date picker through the program's memory, and reads it back.
void setPicker(const Program& program, HWND picker, const SYSTEMTIME& value);
SYSTEMTIME pickerValue(const Program& program, HWND picker);
bool checked(HWND radio);

// ---- real input ------------------------------------------------------------------------

// A real click of the left button in the middle of a window: it activates
// the window and puts the focus where a user's click would.
void clickWithMouse(HWND target);
// The window is the foreground window and the field has the focus.
bool focusedIn(HWND window, HWND field);
// Brings the window to the front and clicks the field until it has the
// focus, false after three tries (10 s each). Under load Wine now and then
// leaves the mouse with a control clicked a moment before: after the first
// try the click goes to the field as messages of its own.
bool focusByClick(HWND window, HWND field);
// Keys pressed together and let go in reverse order, e.g. {VK_CONTROL, 'C'}.
void pressKeys(std::initializer_list<WORD> keys);

// The clipboard's text, and an empty clipboard.
std::wstring clipboardText();
void emptyClipboard();

// ---- screenshots --------------------------------------------------------------------

// A picture of the whole desktop, taken by the script from the X server.
void screenshot(HWND window, const wchar_t* name);
// The same picture cropped to the window's frame, for the documentation.
void windowScreenshot(HWND window, const wchar_t* name);

// ---- the database beside the program, read as another program would ----------------

// Every row of a query, its cells joined by "|" (NULL for a null cell).
std::vector<std::wstring> databaseRows(const std::wstring& sql);
void databaseExec(const std::wstring& sql);
// A new database made by a first run of the program (its tables and kept
// totals), then given rows by hand as another program would.
void databaseFromAFirstRun(const std::wstring& sql);

// Another program's transaction on the database, from its creation to its
// end: a write transaction as a database browser with unsaved changes holds
// one, or an exclusive one, as during a commit, which keeps readers out too.
class ForeignLock {
public:
    enum Kind { write, exclusive };
    explicit ForeignLock(Kind kind = write);
    ~ForeignLock() { release(); }
    void release();
    ForeignLock(const ForeignLock&) = delete;
    ForeignLock& operator=(const ForeignLock&) = delete;

private:
    sqlite3* db_ = nullptr;
};

// ---- jobs with submission times around the day of the test --------------------------

using Ticks = unsigned long long; // 100 ns since 1601
Ticks ticksOf(const SYSTEMTIME& time);
SYSTEMTIME timeOf(Ticks ticks); // with its day of the week, which the date picker wants
SYSTEMTIME dayAt(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0);

struct Job {
    int id;
    const char* printer;
    const char* user;
    const char* machine;
    int printed, copies;
    SYSTEMTIME submitted;
};

// One pass with every job printing its last page, then passes with empty
// queues: the program records each job when it leaves its queue.
void writeSpoolerScenario(const std::vector<Job>& jobs);

// ---- the statistics view -------------------------------------------------------------

struct StatisticsControls {
    HWND groupBox = nullptr, periodRadio = nullptr, dateRadio = nullptr, periodCombo = nullptr,
         datePicker = nullptr, statsList = nullptr, groupingTabs = nullptr, monthChart = nullptr,
         statusBar = nullptr;
    bool complete() const
    {
        return groupBox && periodRadio && dateRadio && periodCombo && datePicker && statsList && groupingTabs
            && monthChart && statusBar;
    }
};
StatisticsControls findStatisticsControls(HWND main);

using Row = std::array<std::wstring, 3>; // group, pages, jobs
enum Grouping { byPrinter, byUser, byMachine };
// The list's cells as shown, numbers grouped by the locale.
std::vector<Row> shownListRows(const Program& program, HWND list);
// The same with the numbers as plain digits, as the database gives them.
std::vector<Row> listRows(const Program& program, HWND list);
// The first `columns` cells of every row as shown.
using Cells = std::vector<std::wstring>;
std::vector<Cells> listCells(const Program& program, HWND list, int columns);
// A double-click on a row of a list, as a user's.
void doubleClickRow(const Program& program, HWND list, int row);
// A number as the locale groups it, and a grouped number as plain digits.
std::wstring groupedDigits(const std::wstring& plain);
std::wstring plainDigits(const std::wstring& grouped);
std::vector<Row> expectedRows(const std::vector<Job>& jobs, const SYSTEMTIME& since, Grouping grouping);
bool sameRows(std::vector<Row> found, std::vector<Row> expected);
void checkRows(const Program& program, HWND list, const std::vector<Row>& expected, const char* what);
void choosePeriod(HWND main, const StatisticsControls& view, int entry);
// A real click in the middle of a column header of the list: the header
// tells the list, the list tells the main window.
HWND listHeader(HWND list);
void clickHeader(const Program& program, HWND list, int column);
// Picks a day in the date picker as a user would, so that the picker itself
// tells the main window.
void pickDate(const Program& program, const StatisticsControls& view, const SYSTEMTIME& day);

// The CSV as the clipboard's table: cells between commas become cells
// between tabs, quoted where a tab table quotes them.
std::wstring csvAsTable(const std::string& csv);
// The Jobs tab's Save as CSV, through the log's menu and the save dialog
// (the name it suggests is the log's, from everything's start), into
// `saved`; back once the file is whole.
void saveLogAsCsv(const Program& program, HWND log, const std::wstring& saved);
