// Statistics view: the controls of the main window's client area, what they
// show and when it is read again from the job store. Its parts have files of
// their own: the period controls (period_choice_win32), the list and the
// month chart (statistics_list_win32), the choice of every computer's
// figures (all_computers_win32).
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/wide_text_win32.h"
#include "shell/all_computers_win32.h"
#include "shell/job_log_view_win32.h"
#include "shell/period_choice_win32.h"
#include "shell/statistics_controls_win32.h"
#include "shell/statistics_list_win32.h"
#include "shell/statistics_view.h"
#include "shell/statistics_view_win32.h"
#include "shell/status_bar_win32.h"
#include "shell/totals_export_win32.h"
#include "store/database_preparation.h"
#include "store/database_try_win32.h"

namespace {

constexpr UINT retryEvery = 1000;

HWND mainWindowOfView = nullptr;
DatabaseWorkerStatus databaseStatus;

HWND groupingTabs;

// Where the view's figures come from: the job store in the data folder, as
// quickly as it answers at any size. The one place to change for another
// source; the caller holds the database lock. Nothing when the kept totals
// must be prepared first.
std::optional<std::vector<StatisticsRow>> readFigures(const DateTime& since, ViewTab tab)
{
    std::vector<StatisticsRow> rows;
    auto add = [&](const StatisticsRow& row) { rows.push_back(row); };
    const bool answered = tab == ViewTab::month ? quickMonthlyStatistics(dataFolder(), since, add)
                                                : quickStatistics(dataFolder(), since, groupingOf(tab), add);
    if (!answered) return std::nullopt;
    return rows;
}

void createGroupingTabs(HWND parent)
{
    groupingTabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 20, 20, 20, 20, parent,
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (groupingTabs == nullptr) fatalError(unit::shell, u"408");
    for (int tab = 0; tab <= jobsTabIndex; ++tab) {
        std::u16string text = getText(tab == jobsTabIndex ? textid::jobsTab
                : tab == monthTabIndex                    ? textid::monthTab
                                                          : textid::groupingTabs[tab]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = wide(text.data());
        if (SendMessageW(groupingTabs, TCM_INSERTITEMW, tab, reinterpret_cast<LPARAM>(&item)) == -1)
            fatalError(unit::shell, u"409");
    }
}

ViewTab chosenTab()
{
    int tab = static_cast<int>(SendMessageW(groupingTabs, TCM_GETCURFOCUS, 0, 0));
    if (tab == monthTabIndex) return ViewTab::month;
    if (tab == jobsTabIndex) return ViewTab::jobs;
    wchar_t text[controlTextLimit + 3] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = controlTextLimit;
    if (tab < 0 || !SendMessageW(groupingTabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item)))
        text[0] = 0;
    return viewTabOf(groupingForTab(utf16(item.pszText), loadedTabTexts()));
}

// While the file is prepared, the status bar says how far it got, with a
// progress bar; the figures come when it is ready.
void showPreparation(const DatabaseWorkerStatus& status)
{
    std::u16string text = getText(
        status.step == PreparationStep::indexes ? textid::buildingIndexes : textid::preparingTotals);
    char percent[16];
    int length = std::snprintf(percent, sizeof percent, " %d %%", status.percent);
    text.append(percent, percent + std::max(length, 0));
    clearFigures();
    showStatusProgress(status.percent, text);
}

// Another program holds the file: the status bar says so, the figures shown
// stay, and the refresh is tried again on a timer.
void waitForOtherProgram()
{
    hideStatusProgress();
    setStatusText(getText(textid::waitingForDatabase));
    SetTimer(mainWindowOfView, refreshRetryTimer, retryEvery, nullptr);
}

// The Jobs tab reads its rows itself, a screen at a time.
void showJobs(const DateTime& since)
{
    hideStatusProgress();
    hideFigureControls();
    showJobLogControls(true);
    showJobLog(since);
}

void refreshFigures()
{
    showJobLogControls(false);
    if (!databaseStatus.prepared && !showingAllComputers()) {
        showPreparation(databaseStatus); // the figures come when the file is ready
        return;
    }
    std::optional<std::vector<StatisticsRow>> rows;
    DateTime since{};
    ViewTab tab = ViewTab::printer;
    if (!tryDatabaseBriefly(interfaceLockWait, interfaceFileWait, [&] {
            since = chosenStart();
            tab = chosenTab();
            noteShownChoice(since, tab);
            // Every computer's counts come from the network, never under the lock.
            if (!showingAllComputers() && tab != ViewTab::jobs) rows = readFigures(since, tab);
        })) {
        waitForOtherProgram();
        return;
    }
    if (tab == ViewTab::jobs) return showJobs(since);
    if (showingAllComputers()) {
        askForAllComputers(mainWindowOfView, since, tab);
        return;
    }
    if (!rows) {
        // Another program left the totals in doubt: the worker counts them.
        databaseStatus.prepared = false;
        databaseStatus.step = PreparationStep::totals;
        databaseStatus.percent = 0;
        requestPreparation();
        showPreparation(databaseStatus);
        return;
    }
    hideStatusProgress();
    showFigures(std::move(*rows));
}

// A double-click on a group of the list (this computer's or every
// computer's): the Jobs tab, only that group's jobs.
bool drillDown(const NMHDR& header)
{
    const ViewTab tab = chosenTab();
    if (tab == ViewTab::month || tab == ViewTab::jobs) return false;
    const auto group = groupOnListRow(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
    if (!group) return false;
    setJobLogFilter(groupingOf(tab), *group);
    SendMessageW(groupingTabs, TCM_SETCURSEL, jobsTabIndex, 0);
    SendMessageW(groupingTabs, TCM_SETCURFOCUS, jobsTabIndex, 0);
    refreshStatistics();
    return true;
}

} // namespace

void createStatisticsControls(HWND mainWindow)
{
    mainWindowOfView = mainWindow;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (font == nullptr) fatalError(unit::shell, u"400");
    createPeriodControls(mainWindow, font);
    // A file a program prepared before is counted from at once, before the
    // window is first shown; a new or an old one once its worker is done.
    tryDatabaseBriefly(interfaceLockWait, interfaceFileWait,
        [] { databaseStatus.prepared = jobDatabasePrepared(dataFolder()); });
    createComputerChoice(mainWindow, font);
    // The log's list before the figures' list: a program that looks for
    // the list view of the figures finds the last one made.
    createJobLogControls(mainWindow, font);
    createFigureControls(mainWindow, font);
    createGroupingTabs(mainWindow);
    SendMessageW(groupingTabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The list and the chart lie inside the tab control's area; created
    // first, they stay above the tab control in the order of the siblings.
    createStatusBar(mainWindow, font);
    fillPeriodCombo();
}

void fillPeriodCombo()
{
    fillPeriodList();
    refreshStatistics();
}

void refreshStatistics()
{
    KillTimer(mainWindowOfView, refreshRetryTimer);
    if (fatalReportBegun()) return;                     // the view stays as it was
    if (savedNamesMissing()) appendSavedNamesBriefly(); // the choice among the fixed periods stays
    refreshFigures();
    // The figures may come while the names still could not (the recorder
    // held the lock a moment longer): nothing else would ask again.
    if (savedNamesMissing()) SetTimer(mainWindowOfView, refreshRetryTimer, retryEvery, nullptr);
}

bool handleStatisticsMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return handleCentralAnswer(message, lParam) || handleJobLogMessage(message, wParam, lParam);
}

void showDatabaseStatus(const DatabaseWorkerStatus& status)
{
    const bool becameReady = status.prepared
        && (!databaseStatus.prepared || status.totalsCounted != databaseStatus.totalsCounted);
    databaseStatus = status;
    if (becameReady)
        refreshStatistics();
    else if (!status.prepared && !showingAllComputers()) // every computer's list is not this file's
        showPreparation(status);
}

void layoutStatisticsView(HWND mainWindow)
{
    RECT client;
    if (!GetClientRect(mainWindow, &client)) fatalError(unit::shell, u"430");
    // The status bar takes the bottom; the view is laid out above it.
    StatisticsLayout layout
        = layoutStatistics(client.right, client.bottom - placeStatusBar(), computerChoiceShown());
    placePeriodControls(layout);
    moveControl(groupingTabs, layout.groupingTabs, u"436");
    placeComputerChoice(layout);

    RECT tabClient, tabRow;
    if (!GetClientRect(groupingTabs, &tabClient)) fatalError(unit::shell, u"437");
    if (!SendMessageW(groupingTabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tabRow)))
        fatalError(unit::shell, u"438");
    Box area = listAreaInTabs({tabClient.left, tabClient.top, tabClient.right, tabClient.bottom},
        static_cast<short>(GetSystemMetrics(SM_CXDLGFRAME)),
        static_cast<short>(GetSystemMetrics(SM_CYDLGFRAME)), tabRow.bottom, layout.groupingTabs.y);
    RECT r{area.left, area.top, area.right, area.bottom};
    SendMessageW(groupingTabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    // Right and bottom go in as width and height: the frames reserved above
    // leave the list a margin inside the tab control.
    placeFigureControls(r);
    placeJobLogControls(r);
}

bool handleStatisticsCommand(HWND, WPARAM wParam, LPARAM lParam)
{
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == nullptr) return false;
    if (takeComputerChoice(sender) || periodCommand(sender, wParam)) {
        refreshStatistics();
        return true;
    }
    return handleJobLogCommand(mainWindowOfView, wParam, lParam);
}

bool handleStatisticsNotify(HWND mainWindow, const NMHDR& header)
{
    if (header.hwndFrom == nullptr) return false;
    if (handleJobLogNotify(mainWindow, header)) return true;
    if (header.code == NM_DBLCLK && isFigureControl(header.hwndFrom)) return drillDown(header);
    if (handleListNotify(mainWindow, header)) return true;
    if (periodNotify(header) || (header.hwndFrom == groupingTabs && header.code == TCN_SELCHANGE)) {
        refreshStatistics();
        return true;
    }
    return false;
}

bool handleStatisticsContextMenu(HWND mainWindow, WPARAM wParam, LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(wParam);
    if (isJobLogControl(from)) {
        showJobLogMenu(mainWindow, lParam);
        return true;
    }
    if (!isFigureControl(from)) return false;
    showTotalsMenu(mainWindow, from, shownTotals(), lParam);
    return true;
}
