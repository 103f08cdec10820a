// The locale's comparison of names and its grouping of digits.
#include "shell/locale_format_win32.h"

#include <windows.h>

#include <vector>

#include "common/wide_text_win32.h"
#include "shell/statistics_figures.h"

namespace {

std::wstring localeText(LCTYPE type, const wchar_t* fallback)
{
    wchar_t text[16] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 16) == 0) return fallback;
    return text;
}

DWORD localeNumber(LCTYPE type, DWORD fallback)
{
    DWORD value = 0;
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER,
            reinterpret_cast<wchar_t*>(&value), sizeof value / sizeof(wchar_t))
        == 0)
        return fallback;
    return value;
}

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") as NUMBERFMTW wants it (3, 32, 30):
// the sizes in a row, a final 0 meaning "repeat the last" and dropped, and a
// 0 appended where the locale does not repeat.
UINT groupingOf(const std::wstring& sizes)
{
    std::wstring digits;
    for (wchar_t c : sizes)
        if (c >= L'0' && c <= L'9') digits += c;
    if (!digits.empty() && digits.back() == L'0')
        digits.pop_back();
    else
        digits += L'0';
    UINT grouping = 0;
    for (wchar_t c : digits) grouping = grouping * 10 + static_cast<UINT>(c - L'0');
    return grouping;
}

} // namespace

int compareNamesByLocale(const std::u16string& a, const std::u16string& b)
{
    const auto length = [](const std::u16string& s) { return static_cast<int>(s.size()); };
    int order = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE | SORT_DIGITSASNUMBERS,
        wide(a.c_str()), length(a), wide(b.c_str()), length(b), nullptr, nullptr, 0);
    // Older systems know no SORT_DIGITSASNUMBERS.
    if (order == 0)
        order = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, wide(a.c_str()), length(a),
            wide(b.c_str()), length(b), nullptr, nullptr, 0);
    if (order == CSTR_LESS_THAN) return -1;
    if (order == CSTR_GREATER_THAN) return 1;
    return a.compare(b);
}

std::u16string groupedNumber(const std::u16string& plain)
{
    int decimals = 0;
    if (!isPlainNumber(plain, decimals)) return plain;
    std::wstring decimalSeparator = localeText(LOCALE_SDECIMAL, L".");
    std::wstring thousandSeparator = localeText(LOCALE_STHOUSAND, L",");
    NUMBERFMTW format{};
    format.NumDigits = static_cast<UINT>(decimals);
    format.LeadingZero = localeNumber(LOCALE_ILZERO, 1);
    format.Grouping = groupingOf(localeText(LOCALE_SGROUPING, L"3;0"));
    format.lpDecimalSep = decimalSeparator.data();
    format.lpThousandSep = thousandSeparator.data();
    format.NegativeOrder = localeNumber(LOCALE_INEGNUMBER, 1);
    wchar_t grouped[128] = {};
    if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, wide(plain.c_str()), &format, grouped, 128) == 0)
        return plain;
    return utf16(grouped);
}

std::u16string currencyText(const std::u16string& tenThousandths)
{
    const std::u16string amount = moneyAmount(tenThousandths);
    if (amount.empty()) return tenThousandths;
    wchar_t money[128] = {};
    if (GetCurrencyFormatEx(LOCALE_NAME_USER_DEFAULT, 0, wide(amount.c_str()), nullptr, money, 128) == 0)
        return amount;
    return utf16(money);
}
