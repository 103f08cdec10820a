// What the job log shows and exports of each job: its cells as text, in the
// order of the Jobs tab's columns. Portable: the words for colour and sides
// come from the language file, money is written by the Win32 half.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "shell/totals_export.h"
#include "store/job_log.h"

// time, user, computer, printer, document, pages, colour, sides, paper, sheets, cost
inline constexpr int logColumns = 11;
inline constexpr int logCostColumn = 10;
using LogCells = std::array<std::u16string, logColumns>;

struct LogWords {
    std::u16string colour, mono;
    std::array<std::u16string, 3> sides; // one-sided, long edge, short edge
};

// The cells of an entry; unknown facts are empty, the cost a plain amount
// ("1.23") for the caller to write as money, or to export as it is.
LogCells logCells(const LogEntry& entry, const LogWords& words);

// The column a click on the header orders the log by; none for the columns
// the log is not ordered by.
std::optional<LogColumn> logColumnOfHeader(int column);
// The header column of the order.
int headerOfLogColumn(LogColumn column);

// The words of the language in force.
LogWords logWords();
// The log's export, as the Jobs tab and "/report /by job" write it: the
// header line, then a line per entry, CR LF after each.
std::u16string logExportHeader(ExportForm form);
std::u16string logExportLine(const LogEntry& entry, const LogWords& words, ExportForm form);

// The log's export written in pieces as it is read, never whole in memory:
// a CSV as UTF-8 after its byte order mark, a tab-separated text as UTF-16
// (the clipboard's). Each piece holds whole lines, about `pieceBytes` of
// them; the writer returns false to stop. A copy that would pass `limit`
// bytes stops too, and says so.
class LogExport {
public:
    using Writer = std::function<bool(std::string_view bytes)>;
    LogExport(ExportForm form, LogWords words, Writer writer, std::size_t pieceBytes = 1 << 20,
        std::uint64_t limit = UINT64_MAX);
    // False once the writer refused a piece or the limit was passed.
    bool add(const LogEntry& entry);
    // Writes what is left; false as add.
    bool finish();
    bool overLimit() const { return over_; }

private:
    bool append(const std::u16string& line);
    bool flush();
    ExportForm form_;
    LogWords words_;
    Writer writer_;
    std::size_t pieceBytes_;
    std::uint64_t limit_, total_ = 0;
    std::string piece_;
    bool failed_ = false, over_ = false;
};
