#include "shell/totals_export.h"

#include <cstdio>

#include "common/language_texts.h"
#include "common/strings.h"
#include "shell/statistics_figures.h"

namespace {

std::u16string quotedWhenNeeded(const std::u16string& cell, const std::u16string& special)
{
    if (cell.find_first_of(special) == std::u16string::npos) return cell;
    std::u16string quoted = u"\"";
    for (char16_t unit : cell) {
        if (unit == u'"') quoted += u'"';
        quoted += unit;
    }
    return quoted + u"\"";
}

std::u16string joined(const TotalsRow& headers, const std::vector<TotalsRow>& rows, ExportForm form)
{
    std::u16string text = exportLine(headers, form);
    for (const TotalsRow& row : rows) text += exportLine(row, form);
    return text;
}

} // namespace

bool anyUnknownPages(const std::vector<StatisticsRow>& rows)
{
    for (const StatisticsRow& row : rows)
        if (row.unknownPages > 0) return true;
    return false;
}

TotalsRow totalsHeaders(bool months, const std::vector<StatisticsRow>& rows)
{
    TotalsRow headers{getText(months ? textid::monthColumn : textid::listColumns[0]),
        getText(textid::listColumns[1]), getText(textid::listColumns[2])};
    // Jobs of unknown pages get a column of their own where the period holds any.
    if (anyUnknownPages(rows)) headers.push_back(getText(textid::unknownPagesColumn));
    // The details' columns where a list's jobs have any, cost where one has a price.
    if (months || !anyDetails(rows)) return headers;
    const std::size_t columns
        = anyCost(rows) ? textid::detailColumns.size() : textid::detailColumns.size() - 1;
    for (std::size_t column = 0; column < columns; ++column)
        headers.push_back(getText(textid::detailColumns[column]));
    return headers;
}

std::vector<TotalsRow> totalsCells(bool months, const std::vector<StatisticsRow>& rows)
{
    const bool unknown = anyUnknownPages(rows);
    const bool details = !months && anyDetails(rows), cost = details && anyCost(rows);
    std::vector<TotalsRow> cells;
    cells.reserve(rows.size());
    for (const StatisticsRow& row : rows) {
        TotalsRow line{row.group, row.pages, row.jobs};
        if (unknown) line.push_back(decimalText(row.unknownPages));
        if (details) line.insert(line.end(), {row.colourPages, row.sheets});
        // Money as a plain amount, as a spreadsheet reads it.
        if (cost) line.push_back(moneyAmount(row.cost));
        cells.push_back(std::move(line));
    }
    return cells;
}

std::u16string exportLine(const TotalsRow& cells, ExportForm form)
{
    const char16_t separator = form == ExportForm::csv ? u',' : u'\t';
    const std::u16string special = form == ExportForm::csv ? u",\r\n\"" : u"\t\r\n\"";
    std::u16string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) text += separator;
        text += quotedWhenNeeded(cells[i], special);
    }
    return text + u"\r\n";
}

std::u16string totalsAsTabSeparated(const TotalsRow& headers, const std::vector<TotalsRow>& rows)
{
    return joined(headers, rows, ExportForm::tabSeparated);
}

std::string totalsAsCsv(const TotalsRow& headers, const std::vector<TotalsRow>& rows)
{
    // The mark tells spreadsheet programs the file is UTF-8, so names in any
    // script open as written.
    return csvFileStart + utf8Of(joined(headers, rows, ExportForm::csv));
}

std::u16string suggestedCsvName(const std::u16string& stem, const DateTime& since)
{
    std::u16string name;
    for (char16_t unit : stem)
        if (unit >= 32 && std::u16string_view(u"\\/:*?\"<>|").find(unit) == std::u16string_view::npos)
            name += unit;
    char date[32];
    std::snprintf(date, sizeof date, "-%04u-%02u-%02u.csv", static_cast<unsigned>(since.year),
        static_cast<unsigned>(since.month), static_cast<unsigned>(since.day));
    for (const char* c = date; *c != 0; ++c) name += static_cast<char16_t>(*c);
    return name;
}
