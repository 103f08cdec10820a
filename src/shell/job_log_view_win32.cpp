// The Jobs tab. The list is virtual: it asks for the rows it paints, and
// they are read by keyset from the nearest row already read, or from the
// nearer end, a screen at a time, so opening and jumping to the end cost the
// same at any size. A search and an export run on a thread of their own with
// a connection of their own, stream their rows in and stop at Esc.
#include "shell/job_log_view_win32.h"

#include <commctrl.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/failure.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "common/window_contract.h"
#include "shell/all_computers_win32.h"
#include "shell/central_log_reader_win32.h"
#include "shell/job_log_cells.h"
#include "shell/locale_format_win32.h"
#include "shell/replaced_file_win32.h"
#include "shell/statistics_controls_win32.h"
#include "shell/status_bar_win32.h"
#include "shell/totals_export_win32.h"
#include "store/database_try_win32.h"
#include "store/job_log.h"
#include "store/job_store.h"

namespace {

constexpr UINT searchMessage = WM_APP + 41; // wParam: progress in thousandths, lParam: 1 when done
constexpr UINT exportMessage = WM_APP + 42; // the same for an export
constexpr UINT_PTR searchTimer = 20002;
constexpr std::size_t pageSize = 64;       // a screen and more
constexpr std::int64_t keysetReach = 4096; // nearer than this, a read goes on from a row read
constexpr std::size_t cacheLimit = 50000;

HWND mainWindowOfLog, logList, filterLabel, showAllButton, searchLabel, searchEdit;
LogFilter filter;
LogOrder order;
std::int64_t entryCount = 0;
std::map<std::int64_t, LogEntry> cache; // by position in the list
LogWords words;

// The search's rows as they stream in; the list shows them in their order.
struct Streaming {
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::vector<LogEntry> found;
    bool running = false;
};
Streaming search;
bool searching = false; // the list shows the search's rows

// A copy's text waits whole for the clipboard, up to this size; a file is
// written as the log is read.
constexpr std::uint64_t copyLimitBytes = 64u << 20;

struct Export {
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::string clipboard;              // a copy's text as UTF-16, made on the thread
    std::unique_ptr<ReplacedFile> file; // a save's file, written on the thread
    bool copy = false, running = false, writeFailed = false, tooLong = false;
    bool central = false; // every computer's log, from the central database
};
Export exportJob;

void stopThread(std::thread& thread, std::atomic<bool>& cancel)
{
    cancel = true;
    if (thread.joinable()) thread.join();
    cancel = false;
}

// Reads the rows around `index` into the cache, from the nearest row read
// before or after it, or from the nearer end.
void readAround(sqlite3* db, std::int64_t index)
{
    auto below = cache.upper_bound(index);
    const bool fromBefore = below != cache.begin() && index - std::prev(below)->first < keysetReach;
    if (fromBefore) {
        auto last = std::prev(below);
        while (last->first < index) {
            auto page = readLogPage(db, filter, order, &last->second, pageSize);
            if (page.empty()) return;
            for (LogEntry& entry : page)
                last = cache.insert_or_assign(last->first + 1, std::move(entry)).first;
        }
        return;
    }
    if (below != cache.end() && below->first - index < keysetReach) {
        auto next = below;
        while (next->first > index) {
            auto page = readLogPage(db, filter, order, &next->second, pageSize, true);
            if (page.empty()) return;
            for (LogEntry& entry : page)
                next = cache.insert_or_assign(next->first - 1, std::move(entry)).first;
        }
        return;
    }
    // Far from every row read: from the nearer end, skipping to the row.
    const bool fromEnd = index > entryCount / 2;
    const std::int64_t skip = fromEnd ? entryCount - 1 - index : index;
    auto page = readLogPageAt(db, filter, order, static_cast<std::size_t>(skip), pageSize, fromEnd);
    for (std::size_t i = 0; i < page.size(); ++i)
        cache.insert_or_assign(
            fromEnd ? index - static_cast<std::int64_t>(i) : index + static_cast<std::int64_t>(i),
            std::move(page[i]));
}

// A copy: the search's thread may grow its rows meanwhile.
std::optional<LogEntry> entryAt(std::int64_t index)
{
    if (showingAllComputers()) return centralLogEntry(index);
    if (searching) {
        std::lock_guard lock(search.mutex);
        if (index < 0 || index >= static_cast<std::int64_t>(search.found.size())) return std::nullopt;
        return search.found[static_cast<std::size_t>(index)];
    }
    if (auto hit = cache.find(index); hit != cache.end()) return hit->second;
    if (cache.size() > cacheLimit) cache.clear();
    tryDatabaseBriefly(interfaceLockWait, interfaceFileWait, [&] {
        Database db = openJobDatabase(dataFolder(), SchemaWork::tablesOnly);
        readAround(db.get(), index);
        closeJobDatabase(std::move(db));
    });
    auto hit = cache.find(index);
    if (hit == cache.end()) return std::nullopt;
    return hit->second;
}

void setItemCount(std::int64_t count)
{
    SendMessageW(logList, LVM_SETITEMCOUNT, static_cast<WPARAM>(std::min<std::int64_t>(count, INT_MAX)),
        LVSICF_NOSCROLL);
    InvalidateRect(logList, nullptr, FALSE);
}

void showSortArrow()
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(logList, LVM_GETHEADER, 0, 0));
    for (int column = 0; column < logColumns; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == headerOfLogColumn(order.column))
            item.fmt |= order.descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, column, reinterpret_cast<LPARAM>(&item));
    }
}

