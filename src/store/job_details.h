// What a finished job's device mode, size and document tell beyond its pages
// (the row it gives in tbDetalles), and the settings of pagewarden.ini that
// decide what of it is kept: prices, and whether document names are.
// Portable: no Windows header here.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "common/job_record.h"

// Money in ten-thousandths of the currency unit.
using Money = std::int64_t;
inline constexpr Money moneyScale = 10000;

// Prices in force for one printer; an absent price counts nothing.
struct Prices {
    std::optional<Money> mono, colour, sheet; // per page, per page, per sheet

    bool any() const { return mono || colour || sheet; }
    friend bool operator==(const Prices&, const Prices&) = default;
};

// [record] documents=yes, [prices] and the [prices:PRINTER NAME] sections.
struct RecordSettings {
    bool documents = false;
    Prices prices;
    // By printer name folded to lower case (ASCII letters); each price given
    // there replaces the general one.
    std::map<std::u16string, Prices> printerPrices;

    Prices pricesFor(const std::u16string& printer) const;
};

// The file's text: UTF-16 LE behind its byte order mark, UTF-8 with or
// without one (a byte that is not UTF-8 stands for itself, as Latin-1).
std::u16string settingsFileText(std::string_view bytes);
// Reads the sections that matter here; every other line is ignored, and a
// price that is not a plain amount ("1.25", "0.05", "3") is as if absent.
RecordSettings parseRecordSettings(std::u16string_view text);
// "1.2345" -> 12345; more than four decimals, a sign, or an amount above
// 10^9 units is refused.
std::optional<Money> parseMoney(std::u16string_view text);

// The row of tbDetalles, before it has its job's row number.
struct JobDetails {
    std::optional<int> color;               // dtcolor: 1 monochrome, 2 colour
    std::optional<int> sides;               // dtcaras: 1 one-sided, 2 long edge, 3 short edge
    std::optional<std::u16string> paper;    // dtpapel
    std::optional<std::int64_t> sheets;     // dthojas
    std::int64_t bytes = 0;                 // dtbytes
    std::optional<std::u16string> document; // dtdocumento
    std::optional<Money> cost;              // dtcoste

    friend bool operator==(const JobDetails&, const JobDetails&) = default;
};

// The form name of a standard paper size, "#N" for any other.
std::u16string paperSizeName(std::int16_t paperSize);
// Document names are kept to this many units.
inline constexpr std::size_t documentNameLimit = 255;

// The details of a finished job whose page count (copies included) is
// `pages`; none for a job without a device mode.
std::optional<JobDetails> jobDetailsOf(
    const JobRecord& job, std::int64_t pages, const RecordSettings& settings);
