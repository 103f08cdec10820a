// Scenarios of the saved-dates window: its controls, adding a name with a
// date and time or a date only, the names it refuses and the warnings it
// gives, deleting, and what the statistics view makes of saved dates.
#include <cstdio>

#include "driver/driver_win32.h"

namespace {

struct SavedDatesWindow {
    HWND window = nullptr;
    HWND tabs = nullptr, nameLabel = nullptr, nameEdit = nullptr, timeChoiceGroup = nullptr,
         dateTimeRadio = nullptr, dayPicker = nullptr, timePicker = nullptr, dateOnlyRadio = nullptr,
         accept = nullptr, close = nullptr, savedNamesLabel = nullptr, savedNamesCombo = nullptr;
    bool complete = false;
};

// The twelve controls in the order of their creation.
SavedDatesWindow savedDatesControls(HWND window)
{
    SavedDatesWindow found;
    found.window = window;
    std::vector<HWND> children = childWindows(window);
    if (children.size() != 12) return found;
    HWND* slots[] = {&found.tabs, &found.nameLabel, &found.nameEdit, &found.timeChoiceGroup,
        &found.dateTimeRadio, &found.dayPicker, &found.timePicker, &found.dateOnlyRadio, &found.accept,
        &found.close, &found.savedNamesLabel, &found.savedNamesCombo};
    for (std::size_t i = 0; i < children.size(); ++i) *slots[i] = children[i];
    found.complete = true;
    return found;
}

SavedDatesWindow openSavedDates(const Program& program, HWND main)
{
    PostMessageW(main, WM_COMMAND, cmdSavedDates, 0);
    HWND window = waitForWindow(savedDatesClass, program);
    check(window != nullptr, "the saved-dates window opens");
    SavedDatesWindow dates = savedDatesControls(window);
    check(window == nullptr || dates.complete, "with its twelve controls");
    return dates;
}

bool closedAndMainEnabled(const Program& program, HWND main)
{
    return waitUntil(
        [&] { return findWindow(savedDatesClass, program.id()) == nullptr && IsWindowEnabled(main); });
}

// Characters as a keyboard types them: each one reaches the focused control
// through the program's message loop.
void typeText(HWND window, HWND field, const std::wstring& text)
{
    // Keys go to whatever has the focus when they are read, so the window
    // must be in front with the focus in the field, as after a user's click.
    if (!waitUntil([&] { return focusedIn(window, field); }, 2000)) clickWithMouse(field);
    check(waitUntil([&] { return focusedIn(window, field); }, 10000),
        "the window is in front with the focus in the name field");
    std::vector<INPUT> keys;
    for (wchar_t unit : text) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wScan = unit;
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        keys.push_back(down);
        keys.push_back(up);
    }
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
}

// What the program holds in its name field once it has taken every key.
bool nameFieldSettles(HWND edit, std::size_t length)
{
    // GetWindowTextLength would read the title the system keeps, not what
    // the edit control holds.
    return waitUntil(
        [&] { return static_cast<std::size_t>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0)) == length; },
        10000);
}