void showFilter()
{
    const bool filtered = filter.only.has_value();
    const std::u16string text = withValue(getText(textid::onlyFilter), filter.onlyValue);
    SetWindowTextW(filterLabel, wide(filtered ? text.c_str() : u""));
    ShowWindow(showAllButton, filtered && IsWindowVisible(logList) ? SW_SHOWNA : SW_HIDE);
}

void searchThread(LogFilter searched, LogOrder searchOrder)
{
    BusyLimit limit(std::chrono::milliseconds(2000));
    InterruptibleBy interrupt(search.cancel);
    bool whole = false;
    try {
        Database db = openJobDatabase(dataFolder(), SchemaWork::tablesOnly);
        whole = forEachLogEntry(
            db.get(), searched, searchOrder,
            [](const LogEntry& entry) {
                std::lock_guard lock(search.mutex);
                search.found.push_back(entry);
                return true;
            },
            &search.cancel,
            [](int permille) {
                PostMessageW(mainWindowOfLog, searchMessage, static_cast<WPARAM>(permille), 0);
            });
        closeJobDatabase(std::move(db));
    } catch (const DatabaseBusy&) {
        whole = false;
    }
    PostMessageW(mainWindowOfLog, searchMessage, 1000, whole ? 1 : 2);
}

void startSearch()
{
    stopThread(search.thread, search.cancel);
    search.found.clear();
    searching = !filter.search.empty();
    if (!searching) return;
    search.running = true;
    showStatusProgress(0, getText(textid::searchProgress));
    search.thread = std::thread(searchThread, filter, order);
}

void reload()
{
    cache.clear();
    showFilter();
    showSortArrow();
    if (showingAllComputers()) {
        // The server searches: the search is one more term of its query.
        stopThread(search.thread, search.cancel);
        searching = search.running = false;
        entryCount = 0;
        setItemCount(0);
        setStatusText(getText(textid::centralAsking));
        startCentralLog(mainWindowOfLog, filter, order);
        return;
    }
    startSearch();
    if (searching) {
        setItemCount(0);
        return;
    }
    entryCount = 0;
    tryDatabaseBriefly(interfaceLockWait, interfaceFileWait, [] {
        Database db = openJobDatabase(dataFolder(), SchemaWork::tablesOnly);
        entryCount = countLogEntries(db.get(), filter);
        closeJobDatabase(std::move(db));
    });
    setItemCount(entryCount);
    // The number of jobs listed, as the search's pass ends with it.
    setStatusText(groupedNumber(decimalText(entryCount)));
}

