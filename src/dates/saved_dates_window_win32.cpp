// The saved-dates window: two tabs over one area, the first adds a named date,
// the second deletes one. Every accept closes the window, also after a
// warning; the user opens it again to correct an entry.
#include "dates/saved_dates_window_win32.h"

#include <commctrl.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "common/window_helpers_win32.h"
#include "dates/saved_date_rules.h"
#include "store/database_try_win32.h"
#include "store/job_store.h"
#include "store/job_store_win32.h"

namespace {

constexpr int clientWidth = 680;
constexpr int clientHeight = 320;
constexpr int largeIconId = 9999; // the program's own icons, as the main window's
constexpr int smallIconId = 10000;

// The window exists at most once, so its controls are kept here.
HWND datesTabs, nameLabel, nameEdit, timeChoiceGroup, dateTimeRadio, dayPicker, timePicker, dateOnlyRadio,
    acceptDatesButton, closeDatesButton, savedNamesLabel, savedNamesCombo;

// While another program holds the file, the window tries again on a timer:
// the list of names until it is read, an add or a delete for about five
// seconds, after which it warns and writes nothing. A wait of more than a
// second is said in the caption; a shorter one, such as the program's own
// first preparation of a new file, passes unremarked.
using namespace std::chrono_literals;
constexpr UINT_PTR retryTimer = 1;
constexpr UINT retryEvery = 250;
constexpr ULONGLONG captionAfter = 1000;
constexpr ULONGLONG actionPatience = 5000;
constexpr DWORD lockWait = 100;
constexpr auto fileWait = 100ms;

enum class Action { none, add, remove };
struct Waiting {
    bool namesToLoad = false;
    Action action = Action::none;
    ULONGLONG since = 0;
    bool said = false; // the caption tells of the wait
    DateTime date;
    std::u16string name;
};
Waiting waiting;

void waitForOtherProgram(HWND window)
{
    waiting.since = GetTickCount64();
    SetTimer(window, retryTimer, retryEvery, nullptr);
}

void sayWaitingOnceLong(HWND window)
{
    if (waiting.said || GetTickCount64() - waiting.since < captionAfter) return;
    SetWindowTextW(window, wide(getText(textid::waitingForDatabase)));
    waiting.said = true;
}

void endWaiting(HWND window)
{
    KillTimer(window, retryTimer);
    if (waiting.said) SetWindowTextW(window, wide(getText(textid::savedDatesItem)));
    waiting.said = false;
}

struct ControlSpec {
    const wchar_t* className;
    const char16_t* text;
    DWORD style;
    DWORD extendedStyle;
    int x, y, width, height;
    WORD id;
};

HWND createControl(HWND window, const ControlSpec& spec, const char16_t* failLine)
{
    HWND control = CreateWindowExW(spec.extendedStyle, spec.className, wide(spec.text),
        WS_CHILD | WS_VISIBLE | spec.style, spec.x, spec.y, spec.width, spec.height, window,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(spec.id)), GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) fatalError(unit::savedDates, failLine);
    setDefaultFont(control);
    return control;
}

void insertTab(textid::Id textId, const char16_t* failLine)
{
    std::u16string text = getText(textId);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = wide(text.data());
    auto count = SendMessageW(datesTabs, TCM_GETITEMCOUNT, 0, 0);
    if (SendMessageW(datesTabs, TCM_INSERTITEMW, count, reinterpret_cast<LPARAM>(&item)) == -1)
        fatalError(unit::savedDates, failLine);
}

void showAddPage(int command)
{
    for (HWND control :
        {nameEdit, nameLabel, timeChoiceGroup, dateTimeRadio, dayPicker, timePicker, dateOnlyRadio})
        ShowWindow(control, command);
}

void showDeletePage(int command)
{
    for (HWND control : {savedNamesLabel, savedNamesCombo}) ShowWindow(control, command);
}

void selectFirstSavedName()
{
    auto count = static_cast<std::int16_t>(SendMessageW(savedNamesCombo, CB_GETCOUNT, 0, 0));
    if (count == -1) fatalError(unit::savedDates, u"357");
    if (count > 0 && SendMessageW(savedNamesCombo, CB_SETCURSEL, 0, 0) == CB_ERR)
        fatalError(unit::savedDates, u"361");
}

