// What the user's locale decides in the statistics view: the order of names
// and the grouping of digits.
#pragma once

#include <string>

// Negative, zero or positive as `a` sorts before, with or after `b` by the
// user's locale, letter case aside and digits as numbers ("PC-9" before
// "PC-10"); equal names by their units, so the order is total.
int compareNamesByLocale(const std::u16string& a, const std::u16string& b);

// "17915" as the user's locale groups it ("17,915", "17.915", "17 915"),
// decimals kept; any text that is not a plain number comes back unchanged.
std::u16string groupedNumber(const std::u16string& plain);

// Ten-thousandths of the currency unit ("12345") as the user's locale writes
// money ("$1.23", "1,23 €"), rounded to its currency's decimals; an empty
// cell stays empty.
std::u16string currencyText(const std::u16string& tenThousandths);
