// The period controls of the statistics view: which start the figures are
// counted from.
#include "shell/period_choice_win32.h"

#include <commctrl.h>

#include <iterator>
#include <optional>
#include <string>

#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "common/window_helpers_win32.h"
#include "shell/statistics_controls_win32.h"
#include "store/database_try_win32.h"
#include "store/job_store.h"
#include "store/job_store_win32.h"

namespace {

HWND groupBox, periodRadio, dateRadio, periodCombo, datePicker;

// The saved names follow the fixed periods in the period list. Listing them
// reads the file while the recorder may be writing to it, so the lock is
// taken like every other access of the view, briefly. Names the file could
// not give now (another program holds it, or a large file is being
// prepared) are asked for again at each refresh until it does.
bool namesMissing = false;

void chooseByPeriod(bool byPeriod)
{
    SendMessageW(periodRadio, BM_SETCHECK, byPeriod ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(dateRadio, BM_SETCHECK, byPeriod ? BST_UNCHECKED : BST_CHECKED, 0);
}

} // namespace

void createPeriodControls(HWND mainWindow, HFONT font)
{
    groupBox = createControl(mainWindow, L"Button", getText(textid::startChoiceGroup),
        WS_CHILD | WS_VISIBLE | BS_GROUPBOX, font, u"401");
    periodRadio = createControl(mainWindow, L"Button", getText(textid::periodChoice),
        WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, font, u"402");
    dateRadio = createControl(mainWindow, L"Button", getText(textid::dateChoice),
        WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, font, u"403");
    chooseByPeriod(true);
    periodCombo = createControl(mainWindow, L"combobox", u"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_HASSTRINGS | CBS_DROPDOWNLIST, font, u"404");
    datePicker = createControl(
        mainWindow, DATETIMEPICK_CLASSW, u"", WS_CHILD | WS_VISIBLE | DTS_LONGDATEFORMAT, font, u"405");
}

void placePeriodControls(const StatisticsLayout& layout)
{
    moveControl(groupBox, layout.groupBox, u"431");
    moveControl(periodRadio, layout.periodRadio, u"432");
    moveControl(dateRadio, layout.dateRadio, u"433");
    moveControl(periodCombo, layout.periodCombo, u"434");
    moveControl(datePicker, layout.datePicker, u"435");
}

void fillPeriodList()
{
    SendMessageW(periodCombo, CB_RESETCONTENT, 0, 0);
    for (textid::Id id : textid::fixedPeriods)
        if (SendMessageW(periodCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(getText(id)))) == CB_ERR)
            fatalError(unit::shell, u"420");
    appendSavedNamesBriefly();
    if (SendMessageW(periodCombo, CB_SETCURSEL, 0, 0) == CB_ERR) fatalError(unit::shell, u"421");
}

bool savedNamesMissing()
{
    return namesMissing;
}

void appendSavedNamesBriefly()
{
    namesMissing = !tryDatabaseBriefly(
        interfaceLockWait, interfaceFileWait, [] { appendSavedDateNames(periodCombo); });
    // A list cut short is taken back whole, so no name comes twice.
    if (namesMissing)
        while (SendMessageW(periodCombo, CB_GETCOUNT, 0, 0) > std::ssize(textid::fixedPeriods))
            SendMessageW(periodCombo, CB_DELETESTRING, textid::fixedPeriods.size(), 0);
}

DateTime chosenStart()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    DateTime start = fromSystemTime(now);

    if (isChecked(periodRadio)) {
        // The entry's whole text: a name saved by another program may be of any length.
        std::u16string name = selectedComboText(periodCombo);
        DateTime saved = start;
        bool found = findSavedDate(dataFolder(), saved, name);
        start = periodStart(
            start, name, found ? std::optional<DateTime>(saved) : std::nullopt, loadedPeriodTexts());
    }
    if (isChecked(dateRadio)) {
        SYSTEMTIME picked;
        if (SendMessageW(datePicker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) == GDT_ERROR)
            fatalError(unit::shell, u"441");
        start = startOfDay(fromSystemTime(picked));
    }
    return start;
}

bool periodCommand(HWND sender, WPARAM wParam)
{
    if (sender == periodRadio || sender == dateRadio) return true;
    if (sender == periodCombo && HIWORD(wParam) == CBN_SELCHANGE) {
        chooseByPeriod(true);
        return true;
    }
    return false;
}

bool periodNotify(const NMHDR& header)
{
    if (header.hwndFrom != datePicker || header.code != DTN_DATETIMECHANGE) return false;
    chooseByPeriod(false);
    return true;
}