void createSavedDatesControls(HWND window)
{
    RECT client;
    if (!GetClientRect(window, &client)) fatalError(unit::savedDates, u"230");
    const int w = client.right, h = client.bottom;

    datesTabs = createControl(window, {WC_TABCONTROLW, u"", 0, 0, 20, 20, w - 40, h - 80, 0}, u"236");
    insertTab(textid::addDateTab, u"241");
    insertTab(textid::deleteDateTab, u"245");
    if (SendMessageW(datesTabs, TCM_SETCURSEL, 0, 0) == -1) fatalError(unit::savedDates, u"248");

    nameLabel = createControl(
        window, {L"static", getText(textid::dateNameLabel), 0, 0, 40, 60, w - 80, 20, 0}, u"256");
    // Without ES_AUTOHSCROLL the box stops taking characters at its visible width.
    nameEdit = createControl(
        window, {L"edit", u"", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 60, 80, w - 100, 20, 0}, u"264");
    SendMessageW(nameEdit, EM_LIMITTEXT, savedDateNameLimit, 0);
    timeChoiceGroup = createControl(window,
        {L"Button", getText(textid::timeChoiceGroup), BS_GROUPBOX, 0, 40, 120, w - 80, 100, 0}, u"274");
    dateTimeRadio = createControl(window,
        {L"Button", getText(textid::dateAndTimeChoice), WS_GROUP | BS_AUTORADIOBUTTON, 0, 60, 140, 200, 20,
            0},
        u"283");
    dayPicker = createControl(
        window, {DATETIMEPICK_CLASSW, u"", DTS_LONGDATEFORMAT, 0, w - 400, 140, 240, 20, 0}, u"292");
    timePicker = createControl(
        window, {DATETIMEPICK_CLASSW, u"", DTS_TIMEFORMAT, 0, w - 140, 140, 80, 20, 0}, u"301");
    dateOnlyRadio = createControl(window,
        {L"Button", getText(textid::dateOnlyChoice), BS_AUTORADIOBUTTON, 0, 60, 180, 200, 20, 0}, u"310");
    acceptDatesButton = createControl(window,
        {L"Button", getText(textid::acceptButton), BS_PUSHBUTTON, 0, 160, h - 40, 100, 20,
            contract::cmdAcceptDates},
        u"321");
    closeDatesButton = createControl(window,
        {L"Button", getText(textid::closeButton), BS_PUSHBUTTON, 0, 420, h - 40, 100, 20,
            contract::cmdCloseDates},
        u"332");
    SendMessageW(dateTimeRadio, BM_SETCHECK, BST_CHECKED, 0);
    savedNamesLabel = createControl(
        window, {L"static", getText(textid::savedNamesLabel), 0, 0, 40, 60, w - 80, 20, 0}, u"342");
    savedNamesCombo = createControl(window,
        {L"ComboBox", u"", WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0, 60, 80, w - 100, 120, 0},
        u"351");
    // The recorder may be writing meanwhile: the list is read under the lock
    // like every other access of the window.
    waiting = Waiting();
    if (tryDatabaseBriefly(lockWait, fileWait, [] { loadSavedDateNames(savedNamesCombo); }))
        selectFirstSavedName();
    else {
        waiting.namesToLoad = true;
        waitForOtherProgram(window);
    }

    showAddPage(SW_SHOW);
    showDeletePage(SW_HIDE);
}

void warn(HWND window, textid::Id textId)
{
    MessageBoxW(window, wide(getText(textId)), wide(getText(textid::mainTitle)), MB_OK | MB_ICONWARNING);
}

std::u16string typedName()
{
    auto length = static_cast<std::int16_t>(SendMessageW(nameEdit, WM_GETTEXTLENGTH, 0, 0));
    if (length <= 0) return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, 0);
    SendMessageW(nameEdit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return utf16(text.data());
}

DateTime pickerValue(HWND picker, const char16_t* failLine)
{
    SYSTEMTIME value{};
    if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value)) == GDT_ERROR)
        fatalError(unit::savedDates, failLine);
    return fromSystemTime(value);
}

// Saves the date unless its name is taken; false when the file was held.
bool tryAdd(HWND window, const DateTime& date, const std::u16string& name)
{
    bool inUse = false;
    if (!tryDatabaseBriefly(lockWait, fileWait, [&] {
            DateTime scratch;
            inUse = findSavedDate(dataFolder(), scratch, name);
            if (!inUse) addSavedDate(dataFolder(), date, name);
        }))
        return false;
    // Warned only once the lock is free: the recorder waits for it, so a box
    // shown under it would hold the counting up.
    if (inUse) warn(window, textid::nameInUseWarning);
    return true;
}

bool tryRemove(const std::u16string& name)
{
    return tryDatabaseBriefly(lockWait, fileWait, [&] { deleteSavedDate(dataFolder(), name); });
}

