// Job store, Win32 half: the statistics list view and the saved-date combo
// boxes are filled from the portable queries.
#include "store/job_store_win32.h"

#include <commctrl.h>

#include "common/date_time_win32.h"
#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/wide_text_win32.h"

namespace {

void fillCombo(HWND combo, const std::u16string& folder, SavedNamesFill fill)
{
    listSavedDateNames(folder, fill, [combo](const std::u16string& name) {
        return SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name.c_str()))) != CB_ERR;
    });
}

} // namespace

bool systemTimeToLocal(const DateTime& utc, DateTime& local)
{
    // A row in UTC among local ones would be counted in the wrong day: a
    // conversion that fails (Wine's does now and then under load) is asked
    // again, then with the zone read explicitly.
    SYSTEMTIME universal = toSystemTime(utc), converted;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (SystemTimeToTzSpecificLocalTime(nullptr, &universal, &converted)) {
            local = fromSystemTime(converted);
            return true;
        }
        Sleep(10);
    }
    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID
        || !SystemTimeToTzSpecificLocalTime(&zone, &universal, &converted))
        return false;
    local = fromSystemTime(converted);
    return true;
}

void fillStatisticsList(HWND list, const std::vector<StatisticsRow>& rows)
{
    // Emptied first, so a period without jobs leaves the list empty.
    if (SendMessageW(list, LVM_DELETEALLITEMS, 0, 0) == 0) fatalError(unit::store, u"54");
    // Drawn once, when every row is in: a list that draws itself at each
    // row (its scroll bars and all) took some 20 ms a row under Wine, which
    // was most of the time a click on "All computers" took.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const StatisticsRow& row : rows) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<std::int16_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<wchar_t*>(wide(row.group.c_str())); // the list keeps its own copy
        LRESULT inserted = SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (inserted == -1) fatalError(unit::store, u"99");
        item.iItem = static_cast<int>(inserted);
        item.iSubItem = 1;
        item.pszText = const_cast<wchar_t*>(wide(row.pages.c_str()));
        if (!SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            fatalError(unit::store, u"105");
        item.iSubItem = 2;
        item.pszText = const_cast<wchar_t*>(wide(row.jobs.c_str()));
        if (!SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            fatalError(unit::store, u"111");
        // The details' figures, where the list has their columns.
        for (const std::u16string* cell : {&row.colourPages, &row.sheets, &row.cost}) {
            ++item.iSubItem;
            item.pszText = const_cast<wchar_t*>(wide(cell->c_str()));
            if (!SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item))) break;
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void appendSavedDateNames(HWND combo, const std::u16string& folder)
{
    fillCombo(combo, folder, SavedNamesFill::append);
}

void appendSavedDateNames(HWND combo)
{
    appendSavedDateNames(combo, dataFolder());
}

void loadSavedDateNames(HWND combo, const std::u16string& folder)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0); // its answer carries no failure
    fillCombo(combo, folder, SavedNamesFill::load);
}

void loadSavedDateNames(HWND combo)
{
    loadSavedDateNames(combo, dataFolder());
}
