#include "shell/job_log_cells.h"

#include <utility>

#include "common/language_texts.h"
#include "common/strings.h"
#include "shell/statistics_figures.h"

LogCells logCells(const LogEntry& entry, const LogWords& words)
{
    LogCells cells;
    // "2026-03-05T10:00:00.000" reads as "2026-03-05 10:00:00".
    cells[0] = entry.time;
    if (cells[0].size() == 23 && cells[0][10] == u'T')
        cells[0] = cells[0].substr(0, 10) + u" " + cells[0].substr(11, 8);
    cells[1] = entry.user;
    cells[2] = entry.machine;
    cells[3] = entry.printer;
    cells[4] = entry.document.value_or(u"");
    cells[5] = entry.pages;
    if (entry.colour == 2) cells[6] = words.colour;
    if (entry.colour == 1) cells[6] = words.mono;
    if (entry.sides && *entry.sides >= 1 && *entry.sides <= 3) cells[7] = words.sides[*entry.sides - 1];
    cells[8] = entry.paper.value_or(u"");
    if (entry.sheets) cells[9] = decimalText(*entry.sheets);
    if (entry.cost) cells[10] = moneyAmount(decimalText(*entry.cost));
    return cells;
}

std::optional<LogColumn> logColumnOfHeader(int column)
{
    switch (column) {
    case 0: return LogColumn::time;
    case 1: return LogColumn::user;
    case 2: return LogColumn::machine;
    case 3: return LogColumn::printer;
    case 5: return LogColumn::pages;
    }
    return std::nullopt;
}

int headerOfLogColumn(LogColumn column)
{
    switch (column) {
    case LogColumn::time: return 0;
    case LogColumn::user: return 1;
    case LogColumn::machine: return 2;
    case LogColumn::printer: return 3;
    case LogColumn::pages: return 5;
    }
    return 0;
}

LogWords logWords()
{
    return {getText(textid::colourWords[0]), getText(textid::colourWords[1]),
        {getText(textid::sidesWords[0]), getText(textid::sidesWords[1]), getText(textid::sidesWords[2])}};
}

std::u16string logExportHeader(ExportForm form)
{
    TotalsRow headers;
    for (textid::Id id : textid::jobColumns) headers.push_back(getText(id));
    return exportLine(headers, form);
}

std::u16string logExportLine(const LogEntry& entry, const LogWords& words, ExportForm form)
{
    const LogCells cells = logCells(entry, words);
    return exportLine(TotalsRow(cells.begin(), cells.end()), form);
}

LogExport::LogExport(
    ExportForm form, LogWords words, Writer writer, std::size_t pieceBytes, std::uint64_t limit)
    : form_(form)
    , words_(std::move(words))
    , writer_(std::move(writer))
    , pieceBytes_(pieceBytes)
    , limit_(limit)
{
    if (form_ == ExportForm::csv) piece_ = csvFileStart;
    append(logExportHeader(form_));
}

bool LogExport::add(const LogEntry& entry)
{
    return append(logExportLine(entry, words_, form_));
}

bool LogExport::append(const std::u16string& line)
{
    if (failed_) return false;
    const std::size_t before = piece_.size();
    if (form_ == ExportForm::csv)
        piece_ += utf8Of(line);
    else
        piece_.append(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(char16_t));
    total_ += piece_.size() - before;
    if (total_ > limit_) {
        over_ = failed_ = true;
        return false;
    }
    return piece_.size() < pieceBytes_ || flush();
}

bool LogExport::flush()
{
    if (!piece_.empty() && !writer_(piece_)) failed_ = true;
    piece_.clear();
    return !failed_;
}

bool LogExport::finish()
{
    return !failed_ && flush();
}