void onDisplayInfo(NMLVDISPINFOW& info)
{
    if ((info.item.mask & LVIF_TEXT) == 0 || info.item.cchTextMax <= 0) return;
    info.item.pszText[0] = 0;
    const std::optional<LogEntry> entry = entryAt(info.item.iItem);
    if (!entry || info.item.iSubItem < 0 || info.item.iSubItem >= logColumns) return;
    std::u16string text = logCells(*entry, words)[static_cast<std::size_t>(info.item.iSubItem)];
    if (info.item.iSubItem == logCostColumn && entry->cost) text = currencyText(decimalText(*entry->cost));
    if (info.item.iSubItem == 5 || info.item.iSubItem == 9) text = groupedNumber(text);
    text = cutText(text, static_cast<std::size_t>(info.item.cchTextMax - 1));
    std::copy(text.begin(), text.end(), info.item.pszText);
    info.item.pszText[text.size()] = 0;
}

} // namespace

namespace {

void exportThread(LogFilter exported, LogOrder exportOrder)
{
    BusyLimit limit(std::chrono::milliseconds(2000));
    InterruptibleBy interrupt(exportJob.cancel);
    const bool copy = exportJob.copy;
    bool whole = false;
    auto progress = [](int permille) {
        PostMessageW(mainWindowOfLog, exportMessage, static_cast<WPARAM>(permille), 0);
    };
    try {
        LogExport out(
            copy ? ExportForm::tabSeparated : ExportForm::csv, words,
            [&](std::string_view bytes) {
                if (copy) {
                    exportJob.clipboard.append(bytes);
                    return true;
                }
                exportJob.writeFailed = !exportJob.file->write(bytes);
                return !exportJob.writeFailed;
            },
            1 << 20, copy ? copyLimitBytes : UINT64_MAX);
        auto add = [&](const LogEntry& entry) { return out.add(entry); };
        if (exportJob.central) {
            whole = forEachCentralLogEntry(exported, exportOrder, add, exportJob.cancel, progress);
        } else {
            Database db = openJobDatabase(dataFolder(), SchemaWork::tablesOnly);
            whole = forEachLogEntry(db.get(), exported, exportOrder, add, &exportJob.cancel, progress);
            closeJobDatabase(std::move(db));
        }
        whole = whole && out.finish();
        exportJob.tooLong = out.overLimit();
    } catch (const DatabaseBusy&) {
        whole = false;
    }
    PostMessageW(mainWindowOfLog, exportMessage, 1000, whole ? 1 : 2);
}

void startExport(ExportChoice choice)
{
    if (choice == ExportChoice::none || exportJob.running) return;
    stopThread(exportJob.thread, exportJob.cancel);
    exportJob.copy = choice == ExportChoice::copy;
    exportJob.central = showingAllComputers();
    exportJob.writeFailed = exportJob.tooLong = false;
    exportJob.clipboard.clear();
    if (!exportJob.copy) {
        std::optional<std::u16string> path
            = askCsvPath(mainWindowOfLog, getText(textid::jobsCsvNameStem), filter.since);
        if (!path) return;
        exportJob.file = std::make_unique<ReplacedFile>(*path);
        if (!exportJob.file->open()) {
            exportJob.file.reset();
            warnSaveFailed(mainWindowOfLog);
            return;
        }
    }
    exportJob.running = true;
    showStatusProgress(0, getText(textid::saveCsvItem));
    exportJob.thread = std::thread(exportThread, filter, order);
}

// The export is whole (done 1) or was stopped (done 2): the text goes where
// it was asked to only when whole; a stopped save leaves no file.
void finishExport(bool whole)
{
    if (exportJob.thread.joinable()) exportJob.thread.join();
    exportJob.running = false;
    hideStatusProgress();
    if (exportJob.copy) {
        if (whole)
            copyText(mainWindowOfLog,
                std::u16string(reinterpret_cast<const char16_t*>(exportJob.clipboard.data()),
                    exportJob.clipboard.size() / sizeof(char16_t)));
        std::string().swap(exportJob.clipboard);
        if (exportJob.tooLong)
            MessageBoxW(mainWindowOfLog,
                wide(withValue(getText(textid::copyTooLong), decimalText(copyLimitBytes >> 20)).c_str()),
                wide(getText(textid::mainTitle)), MB_OK | MB_ICONINFORMATION);
        return;
    }
    const bool saved = whole && exportJob.file->commit();
    exportJob.file.reset();
    if ((whole && !saved) || exportJob.writeFailed) warnSaveFailed(mainWindowOfLog);
}

void onSearchProgress(WPARAM permille, LPARAM done)
{
    std::size_t found = 0;
    {
        std::lock_guard lock(search.mutex);
        found = search.found.size();
    }
    if (searching) setItemCount(static_cast<std::int64_t>(found));
    if (done == 0) {
        const std::u16string shown = groupedNumber(decimalText(static_cast<std::int64_t>(found)));
        showStatusProgress(
            static_cast<int>(permille / 10), withValue(getText(textid::searchProgress), shown));
        return;
    }
    if (search.thread.joinable()) search.thread.join();
    search.running = false;
    hideStatusProgress();
    setStatusText(groupedNumber(decimalText(static_cast<std::int64_t>(found))));
}

// A count or a page of every computer's log came.
void onCentralLogAnswer()
{
    if (!showingAllComputers()) return;
    const CentralLogState state = centralLogState();
    if (!state.granted) {
        setStatusText(getText(textid::centralLogNotGranted));
    } else if (!state.error.empty()) {
        setStatusText(std::u16string(getText(textid::centralUnreachable)) + u" " + state.error);
    } else if (state.count) {
        setStatusText(groupedNumber(decimalText(*state.count)));
    }
    const std::int64_t count = state.granted ? state.count.value_or(0) : 0;
    if (count != entryCount) {
        entryCount = count;
        setItemCount(entryCount);
    }
    // After a failure the rows shown stay: a redraw would only ask again
    // (a scroll asks for what it shows).
    if (state.error.empty()) InvalidateRect(logList, nullptr, FALSE);
}

LRESULT CALLBACK searchEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE && cancelJobLogWork()) return 0;
    if (message == WM_CHAR && (wParam == VK_RETURN || wParam == VK_ESCAPE)) return 0; // no beep
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        KillTimer(mainWindowOfLog, searchTimer);
        handleJobLogMessage(WM_TIMER, searchTimer, 0);
        return 0;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