// True when the window may close now; false while the action waits for the file.
bool addDateFromForm(HWND window)
{
    const std::u16string name = trimmedDateName(typedName());
    switch (checkDateName(name, loadedPeriodTexts())) {
    case DateNameVerdict::empty: warn(window, textid::emptyNameWarning); return true;
    case DateNameVerdict::fixedPeriod: warn(window, textid::nameInUseWarning); return true;
    case DateNameVerdict::accepted: break;
    }
    const DateTime day = pickerValue(dayPicker, u"170");
    const DateTime time = pickerValue(timePicker, u"172");
    const bool withTime = SendMessageW(dateTimeRadio, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const DateTime date = savedDateFrom(day, time, withTime);
    if (tryAdd(window, date, name)) return true;
    waiting.action = Action::add;
    waiting.date = date;
    waiting.name = name;
    return false;
}

bool deleteDateFromForm(HWND window)
{
    if (SendMessageW(savedNamesCombo, CB_GETCOUNT, 0, 0) < 1) {
        warn(window, textid::nothingToDeleteWarning);
        return true;
    }
    // The entry's whole text: a name saved by another program may be longer
    // than the name field allows.
    const std::u16string name = selectedComboText(savedNamesCombo);
    if (tryRemove(name)) return true;
    waiting.action = Action::remove;
    waiting.name = name;
    return false;
}

int selectedTab(const char16_t* failLine)
{
    auto tab = static_cast<int>(SendMessageW(datesTabs, TCM_GETCURSEL, 0, 0));
    if (tab == -1) fatalError(unit::savedDates, failLine);
    return tab;
}

void acceptDates(HWND window)
{
    if (waiting.action != Action::none) return; // one action at a time
    const bool done = selectedTab(u"197") == 0 ? addDateFromForm(window) : deleteDateFromForm(window);
    if (done) {
        DestroyWindow(window);
        return;
    }
    EnableWindow(acceptDatesButton, FALSE);
    waitForOtherProgram(window);
}

// Another try at what waits for the file.
void onRetry(HWND window)
{
    if (waiting.namesToLoad
        && tryDatabaseBriefly(lockWait, fileWait, [] { loadSavedDateNames(savedNamesCombo); })) {
        waiting.namesToLoad = false;
        selectFirstSavedName();
    }
    if (waiting.action != Action::none) {
        const bool done = waiting.action == Action::add ? tryAdd(window, waiting.date, waiting.name)
                                                        : tryRemove(waiting.name);
        if (done) {
            DestroyWindow(window);
            return;
        }
        if (GetTickCount64() - waiting.since >= actionPatience) {
            const textid::Id warning
                = waiting.action == Action::add ? textid::dateNotSavedBusy : textid::dateNotDeletedBusy;
            waiting.action = Action::none;
            endWaiting(window);
            warn(window, warning);
            DestroyWindow(window);
            return;
        }
    }
    if (!waiting.namesToLoad && waiting.action == Action::none)
        endWaiting(window);
    else
        sayWaitingOnceLong(window);
}

LRESULT onNotify(const NMHDR& header)
{
    if (header.hwndFrom != datesTabs) return 1;
    if (header.code == TCN_SELCHANGING) return 0; // the change is always allowed
    if (header.code != TCN_SELCHANGE) return 1;
    bool addPage = selectedTab(u"87") == 0;
    showAddPage(addPage ? SW_SHOW : SW_HIDE);
    showDeletePage(addPage ? SW_HIDE : SW_SHOW);
    return 0;
}

LRESULT onCommand(HWND window, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case contract::cmdAcceptDates: acceptDates(window); return 0;
    case contract::cmdCloseDates: DestroyWindow(window); return 0;
    }
    return 1;
}

} // namespace

LRESULT CALLBACK savedDatesWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A fatal report is on screen: the program ends once it is read.
    if (message == WM_COMMAND && fatalReportBegun()) return 1;
    switch (message) {
    case WM_CREATE: createSavedDatesControls(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0; // wakes the window's own loop
    case WM_NOTIFY: return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND: return onCommand(window, wParam);
    case WM_TIMER:
        if (wParam == retryTimer) {
            onRetry(window);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void showSavedDatesWindow(HWND owner)
{
    if (showOpenWindow(contract::savedDatesClass)) return;
    const bool disabledHere = disableOwner(owner);
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) fatalError(unit::savedDates, u"406");
    HICON largeIcon = LoadIconW(module, MAKEINTRESOURCEW(largeIconId));
    HICON smallIcon = LoadIconW(module, MAKEINTRESOURCEW(smallIconId));
    if (largeIcon == nullptr || smallIcon == nullptr) fatalError(unit::savedDates, u"410");
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    if (arrow == nullptr) fatalError(unit::savedDates, u"413");
    registerSecondaryClass(contract::savedDatesClass, savedDatesWndProc, largeIcon, arrow, smallIcon);

    short width = clientWidth, height = clientHeight;
    clientToWindowSize(width, height);
    HWND window = CreateWindowExW(0, contract::savedDatesClass, wide(getText(textid::savedDatesItem)),
        WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, width, height, owner, nullptr, module,
        nullptr);
    if (window == nullptr) fatalError(unit::savedDates, u"427");
    POINT origin = screenCentreOrigin(width, height);
    if (!MoveWindow(window, origin.x, origin.y, width, height, TRUE)) fatalError(unit::savedDates, u"432");
    ShowWindow(window, SW_SHOW);
    // The user's first act is typing the name.
    SetFocus(nameEdit);
    runWindowLoop(window);

    if (!unregisterSecondaryClass(contract::savedDatesClass, module)) fatalError(unit::savedDates, u"436");
    restoreOwner(owner, disabledHere);
}
