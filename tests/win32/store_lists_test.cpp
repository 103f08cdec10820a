// The statistics list view and the saved-date combo boxes, filled from a
// real database file under Windows.
#include <gtest/gtest.h>

#include "common/wide_text_win32.h"
#include "common/window_helpers_win32.h"

#include <commctrl.h>

#include "store/job_store_win32.h"
#include "store_support.h"

namespace {

using StoreWindows = StoreFolder;

std::u16string itemText(HWND list, int item, int subItem)
{
    wchar_t text[100] = {};
    LVITEMW record{};
    record.iSubItem = subItem;
    record.pszText = text;
    record.cchTextMax = 100;
    SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&record));
    return utf16(text);
}

std::vector<std::u16string> comboEntries(HWND combo)
{
    std::vector<std::u16string> entries;
    for (LRESULT i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[300] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(utf16(text));
    }
    return entries;
}

} // namespace

TEST_F(StoreWindows, StatisticsReplaceTheListRows)
{
    initCommonControls();
    HWND list = CreateWindowExW(
        0, L"SysListView32", L"", LVS_REPORT, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 80;
    for (int i = 0; i < 3; ++i) SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));

    JobRecord job;
    job.userName = u"ann";
    job.machineName = u"pc";
    job.printerName = u"laser";
    job.pagesPrinted = 4;
    job.submitted = {2016, 3, 0, 5, 9, 0, 0, 0};
    recordJob(folder, job, nullptr, leftQueueAt);
    recordJob(folder, job, nullptr, leftQueueAt);

    auto fill = [&](const DateTime& since, GroupingColumn grouping) {
        std::vector<StatisticsRow> rows;
        queryStatistics(folder, since, grouping, [&](const StatisticsRow& row) { rows.push_back(row); });
        fillStatisticsList(list, rows);
    };
    fill({1800, 1, 0, 1}, GroupingColumn::user);
    fill({1800, 1, 0, 1}, GroupingColumn::machine); // replaces, not adds
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(itemText(list, 0, 0), u"pc");
    EXPECT_EQ(itemText(list, 0, 1), u"8");
    EXPECT_EQ(itemText(list, 0, 2), u"2");

    fill({2020, 1, 0, 1}, GroupingColumn::user);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    DestroyWindow(list);
}

TEST_F(StoreWindows, AppendKeepsTheEntriesLoadReplacesThem)
{
    HWND combo = CreateWindowExW(
        0, L"ComboBox", L"", CBS_DROPDOWNLIST, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    for (const wchar_t* fixed : {L"1", L"2", L"3", L"4"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fixed));
    for (const char16_t* memo : {u"Zebra", u"audit", u"Easter"}) addSavedDate(folder, {2016, 1}, memo);

    appendSavedDateNames(combo, folder);
    EXPECT_EQ(comboEntries(combo),
        (std::vector<std::u16string>{u"1", u"2", u"3", u"4", u"Easter", u"Zebra", u"audit"}));
    loadSavedDateNames(combo, folder);
    EXPECT_EQ(comboEntries(combo), (std::vector<std::u16string>{u"Easter", u"Zebra", u"audit"}));
    for (const char16_t* memo : {u"Zebra", u"audit", u"Easter"}) deleteSavedDate(folder, memo);
    loadSavedDateNames(combo, folder);
    EXPECT_TRUE(comboEntries(combo).empty());
    DestroyWindow(combo);
}