HWND createChild(const wchar_t* className, const std::u16string& text, DWORD style, unsigned short id)
{
    const DWORD edge = lstrcmpW(className, WC_EDITW) == 0 ? WS_EX_CLIENTEDGE : 0;
    HWND window = CreateWindowExW(edge, className, wide(text.c_str()), WS_CHILD | style, 0, 0, 10, 10,
        mainWindowOfLog, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
        nullptr);
    if (window == nullptr) fatalError(unit::shell, u"450");
    return window;
}

} // namespace

void createJobLogControls(HWND mainWindow, HFONT font)
{
    mainWindowOfLog = mainWindow;
    words = logWords();
    logList = createChild(WC_LISTVIEWW, u"",
        LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP, contract::jobLogListId);
    SendMessageW(logList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    constexpr int widths[logColumns] = {130, 90, 90, 110, 180, 60, 60, 80, 80, 60, 80};
    for (int column = 0; column < logColumns; ++column) {
        std::u16string header = getText(textid::jobColumns[static_cast<std::size_t>(column)]);
        LVCOLUMNW record{};
        record.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_FMT;
        record.fmt = column == 5 || column == 9 || column == logCostColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
        record.cx = widths[column];
        record.pszText = wide(header.data());
        if (SendMessageW(logList, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&record)) == -1)
            fatalError(unit::shell, u"452");
    }
    filterLabel = createChild(WC_STATICW, u"", SS_LEFT | SS_CENTERIMAGE, 0);
    showAllButton
        = createChild(WC_BUTTONW, getText(textid::showAllButton), BS_PUSHBUTTON, contract::showAllButtonId);
    searchLabel = createChild(WC_STATICW, getText(textid::searchLabel), SS_RIGHT | SS_CENTERIMAGE, 0);
    searchEdit = createChild(WC_EDITW, u"", ES_AUTOHSCROLL | WS_TABSTOP, contract::jobSearchEditId);
    SetWindowSubclass(searchEdit, searchEditProc, 1, 0);
    for (HWND window : {logList, filterLabel, showAllButton, searchLabel, searchEdit})
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void placeJobLogControls(const RECT& area)
{
    // A row for the filter and the search above the list.
    const int row = 24, width = area.right;
    MoveWindow(filterLabel, area.left, area.top, width / 2 - 100, row, TRUE);
    MoveWindow(showAllButton, area.left + width / 2 - 96, area.top, 90, row, TRUE);
    MoveWindow(searchLabel, area.left + width / 2, area.top, 80, row, TRUE);
    MoveWindow(searchEdit, area.left + width / 2 + 84, area.top, width / 2 - 84, row, TRUE);
    MoveWindow(logList, area.left, area.top + row + 4, width, std::max(0L, area.bottom - row - 4), TRUE);
}

void showJobLogControls(bool shown)
{
    for (HWND window : {logList, filterLabel, searchLabel, searchEdit})
        ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
    showFilter();
    if (!shown) cancelJobLogWork();
}

void showJobLog(const DateTime& since)
{
    filter.since = since;
    reload();
}

void setJobLogFilter(GroupingColumn column, const std::u16string& value)
{
    filter.only = column;
    filter.onlyValue = value;
}

bool handleJobLogNotify(HWND mainWindow, const NMHDR& header)
{
    if (header.hwndFrom != logList) return false;
    switch (header.code) {
    case LVN_GETDISPINFOW:
        onDisplayInfo(const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)));
        return true;
    case LVN_COLUMNCLICK: {
        const auto column = logColumnOfHeader(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        if (!column) return true;
        // A new column starts names A to Z and time and pages newest or highest first.
        order = *column == order.column
            ? LogOrder{order.column, !order.descending}
            : LogOrder{*column, *column == LogColumn::time || *column == LogColumn::pages};
        reload();
        return true;
    }
    case LVN_KEYDOWN: {
        const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
        if (key.wVKey == VK_ESCAPE) cancelJobLogWork();
        if (key.wVKey == 'C' && GetKeyState(VK_CONTROL) < 0) startExport(ExportChoice::copy);
        (void)mainWindow;
        return true;
    }
    }
    return false;
}

