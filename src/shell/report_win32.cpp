#include "shell/report_win32.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include "central/central_link_win32.h"
#include "central/central_setting_win32.h"
#include "common/database_lock_win32.h"
#include "common/date_time_win32.h"
#include "common/fatal_report.h"
#include "common/folders_win32.h"
#include "common/language_texts.h"
#include "common/scoped_handle_win32.h"
#include "common/strings.h"
#include "common/wide_text_win32.h"
#include "shell/central_log_reader_win32.h"
#include "shell/job_log_cells.h"
#include "shell/month_chart.h"
#include "shell/replaced_file_win32.h"
#include "shell/report_request.h"
#include "shell/statistics_view.h"
#include "shell/totals_export.h"
#include "store/database_try_win32.h"
#include "store/job_log.h"
#include "store/job_store.h"

namespace {

// Where the report's bytes go, piece by piece; false stops it.
using ReportSink = std::function<bool(std::string_view bytes)>;

// How long the report waits for a file another program holds before it
// says so: a scheduled task may not hang.
constexpr DWORD lockWait = 3000;
constexpr std::chrono::milliseconds fileWait{3000};

bool usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool writeBytes(HANDLE handle, std::string_view bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, piece, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool writeConsole(HANDLE console, const std::u16string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
        DWORD written = 0;
        if (!WriteConsoleW(console, wide(text.data() + done), piece, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// To the standard output or error: a file or a pipe it was redirected to
// gets the bytes; a console gets the text (without the byte order mark,
// which only files want). A program of the windows subsystem has no console
// of its own: it writes to the one of the command line it was started from.
bool writeStandard(DWORD which, std::string_view bytes)
{
    HANDLE handle = GetStdHandle(which);
    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::u16string units(text.size(), u'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
        wide(units.data()), static_cast<int>(units.size()));
    units.resize(static_cast<std::size_t>(std::max(length, 0)));
    if (usable(handle) && GetFileType(handle) != FILE_TYPE_CHAR) return writeBytes(handle, bytes);
    if (usable(handle) && writeConsole(handle, units)) return true;
    if (usable(handle)) return writeBytes(handle, bytes); // NUL is a character device too
    AttachConsole(ATTACH_PARENT_PROCESS);
    ScopedHandle console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    // Started with no console and no redirection: nobody would read it.
    if (!console) return true;
    return writeConsole(console.get(), units);
}

int refuse(const std::u16string& words)
{
    writeStandard(STD_ERROR_HANDLE, utf8Of(words + u"\r\n"));
    return 1;
}

void reportFatalLine(const std::u16string& message, const std::u16string& caption)
{
    std::u16string line = caption + u":";
    for (char16_t unit : message) line += unit == u'\r' || unit == u'\n' ? u' ' : unit;
    writeStandard(STD_ERROR_HANDLE, utf8Of(line + u"\r\n"));
}

DateTime localNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return fromSystemTime(now);
}

GroupingColumn columnOf(ReportGrouping by)
{
    if (by == ReportGrouping::user) return GroupingColumn::user;
    if (by == ReportGrouping::computer) return GroupingColumn::machine;
    return GroupingColumn::printer;
}

} // namespace

void prepareReportOutput()
{
    sendFatalReportsTo(reportFatalLine);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

namespace {

// The start the request names, as the window's period choice would make it.
// False and the reason when no date is saved under the name.
bool requestedStart(const ReportRequest& request, const DateTime& now, DateTime& since, std::u16string& error)
{
    if (request.start == ReportStart::moment) {
        since = request.since;
        return true;
    }
    if (request.start == ReportStart::period) {
        PeriodTexts names;
        for (std::size_t i = 0; i < names.size(); ++i) names[i] = reportPeriodNames[i];
        since = periodStart(now, names[static_cast<std::size_t>(request.period)], std::nullopt, names);
        return true;
    }
    bool found = false;
    if (!tryDatabaseBriefly(
            lockWait, fileWait, [&] { found = findSavedDate(dataFolder(), since, request.savedName); })) {
        error = getText(textid::reportDatabaseBusy);
        return false;
    }
    if (!found) error = withValue(getText(textid::reportUnknownSaved), request.savedName);
    return found;
}

// This computer's figures, read as the window reads them; counted from the
// jobs when the kept totals are not ready (as the window's worker would).
bool localFigures(const ReportRequest& request, const DateTime& since, std::vector<StatisticsRow>& rows,
    std::u16string& error)
{
    const std::u16string folder = dataFolder();
    auto add = [&](const StatisticsRow& row) { rows.push_back(row); };
    const bool months = request.by == ReportGrouping::month;
    const bool read = tryDatabaseBriefly(lockWait, fileWait, [&] {
        rows.clear();
        const bool quick = months ? quickMonthlyStatistics(folder, since, add)
                                  : quickStatistics(folder, since, columnOf(request.by), add);
        if (quick) return;
        rows.clear();
        if (months)
            rows = queryMonthlyStatistics(folder, since);
        else
            queryStatistics(folder, since, columnOf(request.by), add);
    });
    if (!read) error = getText(textid::reportDatabaseBusy);
    return read;
}

// Every job of the period, newest first, as the Jobs tab saves it, written
// as it is read: millions of jobs never sit in memory whole.
bool writeJobLog(const DateTime& since, const ReportSink& sink, std::u16string& error)
{
    bool begun = false, cut = false;
    const bool read = tryDatabaseBriefly(lockWait, fileWait, [&] {
        // Once output began, a second try would repeat it.
        if (begun) {
            cut = true;
            return;
        }
        Database db = openJobDatabase(dataFolder(), SchemaWork::tablesOnly);
        LogExport out(ExportForm::csv, logWords(), [&](std::string_view bytes) {
            begun = true;
            return sink(bytes);
        });
        LogFilter filter;
        filter.since = since;
        if (forEachLogEntry(
                db.get(), filter, LogOrder{}, [&](const LogEntry& entry) { return out.add(entry); }))
            out.finish();
        closeJobDatabase(std::move(db));
    });
    if (read && !cut) return true;
    error = getText(textid::reportDatabaseBusy);
    return false;
}

// Every computer's jobs of the period, newest first, as the Jobs tab saves
// them under "All computers": read from the central database a page at a
// time and written as they come.
bool writeCentralJobLog(const DateTime& since, const ReportSink& sink, std::u16string& error)
{
    if (!readCentralSetting().viewable()) {
        error = getText(textid::reportNoCentral);
        return false;
    }
    LogExport out(ExportForm::csv, logWords(), sink);
    LogFilter filter;
    filter.since = since;
    const std::atomic<bool> never{false};
    // Stopped without words: the output refused a piece, which the caller
    // says as it says it for this computer's log.
    if (!forEachCentralLogEntry(
            filter, LogOrder{}, [&](const LogEntry& entry) { return out.add(entry); }, never, nullptr,
            &error))
        return error.empty();
    out.finish();
    return true;
}

bool centralFigures(const ReportRequest& request, const DateTime& since, std::vector<StatisticsRow>& rows,
    std::u16string& error)
{
    if (request.by == ReportGrouping::month) {
        error = getText(textid::reportMonthsThisComputer);
        return false;
    }
    // A desk that only views (a viewer's connection, no shipping) reads
    // every computer's figures as its window does.
    const CentralSetting setting = readCentralSetting();
    if (!setting.viewable()) {
        error = getText(textid::reportNoCentral);
        return false;
    }
    if (queryCentralStatistics(setting, since, columnOf(request.by), rows, error)) return true;
    error = std::u16string(getText(textid::centralUnreachable)) + u" " + error;
    return false;
}

// The CSV of the request to the sink, or false and the reason in words.
bool reportCsv(const ReportRequest& request, const ReportSink& sink, std::u16string& error)
{
    const std::u16string path = jobDatabasePath(dataFolder());
    // Opening would make a new, empty file: a report never creates one.
    if (GetFileAttributesW(wide(path.c_str())) == INVALID_FILE_ATTRIBUTES) {
        error = withValue(getText(textid::reportNoDatabase), path);
        return false;
    }
    const DateTime now = localNow();
    DateTime since{};
    std::vector<StatisticsRow> rows;
    if (!requestedStart(request, now, since, error)) return false;
    if (request.by == ReportGrouping::job)
        return (request.allComputers ? writeCentralJobLog : writeJobLog)(since, sink, error);
    if (!(request.allComputers ? centralFigures : localFigures)(request, since, rows, error)) return false;
    const bool months = request.by == ReportGrouping::month;
    if (months) rows = chartRows(chartMonths(rows, since, now));
    sink(totalsAsCsv(totalsHeaders(months, rows), totalsCells(months, rows)));
    return true;
}

} // namespace

int runReport(const std::vector<std::u16string>& words)
{
    std::u16string fault;
    const std::optional<ReportRequest> request = readReportRequest(words, fault);
    if (!request) return refuse(withValue(getText(textid::reportNotUnderstood), fault));
    // The lock of this process alone, as the service has one: the tray
    // program's named one is its guard against a second copy. Between
    // programs, SQLite's own locks keep the reads whole.
    dbMutex = CreateMutexW(nullptr, FALSE, nullptr);
    if (dbMutex == nullptr) return refuse(getText(textid::reportDatabaseBusy));
    std::u16string error;
    bool written = true;
    if (request->outFile.empty()) {
        const bool made = reportCsv(
            *request,
            [&](std::string_view bytes) { return written = writeStandard(STD_OUTPUT_HANDLE, bytes); }, error);
        // An output closed before the end is said by the exit code alone.
        return !made ? refuse(error) : written ? 0 : 1;
    }
    // The old file stays whole until the new one is; a report that fails
    // leaves nothing of itself.
    ReplacedFile file(request->outFile);
    const bool made = file.open()
        && reportCsv(
            *request, [&](std::string_view bytes) { return written = file.write(bytes); }, error);
    if (made && written && file.commit()) return 0;
    if (file.open() && !error.empty()) return refuse(error);
    return refuse(withValue(getText(textid::reportNotWritten), request->outFile));
}
