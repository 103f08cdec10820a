#include "shell/statistics_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/strings.h"

SortChoice afterHeaderClick(SortChoice current, int column)
{
    if (current.column == column) return {column, !current.ascending};
    return {column, column == 0}; // names A to Z, numbers from high to low
}

std::optional<double> figureValue(const std::u16string& cell)
{
    if (cell.empty()) return std::nullopt;
    std::string text;
    for (char16_t unit : cell) {
        if (unit > 0x7F) return std::nullopt;
        text += static_cast<char>(unit);
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

const std::u16string& figureCell(const StatisticsRow& row, int column)
{
    switch (column) {
    case 1: return row.pages;
    case 2: return row.jobs;
    case 3: return row.colourPages;
    case 4: return row.sheets;
    case 5: return row.cost;
    }
    return row.group;
}

void orderRows(std::vector<StatisticsRow>& rows, SortChoice choice, const NameComparison& compareNames)
{
    if (choice.column < 0 || choice.column >= figureColumns) return;
    auto cell = [&](const StatisticsRow& row) { return figureCell(row, choice.column); };
    auto before = [&](const StatisticsRow& a, const StatisticsRow& b) {
        if (choice.column == 0) {
            const int order = compareNames(a.group, b.group);
            return choice.ascending ? order < 0 : order > 0;
        }
        const double lowest = -std::numeric_limits<double>::infinity();
        const double x = figureValue(cell(a)).value_or(lowest), y = figureValue(cell(b)).value_or(lowest);
        if (x != y) return choice.ascending ? x < y : x > y;
        return compareNames(a.group, b.group) < 0;
    };
    std::stable_sort(rows.begin(), rows.end(), before);
}

bool isPlainNumber(const std::u16string& cell, int& decimals)
{
    std::size_t at = cell.size() > 0 && cell[0] == u'-' ? 1 : 0;
    const std::size_t digitsFrom = at;
    while (at < cell.size() && cell[at] >= u'0' && cell[at] <= u'9') ++at;
    if (at == digitsFrom) return false;
    decimals = 0;
    if (at == cell.size()) return true;
    if (cell[at] != u'.') return false;
    const std::size_t fractionFrom = ++at;
    while (at < cell.size() && cell[at] >= u'0' && cell[at] <= u'9') ++at;
    if (at != cell.size() || at == fractionFrom) return false;
    decimals = static_cast<int>(at - fractionFrom);
    return true;
}

namespace {

// A column's sum: exact while every cell is a whole number and the sum fits
// 64 bits, as SQLite's own sum() would be; otherwise the sum of the values
// written the way SQLite writes a real.
std::u16string columnSum(const std::vector<StatisticsRow>& rows, std::u16string StatisticsRow::*column)
{
    std::int64_t whole = 0;
    double real = 0;
    bool exact = true;
    for (const StatisticsRow& row : rows) {
        const std::u16string& cell = row.*column;
        int decimals = 0;
        if (cell.empty()) continue; // a group without page counts adds nothing
        std::optional<double> value = figureValue(cell);
        if (!value) continue;
        real += *value;
        if (exact && isPlainNumber(cell, decimals) && decimals == 0 && cell.size() < 19) {
            const std::int64_t number = std::stoll(std::string(cell.begin(), cell.end()));
            exact = !__builtin_add_overflow(whole, number, &whole);
        } else {
            exact = false;
        }
    }
    if (exact) return decimalText(whole);
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", real);
    std::string written = text;
    // SQLite writes a real with a point, so 2.0 is not read as a count.
    if (written.find_first_of(".en") == std::string::npos) written += ".0";
    return asciiText(written);
}

} // namespace

ShownSums sumFigures(const std::vector<StatisticsRow>& rows)
{
    std::int64_t unknown = 0;
    for (const StatisticsRow& row : rows)
        if (__builtin_add_overflow(unknown, row.unknownPages, &unknown)) unknown = INT64_MAX;
    return {columnSum(rows, &StatisticsRow::pages), columnSum(rows, &StatisticsRow::jobs),
        columnSum(rows, &StatisticsRow::colourPages), columnSum(rows, &StatisticsRow::sheets),
        anyCost(rows) ? columnSum(rows, &StatisticsRow::cost) : std::u16string(), unknown};
}

bool anyCost(const std::vector<StatisticsRow>& rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const StatisticsRow& row) { return !row.cost.empty(); });
}

bool anyDetails(const std::vector<StatisticsRow>& rows)
{
    auto nothing
        = [](const std::u16string& cell) { return cell.empty() || (cell.size() == 1 && cell[0] == u'0'); };
    return std::any_of(rows.begin(), rows.end(), [&](const StatisticsRow& row) {
        return !nothing(row.colourPages) || !nothing(row.sheets) || !row.cost.empty();
    });
}

std::u16string moneyAmount(const std::u16string& tenThousandths)
{
    int decimals = 0;
    if (!isPlainNumber(tenThousandths, decimals) || decimals != 0) return {};
    const bool negative = tenThousandths[0] == u'-';
    std::u16string digits = tenThousandths.substr(negative ? 1 : 0);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), u'0');
    std::u16string amount = digits.substr(0, digits.size() - 4) + u"." + digits.substr(digits.size() - 4);
    while (amount.size() - amount.find(u'.') > 3 && amount.back() == u'0') amount.pop_back();
    return negative ? u"-" + amount : amount;
}

std::u16string countPhrase(const std::u16string& forms, const std::u16string& singularCounts,
    const std::u16string& plain, const std::u16string& shown)
{
    bool singular = false;
    for (std::size_t at = 0; at <= singularCounts.size();) {
        std::size_t end = singularCounts.find(u' ', at);
        if (end == std::u16string::npos) end = singularCounts.size();
        if (end > at && singularCounts.compare(at, end - at, plain) == 0) singular = true;
        at = end + 1;
    }
    const std::size_t bar = forms.find(u'|');
    std::u16string phrase = bar == std::u16string::npos ? forms
        : singular                                      ? forms.substr(0, bar)
                                                        : forms.substr(bar + 1);
    return withValue(phrase, shown);
}
