// What the statistics view does with the rows it shows, before they go on
// screen: their order after a click on a column header, the totals under the
// list in words, and which texts are numbers. Portable: the locale's
// comparison of names and its digit grouping are handed in by the Win32 half.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/job_store.h"

// ---- order ----------------------------------------------------------------------------

// The column the list is ordered by and which way; no column (-1) keeps the
// query's order.
struct SortChoice {
    int column = -1;
    bool ascending = true;
    friend bool operator==(const SortChoice&, const SortChoice&) = default;
};

// A click on a column header: a new column orders names A to Z and numbers
// from high to low, a second click on the same column the other way.
SortChoice afterHeaderClick(SortChoice current, int column);

// Negative, zero or positive as the first name sorts before, with or after
// the second, by the user's locale.
using NameComparison = std::function<int(const std::u16string&, const std::u16string&)>;

// The columns of the list: name, pages, jobs, colour pages, sheets, cost.
inline constexpr int figureColumns = 6;
inline constexpr int costColumn = 5;
// The cell of a row in a column of the list (cost in ten-thousandths).
const std::u16string& figureCell(const StatisticsRow& row, int column);

// Orders the rows by the choice, stably; rows equal in a number column go by
// name A to Z. A number cell that is empty (a group without page counts)
// counts below every number.
void orderRows(std::vector<StatisticsRow>& rows, SortChoice choice, const NameComparison& compareNames);

// ---- numbers --------------------------------------------------------------------------

// The value of a cell as SQLite writes a sum or a count, or nothing for an
// empty or other cell.
std::optional<double> figureValue(const std::u16string& cell);

// True for "-123" and "45.50": the digits the list may group; `decimals`
// is the number of digits after the point.
bool isPlainNumber(const std::u16string& cell, int& decimals);

// ---- the totals under the list --------------------------------------------------------

// The sums of the pages and jobs columns, as plain numbers: whole numbers
// while every cell is one and the sum fits, else as SQLite writes a real;
// and how many of the jobs have unknown pages (StatisticsRow).
struct ShownSums {
    std::u16string pages, jobs, colourPages, sheets, cost; // cost empty: no row has one
    std::int64_t unknownPages = 0;
};
ShownSums sumFigures(const std::vector<StatisticsRow>& rows);

// ---- money --------------------------------------------------------------------------

// Whether any row has a cost (the Cost column shows only then), and whether
// any has colour pages, sheets or a cost: jobs with details (their columns
// show only then).
bool anyCost(const std::vector<StatisticsRow>& rows);
bool anyDetails(const std::vector<StatisticsRow>& rows);
// Ten-thousandths of the currency unit as a plain amount with a point and
// at least two decimals ("12345" -> "1.2345", "500" -> "0.05", "-20000" ->
// "-2.00"), the form the locale's currency format starts from; empty for a
// cell that is not a whole number.
std::u16string moneyAmount(const std::u16string& tenThousandths);

// "%1 page|%1 pages": the first form for the counts listed in
// `singularCounts` (space-separated, "1" or "0 1"), the second for every
// other, with %1 replaced by `shown`. A text without "|" is used for both.
std::u16string countPhrase(const std::u16string& forms, const std::u16string& singularCounts,
    const std::u16string& plain, const std::u16string& shown);