void press(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

std::vector<std::wstring> savedRows()
{
    return databaseRows(L"select fememo, fefecha from tbFechas order by fellapri;");
}

std::size_t savedCount()
{
    return savedRows().size();
}

// Accepts and expects the warning of the text id, captioned like every
// warning of the window; the window closes once it is dismissed.
void acceptExpectingWarning(
    const Program& program, HWND main, const SavedDatesWindow& dates, unsigned long textId, const char* what)
{
    press(dates.accept);
    HWND box = waitForMessageBox(program, 10000);
    check(box != nullptr, what);
    if (box == nullptr) return;
    check(messageBoxText(box) == texts[textId] && windowText(box) == texts[1000003],
        "the warning says its text, captioned with text 1000003");
    check(GetWindow(box, GW_OWNER) == dates.window, "the warning belongs to the saved-dates window");
    dismissMessageBox(box);
    check(closedAndMainEnabled(program, main), "the window closes after the warning");
}

// Names a date through the form as a user would, and accepts.
void addThroughForm(const Program& program, HWND main, const std::wstring& name, bool typed = false)
{
    SavedDatesWindow dates = openSavedDates(program, main);
    if (!dates.complete) return;
    if (typed)
        typeText(dates.window, dates.nameEdit, name);
    else
        SetWindowTextW(dates.nameEdit, name.c_str());
    bool settled = nameFieldSettles(dates.nameEdit, std::min<std::size_t>(name.size(), 250));
    check(settled, "the name field holds what was typed, 250 characters at most");
    if (!settled)
        std::printf("     (it holds %d characters)\n",
            static_cast<int>(SendMessageW(dates.nameEdit, WM_GETTEXTLENGTH, 0, 0)));
    press(dates.accept);
    check(closedAndMainEnabled(program, main), "accepting closes the window");
}

// ---- the window as built ------------------------------------------------------------------

void checkControls(const Program& program, const SavedDatesWindow& dates)
{
    RECT client{};
    GetClientRect(dates.window, &client);
    const int w = client.right, h = client.bottom;
    struct Expected {
        HWND control;
        const wchar_t* className;
        LONG style; // besides WS_CHILD | WS_VISIBLE, where the control shows
        unsigned long textId;
        int x, y, width, height;
        int id;
        const char* what;
    } expected[] = {
        {dates.tabs, L"SysTabControl32", 0, 0, 20, 20, w - 40, h - 80, 0, "the tab control"},
        {dates.nameLabel, L"Static", 0, 1000005, 40, 60, w - 80, 20, 0, "the name label"},
        {dates.nameEdit, L"Edit", ES_AUTOHSCROLL, 0, 60, 80, w - 100, 20, 0, "the name field"},
        {dates.timeChoiceGroup, L"Button", BS_GROUPBOX, 1000006, 40, 120, w - 80, 100, 0, "the group box"},
        {dates.dateTimeRadio, L"Button", WS_GROUP | BS_AUTORADIOBUTTON, 1000007, 60, 140, 200, 20, 0,
            "the date-and-time button"},
        {dates.dayPicker, L"SysDateTimePick32", DTS_LONGDATEFORMAT, 0, w - 400, 140, 240, 20, 0,
            "the day picker"},
        {dates.timePicker, L"SysDateTimePick32", DTS_TIMEFORMAT, 0, w - 140, 140, 80, 20, 0,
            "the time picker"},
        {dates.dateOnlyRadio, L"Button", BS_AUTORADIOBUTTON, 1000008, 60, 180, 200, 20, 0,
            "the date-only button"},
        {dates.accept, L"Button", BS_PUSHBUTTON, 28, 160, h - 40, 100, 20, cmdAcceptDates,
            "the accept button"},
        {dates.close, L"Button", BS_PUSHBUTTON, 33, 420, h - 40, 100, 20, cmdCloseDates, "the close button"},
        {dates.savedNamesLabel, L"Static", 0, 1000011, 40, 60, w - 80, 20, 0, "the saved-names label"},
        {dates.savedNamesCombo, L"ComboBox", CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0, 60, 80, w - 100, 120, 0,
            "the saved-names list"},
    };
    for (const Expected& e : expected) {
        // Controls add styles of their own (tab stops, clipping, the
        // combo's scroll bar), so only the bits asked for are compared.
        LONG style = styleOf(e.control);
        bool ok = lstrcmpiW(className(e.control).c_str(), e.className) == 0 && (style & WS_CHILD)
            && (style & e.style) == e.style && GetDlgCtrlID(e.control) == e.id
            && (e.textId == 0 || windowText(e.control) == texts[e.textId]);
        RECT r = childRect(e.control);
        // A drop-down list's height is that of its closed box.
        ok = ok
            && (e.control == dates.savedNamesCombo ? r.left == e.x && r.top == e.y && r.right == e.width
                                                   : sameRect(r, e.x, e.y, e.width, e.height));
        check(ok, e.what);
    }
    check((styleOf(dates.savedNamesCombo) & CBS_SORT) == 0, "the list does not sort the names itself");
    check(GetWindowLongW(dates.nameEdit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, "the name field has a sunken edge");
    check(tabTexts(program, dates.tabs) == std::vector<std::wstring>{texts[35], texts[36]},
        "the tabs are texts 35 and 36");
    check(SendMessageW(dates.tabs, TCM_GETCURSEL, 0, 0) == 0, "the first tab is selected");
    check(checked(dates.dateTimeRadio) && !checked(dates.dateOnlyRadio), "date and time is chosen");
    check(SendMessageW(dates.nameEdit, WM_GETTEXTLENGTH, 0, 0) == 0, "the name field is empty");
}

bool addPageShown(const SavedDatesWindow& dates, bool shown)
{
    for (HWND control : {dates.nameLabel, dates.nameEdit, dates.timeChoiceGroup, dates.dateTimeRadio,
             dates.dayPicker, dates.timePicker, dates.dateOnlyRadio})
        if ((IsWindowVisible(control) != FALSE) != shown) return false;
    for (HWND control : {dates.savedNamesLabel, dates.savedNamesCombo})
        if ((IsWindowVisible(control) != FALSE) == shown) return false;
    return IsWindowVisible(dates.accept) && IsWindowVisible(dates.close);
}

void theWindowAsBuilt()
{
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    trayClick(main);
    SavedDatesWindow dates = openSavedDates(program, main);
    if (!dates.complete) return;

    // A new file is being made meanwhile: a moment's wait for it is not said.
    check(windowText(dates.window) == texts[1000004], "its title is text 1000004");
    check(
        (styleOf(dates.window) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
            == (WS_CAPTION | WS_SYSMENU),
        "a caption with a close box, no resizing, no minimise or maximise");
    check(GetWindow(dates.window, GW_OWNER) == main, "the main window owns it");
    check(!IsWindowEnabled(main), "the main window is disabled while it is open");
    RECT frame{};
    GetWindowRect(dates.window, &frame);
    const int width = 680 + 2 * GetSystemMetrics(SM_CXBORDER);
    const int height = 320 + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYBORDER);
    check(frame.right - frame.left == width && frame.bottom - frame.top == height,
        "its size is 680 x 320 made a window size");
    check(frame.left == (GetSystemMetrics(SM_CXMAXIMIZED) - width) / 2
            && frame.top == (GetSystemMetrics(SM_CYMAXIMIZED) - height) / 2,
        "it stands at the centre of the screen");
    checkControls(program, dates);
    check(addPageShown(dates, true), "it opens on the add page");
    screenshot(dates.window, L"dates-1-add");

    clickTab(program, dates.tabs, 1);
    check(
        waitUntil([&] { return addPageShown(dates, false); }, 10000), "the second tab shows the delete page");
    screenshot(dates.window, L"dates-2-delete");
    clickTab(program, dates.tabs, 0);
    check(waitUntil([&] { return addPageShown(dates, true); }, 10000),
        "the first tab shows the add page again");

    // The close button, then the caption's close box: neither writes anything.
    SetWindowTextW(dates.nameEdit, L"Not saved");
    press(dates.close);
    check(closedAndMainEnabled(program, main), "the close button closes it and enables the main window");
    dates = openSavedDates(program, main);
    check(dates.complete && SendMessageW(dates.nameEdit, WM_GETTEXTLENGTH, 0, 0) == 0,
        "opened again, it starts afresh");
    SetWindowTextW(dates.nameEdit, L"Not saved either");
    PostMessageW(dates.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    check(closedAndMainEnabled(program, main), "the caption's close box closes it");
    check(savedCount() == 0, "closing wrote nothing");

    quitFromTheMenu(program, main);
}

// ---- adding -----------------------------------------------------------------------------

void addingNames()
{
    DeleteFileW((programFolder() + L"\\pgwarden.db").c_str());
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    trayClick(main);

    // A date and a time of day: both pickers' values, in whole seconds
    // whatever milliseconds the time picker holds.
    SavedDatesWindow dates = openSavedDates(program, main);
    if (!dates.complete) return;
    SYSTEMTIME day = dayAt(2016, 3, 5, 9, 41);
    SYSTEMTIME time = dayAt(2026, 12, 7, 14, 20);
    time.wSecond = 5;
    time.wMilliseconds = 789;
    setPicker(program, dates.dayPicker, day);
    setPicker(program, dates.timePicker, time);
    SetWindowTextW(dates.nameEdit, L"Inventory");
    press(dates.accept);
    check(closedAndMainEnabled(program, main), "accepting closes the window");
    check(savedRows() == std::vector<std::wstring>{L"Inventory|2016-03-05T14:20:05.000"},
        "a date with its time is saved with the pickers' values and 000 milliseconds");

    // A date only: midnight, whatever the time picker shows.
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    setPicker(program, dates.dayPicker, dayAt(2026, 9, 1, 10, 0));
    setPicker(program, dates.timePicker, time);
    press(dates.dateOnlyRadio);
    check(waitUntil([&] { return checked(dates.dateOnlyRadio) && !checked(dates.dateTimeRadio); }, 10000),
        "the date-only button takes the choice from the other");
    SetWindowTextW(dates.nameEdit, L"Start of term");
    press(dates.accept);
    check(closedAndMainEnabled(program, main), "accepting closes the window");
    check(databaseRows(L"select fefecha from tbFechas where fememo = 'Start of term';")
            == std::vector<std::wstring>{L"2026-09-01T00:00:00.000"},
        "a date only is saved at T00:00:00.000");

    addThroughForm(program, main, L"  Easter\t");
    check(databaseRows(L"select count(*) from tbFechas where fememo = 'Easter';")
            == std::vector<std::wstring>{L"1"},
        "blanks around a name are removed before it is saved");

    // Refused names: a warning, nothing written, the window closed.
    const std::size_t before = savedCount();
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    acceptExpectingWarning(program, main, dates, 1000009, "an empty name is refused with a warning");
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    SetWindowTextW(dates.nameEdit, L" \t  ");
    acceptExpectingWarning(
        program, main, dates, 1000009, "a name of blanks only is refused with warning 1000009");
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    SetWindowTextW(dates.nameEdit, texts[1100001].c_str());
    acceptExpectingWarning(
        program, main, dates, 1000010, "the text of a fixed period is refused with 1000010");
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    SetWindowTextW(dates.nameEdit, L"Easter");
    acceptExpectingWarning(program, main, dates, 1000010, "a name already saved is refused with 1000010");
    check(savedCount() == before, "no refused name was written");

    std::wstring lowered = texts[1100001];
    for (wchar_t& c : lowered) c = static_cast<wchar_t>(towlower(c));
    addThroughForm(program, main, lowered);
    check(savedCount() == before + 1, "a period's text in other letter case is saved");

    // Typed as a user types, every character arrives; the field stops at 250.
    const std::wstring foreign = L"O'Neil's \u03A0\u03AC\u03C3\u03C7\u03B1 \u0416 \u65E5 \u00E9";
    addThroughForm(program, main, foreign, true);
    check(databaseRows(L"select fememo from tbFechas where fememo like 'O''Neil%';")
            == std::vector<std::wstring>{foreign},
        "a typed name with an apostrophe, Greek, Cyrillic and Japanese letters is stored exactly");
    addThroughForm(program, main, std::wstring(300, L'W'), true);
    check(databaseRows(L"select length(fememo) from tbFechas where fememo like 'WWW%';")
            == std::vector<std::wstring>{L"250"},
        "300 typed characters are saved as the first 250");

    quitFromTheMenu(program, main);
}

// ---- deleting, and the period list ----------------------------------------------------------

void deletingAndCounting()
{
    SYSTEMTIME now;
    GetSystemTime(&now); // local time is UTC here: the script runs Wine with TZ=UTC
    const SYSTEMTIME lastWeek = timeOf(ticksOf(now) - 7ull * 24 * 3600 * 10000000);
    const SYSTEMTIME twoDaysAgo = timeOf(ticksOf(now) - 2ull * 24 * 3600 * 10000000);
    const SYSTEMTIME yesterday = timeOf(ticksOf(now) - 24ull * 3600 * 10000000);
    const std::vector<Job> jobs = {
        {1, "Office", "ana", "\\\\PC-ANA", 3, 1, lastWeek},
        {2, "Lab", "bo", "\\\\PC-BO", 5, 2, twoDaysAgo},
        {3, "Office", "bo", "\\\\PC-BO", 7, 1, yesterday},
    };
    writeSpoolerScenario(jobs);
    // A first run makes the file; the saved dates are put in by hand, one name twice and one of 300
    // characters, longer than the form allows, before the window lists them.
    const std::wstring zebra = L"Zebra" + std::wstring(295, L'z');
    wchar_t since[40];
    const SYSTEMTIME mark = timeOf(ticksOf(twoDaysAgo) - 3600ull * 10000000); // an hour before job 2
    swprintf(since, 40, L"%04u-%02u-%02uT%02u:%02u:%02u.000", mark.wYear, mark.wMonth, mark.wDay, mark.wHour,
        mark.wMinute, mark.wSecond);
    databaseFromAFirstRun(
        L"delete from tbFechas; delete from tbTrabajos;"
        L"insert into tbFechas (fefecha, fememo) values ('2020-01-01T00:00:00.000', 'Audit');"
        L"insert into tbFechas (fefecha, fememo) values ('"
        + std::wstring(since) + L"', '" + zebra
        + L"');"
          L"insert into tbFechas (fefecha, fememo) values ('2021-01-01T00:00:00.000', 'audit');"
          L"insert into tbFechas (fefecha, fememo) values ('2022-01-01T00:00:00.000', 'Audit');"
          L"insert into tbFechas (fefecha, fememo) values ('2023-01-01T00:00:00.000', 'Easter');");

    // Started while another program keeps everyone out of the file, the
    // program lists the saved names once it is free.
    ForeignLock lock(ForeignLock::exclusive);
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    StatisticsControls view = findStatisticsControls(main);
    check(view.complete(), "the statistics view is there");
    const std::vector<std::wstring> fixed = {texts[1100000], texts[1100001], texts[1100002], texts[1100003]};
    check(comboTexts(program, view.periodCombo) == fixed, "the period list holds the fixed periods");
    lock.release();
    std::vector<std::wstring> periods = fixed;
    periods.insert(periods.end(), {L"Audit", L"Audit", L"Easter", zebra, L"audit"});
    check(waitUntil([&] { return comboTexts(program, view.periodCombo) == periods; }, 10000),
        "then, once the file is free, the saved names in binary order");

    // Opened while another program holds the file again: the window says so
    // once the wait passes a second, and lists the names under its own title
    // when the file is free.
    ForeignLock again(ForeignLock::exclusive);
    SavedDatesWindow dates = openSavedDates(program, main);
    if (!dates.complete) return;
    check(waitUntil([&] { return windowText(dates.window) == texts[1420001]; }, 10000),
        "a wait for another program is said in the caption");
    check(comboTexts(program, dates.savedNamesCombo).empty(), "the list waits for the file");
    again.release();
    check(waitUntil([&] { return windowText(dates.window) == texts[1000004]; }, 10000),
        "the title comes back once the file is free");
    check(comboTexts(program, dates.savedNamesCombo)
            == std::vector<std::wstring>{L"Audit", L"Audit", L"Easter", zebra, L"audit"},
        "the delete page lists every saved name, sorted by the store");
    check(SendMessageW(dates.savedNamesCombo, CB_GETCURSEL, 0, 0) == 0, "the first name is selected");
    clickTab(program, dates.tabs, 1);
    waitUntil([&] { return IsWindowVisible(dates.savedNamesCombo) != FALSE; }, 10000);
    press(dates.accept);
    check(closedAndMainEnabled(program, main), "accepting deletes at once and closes the window");
    check(databaseRows(L"select fememo from tbFechas order by fememo;")
            == std::vector<std::wstring>{L"Easter", zebra, L"audit"},
        "every row of the deleted name is gone, the others stay");

    std::vector<std::wstring> afterDelete = fixed;
    afterDelete.insert(afterDelete.end(), {L"Easter", zebra, L"audit"});
    check(waitUntil([&] { return comboTexts(program, view.periodCombo) == afterDelete; }, 10000),
        "after closing, the period list is rebuilt from the store");
    check(SendMessageW(view.periodCombo, CB_GETCURSEL, 0, 0) == 0, "with its first entry selected");

    // The jobs are recorded at the scripted spooler's second pass.
    std::vector<Row> all = expectedRows(jobs, dayAt(1800, 1, 1), byPrinter);
    check(waitUntil([&] {
        SendMessageW(main, WM_COMMAND, BN_CLICKED << 16, reinterpret_cast<LPARAM>(view.periodRadio));
        return sameRows(listRows(program, view.statsList), all);
    }),
        "the three jobs are recorded");
    choosePeriod(main, view, 5); // Zebrazzz…
    checkRows(program, view.statsList, expectedRows(jobs, mark, byPrinter),
        "a saved name of 300 characters counts from its own date and time");
    trayClick(main);
    screenshot(main, L"dates-3-counting-from-a-saved-date");

    // The delete page with nothing saved warns and deletes nothing.
    databaseExec(L"delete from tbFechas;");
    dates = openSavedDates(program, main);
    if (!dates.complete) return;
    check(SendMessageW(dates.savedNamesCombo, CB_GETCOUNT, 0, 0) == 0, "the list of saved names is empty");
    clickTab(program, dates.tabs, 1);
    waitUntil([&] { return IsWindowVisible(dates.savedNamesCombo) != FALSE; }, 10000);
    acceptExpectingWarning(
        program, main, dates, 1000012, "deleting from an empty list gives warning 1000012");
    check(comboTexts(program, view.periodCombo) == fixed, "the period list holds the fixed periods only");

    quitFromTheMenu(program, main);
}

const bool registered = addScenario(L"dates-window", theWindowAsBuilt)
    && addScenario(L"dates-add", addingNames) && addScenario(L"dates-delete", deletingAndCounting);

} // namespace

namespace {

// The warning for a name in use is shown with the database lock free: a job
// that finishes meanwhile gets its row, and a tray quit ends the program.
void aWarningHoldsNobodyUp()
{
    DeleteFileW((programFolder() + L"\\go.txt").c_str());
    DeleteFileW((programFolder() + L"\\pgwarden.db").c_str());
    writeFile(L"spooler-scenario.txt",
        "pass\nprinter \"Office\"\njob 1 status=0x10 printed=2 user=\"ana\" machine=\"PC\"\n"
        "pass after=\"go.txt\"\nprinter \"Office\"\n");
    Program program;
    HWND main = waitForMainWindow(program);
    check(main != nullptr, "the main window exists");
    databaseExec(L"insert into tbFechas (fefecha, fememo) values ('2026-01-01T00:00:00.000', 'Easter');");
    trayClick(main);
    SavedDatesWindow dates = openSavedDates(program, main);
    if (!dates.complete) return;
    SetWindowTextW(dates.nameEdit, L"Easter");
    press(dates.accept);
    HWND box = waitForMessageBox(program);
    check(
        box != nullptr && messageBoxText(box) == texts[1000010], "the name in use is refused with a warning");
    writeFile(L"go.txt", "");
    check(waitUntil([] {
        return databaseRows(L"select count(*) from tbTrabajos;") == std::vector<std::wstring>{L"1"};
    }),
        "a job finishing while the warning is open gets its row");
    check(box != nullptr && IsWindowVisible(box), "the warning is still open");
    trayMenuQuit(program, main);
    check(program.ends(), "a tray quit with the warning open ends the program");
    check(program.exitCode() == 0, "with exit code 0");
}

const bool registeredBusy = addScenario(L"dates-warning-busy", aWarningHoldsNobodyUp);

} // namespace