bool handleJobLogCommand(HWND, WPARAM wParam, LPARAM lParam)
{
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == showAllButton && HIWORD(wParam) == BN_CLICKED) {
        filter.only.reset();
        filter.onlyValue.clear();
        reload();
        return true;
    }
    if (sender == searchEdit && HIWORD(wParam) == EN_CHANGE) {
        // The search starts when the typing pauses.
        SetTimer(mainWindowOfLog, searchTimer, 400, nullptr);
        return true;
    }
    return false;
}

bool handleJobLogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == searchTimer) {
        KillTimer(mainWindowOfLog, searchTimer);
        wchar_t text[256] = {};
        GetWindowTextW(searchEdit, text, 256);
        if (filter.search == utf16(text)) return true;
        filter.search = utf16(text);
        reload();
        return true;
    }
    if (message == centralLogMessage) {
        onCentralLogAnswer();
        return true;
    }
    if (message == searchMessage) {
        onSearchProgress(wParam, lParam);
        return true;
    }
    if (message == exportMessage) {
        if (lParam == 0)
            showStatusProgress(static_cast<int>(wParam / 10), getText(textid::saveCsvItem));
        else
            finishExport(lParam == 1);
        return true;
    }
    return false;
}

bool cancelJobLogWork()
{
    const bool running = search.running || exportJob.running;
    search.cancel = true;
    exportJob.cancel = true;
    return running;
}

bool isJobLogControl(HWND window)
{
    return window == logList;
}

void showJobLogMenu(HWND mainWindow, LPARAM screenPoint)
{
    startExport(chooseExport(mainWindow, logList, screenPoint));
}
